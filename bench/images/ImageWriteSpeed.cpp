// vorna-image-speed: what writing images costs. With --gallery, the PNG files of a folder (the
// gallery's final images and maps, as make bench writes them) encoded again at every zlib level,
// with and without row filters: bytes and time, by kind of file. The 600 x 600 picture of a
// Brusselator run, 8-bit and 24-bit, written as BMP and as PNG at several zlib levels (through
// the atomic writer, whose sync is part of every write; and encoded in memory, the disk left
// out); then a whole 600 x 600 run with an image every 100 iterations against the same run
// without images, the PNG images at the writers' level on the writer thread as vorna-cli
// writes them (and written directly, for comparison), timed in turns, with the files' sizes.
//
// usage: vorna-image-speed [--turns N] [--gallery DIR] [--level L (of the whole runs)]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../BenchModels.h"
#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "imageio/ImageOutput.h"
#include "imageio/PngFile.h"
#include "imageio/WriterThread.h"
#include "rdsimul/ReaDifSimulation.h"

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Milliseconds of work, best of rounds.
template <typename Work>
double BestMs(Work work, int rounds) {
    double best = 1e30;
    for (int round = 0; round < rounds; ++round) {
        const double t0 = Now();
        work();
        best = std::min(best, (Now() - t0) * 1e3);
    }
    return best;
}

size_t EncodedBytes(const PngFile::Picture &picture, int level,
                    PngFile::Filters filters = PngFile::Filters::Chosen) {
    size_t bytes = 0;
    PngFile::Sink sink;
    sink.Context = &bytes;
    sink.Write = [](void *context, const uint8_t *, size_t count) {
        *static_cast<size_t *>(context) += count;
        return 0;
    };
    int error = 0;
    return PngFile::Encode(picture, level, sink, error, filters) == PngFile::Done ? bytes : 0;
}

// A PNG file read back as the picture an encoder takes.
struct GalleryFile {
    std::string Kind;  // "8-bit colour", "24-bit colour", "height map", "normal map"
    PngFile::RawImage Raw;
    PngFile::Picture Picture;
};

