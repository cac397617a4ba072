#include "cli/RoundSetup.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "cli/CliRunner.h"
#include "cli/MemoryBudget.h"
#include "imageio/ImageOutput.h"
#include "imageio/SurfaceMaps.h"
#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MemoryTable.h"
#include "toolkit/RandomGenerator.h"

namespace {

// The longest tail an image name gets behind its base: "_A" + iteration + "_normal.png".
constexpr size_t ImageNameTail = 24;

}  // namespace

RoundSetup::RoundSetup(const CliOptions &options, FILE *err) : Options(options), Err(err) {}

std::string RoundSetup::BaseName(const std::string &scriptBase, uint32_t seed) const {
    std::string base = scriptBase;
    if (!Options.OutDir.empty()) {
        const size_t slash = scriptBase.find_last_of('/');
        const std::string stem =
            slash == std::string::npos ? scriptBase : scriptBase.substr(slash + 1);
        base = Options.OutDir;
        if (base.back() != '/') base += '/';
        base += stem;
    }
    if (seed != 0) base += "_s" + std::to_string(seed);
    return base;
}

int RoundSetup::Apply(ReaDifSimulation &sim, uint32_t seed) {
    const std::string &path = Options.ScriptPath;
    // Restarting the generator here gives the very sequence a randseed line would have given:
    // the parse only seeds it, the fields draw from it when they are filled.
    if (seed != 0) MainRandom.Randomize(seed);
    const char *scriptBase =
        sim.FileBaseName.GetString() != nullptr ? sim.FileBaseName.GetString() : "";
    const std::string base = BaseName(scriptBase, Options.SeedPerRound() ? seed : 0);
    // The script's own names too long are refused image by image, as in the desktop program;
    // names this run made longer are refused before it starts.
    if (base != scriptBase &&
        (base.size() + ImageNameTail >= size_t(ReaDifSimulation::FileNameSize) ||
         sim.FileBaseName.Init(base.c_str(), 0) != ProcString::Done)) {
        std::fprintf(Err, "%s: the image names would be too long (%s...)\n", path.c_str(),
                     base.c_str());
        return CliRunner::ExitFileError;
    }
    if (Options.Images.Format != 0) sim.ImageFormat = Options.Images.Format;
    if (Options.Images.Last) sim.KeepFinalImageOnly();
    if (!Options.OutDir.empty() && sim.ImageCount() > 0 && !FolderMade) {
        const int made = MakeOutputFolder();
        if (made != CliRunner::ExitDone) return made;
    }
    return Resize(sim);
}

int RoundSetup::MakeOutputFolder() {
    const std::string &folder = Options.OutDir;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error && !std::filesystem::is_directory(folder, error) && !error) {
        error = std::make_error_code(std::errc::not_a_directory);
    }
    if (error) {
        std::fprintf(Err, "%s: the output folder could not be made: %s\n", folder.c_str(),
                     FaultText(error.value()).c_str());
        return CliRunner::ExitFileError;
    }
    // Every image would fail one after the other; better say it once, before the run.
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        std::fprintf(Err, "%s: no file can be written into the output folder: %s\n", folder.c_str(),
                     FaultText(errno).c_str());
        return CliRunner::ExitFileError;
    }
    FolderMade = true;
    return CliRunner::ExitDone;
}

