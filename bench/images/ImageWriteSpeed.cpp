// vorna-image-speed: what writing images costs. The 600 x 600 picture of a Brusselator run,
// 8-bit and 24-bit, written as BMP and as PNG at several zlib levels (through the atomic writer,
// whose sync is part of every write; and encoded in memory, the disk left out); then a whole
// 600 x 600 run with an image every 100 iterations, writing BMP against writing PNG at the
// writers' level, timed in turns.
//
// usage: vorna-image-speed [--turns N]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../BenchModels.h"
#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "imageio/ImageOutput.h"
#include "imageio/PngFile.h"
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

size_t EncodedBytes(const PngFile::Picture &picture, int level) {
    size_t bytes = 0;
    PngFile::Sink sink;
    sink.Context = &bytes;
    sink.Write = [](void *context, const uint8_t *, size_t count) {
        *static_cast<size_t *>(context) += count;
        return 0;
    };
    int error = 0;
    return PngFile::Encode(picture, level, sink, error) == PngFile::Done ? bytes : 0;
}

// Seconds of a 1000-iteration 600 x 600 Brusselator run with an image every 100 iterations,
// in slices of 100 iterations, the images in format under folder.
double RunWithImages(ReaDifSimulation &sim, char format, int trueColour,
                     const std::string &folder) {
    const benchmodels::BenchModel &m = benchmodels::Models()[7];
    benchmodels::Prepare(sim, m, 600);
    benchmodels::Require(sim.SetEndTime(1000), "end time");
    (void)sim.FileBaseName.Init((folder + "/run").c_str(), ReaDifSimulation::FileNameSize);
    sim.ImageComponent = 'A';
    sim.ImageStart = 100;
    sim.ImagePeriod = 100;
    sim.ImageFormat = format;
    sim.TrueColor = trueColour;
    const double t0 = Now();
    while (sim.RunSimulation(100) == ReaDifSimulation::RunResult::Ran) {
    }
    const double seconds = Now() - t0;
    if (sim.ImagesWritten != 10) std::fprintf(stderr, "only %d images\n", sim.ImagesWritten);
    return seconds;
}

}  // namespace

int main(int argc, char **argv) {
    int turns = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--turns") turns = std::max(1, std::atoi(argv[i + 1]));
    }
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
    for (int level : {0, 1, 3, 6}) {
        for (const PngFile::Picture *png : {&png8, &png24}) {
            int error = 0;
            const double write =
                BestMs([&] { (void)PngFile::Write(pngPath.c_str(), *png, level, error); }, rounds);
            size_t bytes = 0;
            const double encode = BestMs([&] { bytes = EncodedBytes(*png, level); }, rounds);
            std::printf(
                "| %s | PNG level %d%s | %.2f | %.2f | %zu |\n", png == &png8 ? "8-bit" : "24-bit",
                level, level == PngFile::DefaultCompression ? " (used)" : "", write, encode, bytes);
        }
    }
    std::fflush(stdout);

    // Whole runs in turns, BMP then PNG, each figure the best of its turns.
    ImageOutput writer(ImageOptions{}, nullptr);
    sim.SetImageWriter(&writer);
    std::printf(
        "\n1000 iterations of the 600x600 Brusselator, an image every 100 (best of %d "
        "turns):\n",
        turns);
    for (int trueColour : {0, 1}) {
        double bmp = 1e30, png = 1e30;
        for (int turn = 0; turn < turns; ++turn) {
            bmp = std::min(bmp, RunWithImages(sim, 'B', trueColour, dir));
            png = std::min(png, RunWithImages(sim, 'P', trueColour, dir));
        }
        std::printf("%s: BMP %.0f ms, PNG %.0f ms (%+.1f%%)\n", trueColour ? "24-bit" : "8-bit",
                    bmp * 1e3, png * 1e3, (png / bmp - 1.0) * 100.0);
        std::fflush(stdout);
    }
    sim.SetImageWriter(nullptr);
    std::string clean = "rm -rf '" + dir + "'";
    return std::system(clean.c_str()) == 0 ? 0 : 1;
}