// The table of encoding the PNG files of folder again at every level, with and without row
// filters: bytes and encode time summed over each kind of file (best of rounds each).
void GalleryLevels(const std::string &folder, int rounds) {
    std::vector<std::string> paths;
    for (const auto &item : std::filesystem::directory_iterator(folder)) {
        if (item.path().extension() == ".png") paths.push_back(item.path().string());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<GalleryFile> files(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        GalleryFile &file = files[i];
        int error = 0;
        if (PngFile::ReadRaw(paths[i].c_str(), file.Raw, error) != PngFile::Done) {
            std::fprintf(stderr, "%s: not read\n", paths[i].c_str());
            return;
        }
        const PngFile::RawImage &raw = file.Raw;
        PngFile::Picture &picture = file.Picture;
        picture.Width = raw.Width;
        picture.Height = raw.Height;
        picture.Pixels = raw.Rows.data();
        picture.RowStride = raw.RowBytes;
        if (raw.ColorType == PngFile::ColorIndexed) {
            picture.Kind = PngFile::Layout::Indexed8;
            picture.Palette = reinterpret_cast<const uint8_t(*)[3]>(raw.Palette.data());
            picture.PaletteSize = int(raw.Palette.size() / 3);
            file.Kind = "8-bit colour";
        } else if (raw.ColorType == PngFile::ColorGray) {
            picture.Kind = PngFile::Layout::Gray16;
            file.Kind = "height map";
        } else {
            picture.Kind = PngFile::Layout::Rgb8;
            file.Kind =
                paths[i].find("_normal.png") != std::string::npos ? "normal map" : "24-bit colour";
        }
    }
    std::map<std::string, int> counts;
    for (const GalleryFile &file : files) ++counts[file.Kind];
    std::printf("re-encoding the %zu PNG files of %s (best of %d each)\n\n", files.size(),
                folder.c_str(), rounds);
    std::printf(
        "| files | level | filters | bytes | of level 0 | encode ms |\n"
        "|---|---:|---|---:|---:|---:|\n");
    for (const auto &[kind, count] : counts) {
        size_t stored = 0;
        for (int level = 0; level <= PngFile::MaxCompression; ++level) {
            for (PngFile::Filters filters :
                 {PngFile::Filters::None, PngFile::Filters::Paeth, PngFile::Filters::All}) {
                // Stored rows are not filtered: level 0 once.
                if (level == 0 && filters != PngFile::Filters::None) continue;
                size_t bytes = 0;
                double ms = 0.0;
                for (const GalleryFile &file : files) {
                    if (file.Kind != kind) continue;
                    size_t one = 0;
                    ms += BestMs([&] { one = EncodedBytes(file.Picture, level, filters); }, rounds);
                    bytes += one;
                }
                if (level == 0) stored = bytes;
                std::printf("| %s (%d) | %d | %s | %zu | %.1f%% | %.2f |\n", kind.c_str(), count,
                            level,
                            filters == PngFile::Filters::All     ? "all"
                            : filters == PngFile::Filters::Paeth ? "Paeth"
                                                                 : "none",
                            bytes, 100.0 * double(bytes) / double(stored), ms);
            }
        }
    }
    std::printf("\n");
    std::fflush(stdout);
}

// Seconds of a 1000-iteration 600 x 600 Brusselator run with an image every 100 iterations
// (none when format is 0), in slices of 100 iterations, the images in format under folder;
// the run ends when the writer has written its last image.
double RunWithImages(ReaDifSimulation &sim, char format, int trueColour, const std::string &folder,
                     ImageOutput *writer = nullptr) {
    const benchmodels::BenchModel &m = benchmodels::Models()[7];
    benchmodels::Prepare(sim, m, 600);
    benchmodels::Require(sim.SetEndTime(1000), "end time");
    (void)sim.FileBaseName.Init((folder + "/run").c_str(), ReaDifSimulation::FileNameSize);
    sim.ImageComponent = 'A';
    sim.ImageStart = 100;
    sim.ImagePeriod = format != 0 ? 100 : 0;
    sim.ImageFormat = format != 0 ? format : 'B';
    sim.TrueColor = trueColour;
    sim.SetImageWriter(writer);
    const int32_t done = writer != nullptr ? writer->ImagesDone() : 0;
    const double t0 = Now();
    while (sim.RunSimulation(100) == ReaDifSimulation::RunResult::Ran) {
        if (writer != nullptr) writer->Deliver();
    }
    if (writer != nullptr) writer->Finish();
    const double seconds = Now() - t0;
    const int32_t images = writer != nullptr ? writer->ImagesDone() - done : sim.ImagesWritten;
    if (format != 0 && images != 10) std::fprintf(stderr, "only %d images\n", images);
    sim.SetImageWriter(nullptr);
    return seconds;
}

// Bytes of the files in folder whose names start with prefix.
uint64_t BytesOf(const std::string &folder, const std::string &prefix) {
    uint64_t bytes = 0;
    for (const auto &item : std::filesystem::directory_iterator(folder)) {
        if (item.path().filename().string().rfind(prefix, 0) == 0) bytes += item.file_size();
    }
    return bytes;
}

}  // namespace