int RoundSetup::Resize(ReaDifSimulation &sim) {
    const Image3DFloat *first = sim.Components[0];
    const int x = Options.Images.SizeX != 0 ? Options.Images.SizeX : first->GetSizeX();
    const int y = Options.Images.SizeY != 0 ? Options.Images.SizeY : first->GetSizeY();
    uint32_t outX = 0, outY = 0;
    Options.Images.OutputSize(uint32_t(x), uint32_t(y), outX, outY);
    if (outX > SurfaceMaps::MaxUpscaledSide || outY > SurfaceMaps::MaxUpscaledSide) {
        // Every image would be refused by the writer; the combination is the mistake.
        const std::string option = Options.Images.UpscaleToX > 0
                                       ? std::string("--upscale-to")
                                       : "--upscale " + std::to_string(Options.Images.Upscale);
        std::fprintf(Err, "%s: %s makes images of %u x %u points, more than %u a side\n",
                     Options.ScriptPath.c_str(), option.c_str(), outX, outY,
                     SurfaceMaps::MaxUpscaledSide);
        return CliRunner::ExitUsage;
    }
    if (outX < uint32_t(x) || outY < uint32_t(y)) {
        // Resampling down would skip points: a smaller texture is a smaller field (--size).
        std::fprintf(Err,
                     "%s: --upscale-to makes images of %u x %u points, smaller than the field of "
                     "%d x %d\n",
                     Options.ScriptPath.c_str(), outX, outY, x, y);
        return CliRunner::ExitUsage;
    }
    MemoryBudget::Outputs outputs;
    outputs.PictureDepth = sim.TrueColor != 0 ? 3 : 1;
    // Memory as for the smallest whole factor that covers the resampled size.
    outputs.Upscale = int(
        std::max((outX + uint32_t(x) - 1) / uint32_t(x), (outY + uint32_t(y) - 1) / uint32_t(y)));
    outputs.Height = Options.Images.Height;
    outputs.Normal = Options.Images.Normal;
    const uint64_t needed = MemoryBudget::RunBytes(sim.ComponentCount, x, y, outputs);
    const uint64_t available =
        AvailableMemory != 0 ? AvailableMemory : MemoryBudget::AvailableBytes();
    // A machine that does not tell what it has free is not refused for it.
    if (available != 0 && needed > available) {
        std::fprintf(Err,
                     "%s: a run of %d x %d points needs about %s of memory, more than the %s "
                     "available\n",
                     Options.ScriptPath.c_str(), x, y, MemoryBudget::Text(needed).c_str(),
                     MemoryBudget::Text(available).c_str());
        return CliRunner::ExitFileError;
    }
    if (Options.Images.SizeX == 0) return CliRunner::ExitDone;
    // The memory was checked: the tables of this run may be as large as it needs.
    MemoryTable::SetWordLimit(MemoryTable::MaxRaisedWords);
    sim.SetRunPixelLimit(uint32_t(x) * uint32_t(y) > ReaDifSimulation::MaxRunPixels
                             ? uint32_t(x) * uint32_t(y)
                             : ReaDifSimulation::MaxRunPixels);
    const int32_t scriptX = first->GetSizeX();
    const int32_t scriptY = first->GetSizeY();
    if (sim.SetDomainSize(uint16_t(x), uint16_t(y), 1) != ReaDifSimulation::Done) {
        std::fprintf(Err, "%s: the fields of %d x %d points could not be allocated\n",
                     Options.ScriptPath.c_str(), x, y);
        return CliRunner::ExitFileError;
    }
    // The strokes the script recorded land where they were on its own field.
    sim.RescaleSchedule(scriptX, scriptY, x, y);
    return CliRunner::ExitDone;
}

std::vector<std::string> RoundSetup::ScheduledImages(const ReaDifSimulation &sim,
                                                     const CliOptions &options,
                                                     const std::string &base) {
    std::vector<std::string> names;
    char name[ReaDifSimulation::FileNameSize];
    for (int32_t time = 1; time <= sim.EndTime; ++time) {
        // A name too long for the run loop is refused there, and no file is written.
        if (!sim.ImageDue(time) ||
            ReaDifSimulation::ImagePath(base.c_str(), sim.ImageComponent, time, sim.ImageFormat,
                                        name, sizeof name) != ReaDifSimulation::Done) {
            continue;
        }
        names.push_back(name);
        if (options.Images.Height) names.push_back(ImageOutput::MapPath(name, "_height"));
        if (options.Images.Normal) names.push_back(ImageOutput::MapPath(name, "_normal"));
    }
    return names;
}

std::string RoundSetup::FirstExisting(const std::vector<std::string> &paths) {
    std::error_code error;
    for (const std::string &path : paths) {
        if (std::filesystem::exists(std::filesystem::symlink_status(path, error))) return path;
    }
    return "";
}