int main(int argc, char **argv) {
    int turns = 3;
    std::string gallery;
    int level = PngFile::DefaultCompression;  // of the whole runs
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--turns") turns = std::max(1, std::atoi(argv[i + 1]));
        if (std::string(argv[i]) == "--gallery") gallery = argv[i + 1];
        if (std::string(argv[i]) == "--level") level = std::atoi(argv[i + 1]);
    }
    if (!gallery.empty()) GalleryLevels(gallery, turns);
    char folder[] = "/tmp/vorna-image-speed-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    const std::string dir = folder;

    // A grown pattern rather than noise: noise does not compress, a texture does.
    static ReaDifSimulation sim(ReaDifSimulation::ComponentSlots);
    benchmodels::Prepare(sim, benchmodels::Models()[7], 600);
    benchmodels::Require(sim.RunSimulation(3000) == ReaDifSimulation::RunResult::Ran, "run");
    (void)sim.ColorMaps8[0]->SetLinearHSLColorMap(20, 55, 0.9, 0.5, 25, 255);
    (void)sim.ColorMaps24[0]->SetLinearHSLColorMap(20, 55, 0.9, 0.5, 25, 255);
    Image3D8 picture8("bench 8", 0, 0, 1, 0);
    Image3D24 picture24("bench 24", 0, 0, 1, 0);
    const PictureRule rule = sim.GetPictureRule();
    rule.ConvertToPicture(*sim.Components[0], picture8);
    (void)picture8.ShareColorMap(*sim.ColorMaps8[0]);
    rule.ConvertToPicture(*sim.Components[0], picture24);
    ImageOutput::PngPalette palette;
    const PngFile::Picture png8 = ImageOutput::PngPicture(picture8, palette);
    const PngFile::Picture png24 = ImageOutput::PngPicture(picture24);

    std::printf(
        "writing a 600x600 Brusselator picture (best of %d; write = through the atomic "
        "writer with its sync, encode = in memory)\n\n",
        5 * turns);
    std::printf("| picture | format | write ms | encode ms | bytes |\n|---|---|---:|---:|---:|\n");
    const std::string bmpPath = dir + "/bench.bmp";
    const std::string pngPath = dir + "/bench.png";
    const int rounds = 5 * turns;
    std::printf("| 8-bit | BMP | %.2f | | %u |\n",
                BestMs([&] { (void)picture8.SaveFileBMP(bmpPath.c_str(), 0); }, rounds),
                unsigned(GenImage3D::BMPFileBytes(600, 600, 1)));
    std::printf("| 24-bit | BMP | %.2f | | %u |\n",
                BestMs([&] { (void)picture24.SaveFileBMP(bmpPath.c_str(), 0); }, rounds),
                unsigned(GenImage3D::BMPFileBytes(600, 600, 3)));
    for (int tried : {0, 1, 3, 6}) {
        for (const PngFile::Picture *png : {&png8, &png24}) {
            int error = 0;
            const double write =
                BestMs([&] { (void)PngFile::Write(pngPath.c_str(), *png, tried, error); }, rounds);
            size_t bytes = 0;
            const double encode = BestMs([&] { bytes = EncodedBytes(*png, tried); }, rounds);
            std::printf("| %s | PNG level %d%s | %.2f | %.2f | %zu |\n",
                        png == &png8 ? "8-bit" : "24-bit", tried,
                        tried == PngFile::DefaultCompression ? " (default)" : "", write, encode,
                        bytes);
        }
    }
    std::fflush(stdout);

    // Whole runs in turns: without images, PNG on the writer thread as vorna-cli writes them,
    // and PNG written directly by the simulation's thread; each figure the best of its turns.
    std::printf(
        "\n1000 iterations of the 600x600 Brusselator, an image every 100 (best of %d "
        "turns), PNG at level %d:\n",
        turns, level);
    ImageOptions compressed;
    compressed.PngLevel = level;
    for (int trueColour : {0, 1}) {
        double none = 1e30, queued = 1e30, direct = 1e30;
        uint64_t bytes = 0, storedBytes = 0;
        for (int turn = 0; turn < turns; ++turn) {
            none = std::min(none, RunWithImages(sim, 0, trueColour, dir));
            {
                WriterThread thread;
                ImageOutput writer(compressed, nullptr);
                writer.WriteInBackground(thread, nullptr);
                queued = std::min(queued, RunWithImages(sim, 'P', trueColour, dir, &writer));
            }
            bytes = BytesOf(dir, "run_");
            ImageOutput writer(compressed, nullptr);
            direct = std::min(direct, RunWithImages(sim, 'P', trueColour, dir, &writer));
        }
        ImageOptions stored;
        stored.PngLevel = 0;
        ImageOutput writer(stored, nullptr);
        (void)RunWithImages(sim, 'P', trueColour, dir, &writer);
        storedBytes = BytesOf(dir, "run_");
        std::printf(
            "%s: no images %.0f ms, PNG on the writer thread %.0f ms (%+.1f%%), PNG written "
            "directly %.0f ms (%+.1f%%); the 10 files %.2f MB (level 0: %.2f MB, %.1f%%)\n",
            trueColour ? "24-bit" : "8-bit", none * 1e3, queued * 1e3,
            (queued / none - 1.0) * 100.0, direct * 1e3, (direct / none - 1.0) * 100.0,
            double(bytes) / 1048576.0, double(storedBytes) / 1048576.0,
            100.0 * double(bytes) / double(storedBytes));
        std::fflush(stdout);
    }
    std::string clean = "rm -rf '" + dir + "'";
    return std::system(clean.c_str()) == 0 ? 0 : 1;
}
