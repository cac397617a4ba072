#include "cli/CliSweep.h"

#include <unistd.h>

#include <filesystem>
#include <thread>

#include "cli/CliRunner.h"
#include "sweep/ContactSheet.h"
#include "sweep/SweepExpander.h"
#include "sweep/SweepJobFiles.h"
#include "sweep/SweepRunner.h"
#include "sweep/VariedLine.h"

namespace {

// The program itself, as the variants and the job files start it.
std::string ProgramPath() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("vorna-cli") : self.string();
}

int DefaultThreads() {
    const char *text = std::getenv("VORNA_THREADS");
    int threads = text != nullptr ? std::atoi(text) : 0;
    if (threads < 1) threads = int(std::thread::hardware_concurrency());
    return threads < 1 ? 1 : threads;
}

int LayOut(const std::string &folder, FILE *out, FILE *err) {
    ContactSheet sheet;
    if (sheet.Build(folder) != ContactSheet::Done) {
        std::fputs(sheet.Error.c_str(), err);
        return CliRunner::ExitFileError;
    }
    std::fputs(sheet.Notes.c_str(), err);
    std::fprintf(out, "%s: index.html and contact.png, %zu variants (%d without an image)\n",
                 folder.c_str(), sheet.Entries.size(), sheet.Gaps);
    return CliRunner::ExitDone;
}

}  // namespace

int CliSweep::BuildContactSheet(const CliOptions &options, FILE *out, FILE *err) {
    return LayOut(options.ContactSheetDir, out, err);
}

int CliSweep::Run(const CliOptions &options, FILE *out, FILE *err) {
    std::vector<VariedLine> variedLines;
    for (const std::string &text : options.Varies) {
        VariedLine varied;
        std::string error;
        if (!varied.Parse(text, error)) {
            std::fprintf(err, "%s: --vary: %s\n", options.ProgramName.c_str(), error.c_str());
            return CliRunner::ExitUsage;
        }
        variedLines.push_back(varied);
    }
    SweepExpander expander;
    if (expander.LoadBase(options.ScriptPath) != SweepExpander::Done) {
        std::fprintf(err, "the base script is refused:\n%s", expander.Error.c_str());
        return CliRunner::ExitScriptErrors;
    }
    std::filesystem::path base(options.ScriptPath);
    std::string folder = options.OutDir.empty()
                             ? (base.parent_path() / (expander.BaseName() + "-sweep")).string()
                             : options.OutDir;
    if (expander.Expand(variedLines, options.Seed, options.Randomize,
                        options.Resume ? folder : std::string()) != SweepExpander::Done) {
        std::fprintf(err, "%s: %s", options.ScriptPath.c_str(), expander.Error.c_str());
        return CliRunner::ExitUsage;
    }
    if (expander.WriteAndCheck(folder) != SweepExpander::Done) {
        std::fputs(expander.Error.c_str(), err);
        return expander.Error.find("refused") != std::string::npos ? CliRunner::ExitScriptErrors
                                                                   : CliRunner::ExitFileError;
    }
    const std::vector<SweepVariant> &variants = expander.Variants();
    std::vector<std::string> names;
    for (const SweepVariant &variant : variants) names.push_back(variant.Name);
    if (options.Randomize) {
        for (const SweepVariant &variant : variants) {
            std::fprintf(out, "%s: seed %u\n", variant.Name.c_str(), variant.Seed);
        }
    } else {
        std::fprintf(out, "%zu variants in %s, seed %u for all\n", variants.size(), folder.c_str(),
                     expander.SharedSeed());
    }
    // Every variant runs with the options that shape its images; resuming expects those.
    const std::vector<std::string> runArguments = options.Images.ToArguments();
    const ImageOptions &outputs = options.Images;
    std::vector<SweepRunner::Image> images;
    uint32_t points = 0;
    (void)SweepRunner::ExpectedImages(
        (std::filesystem::path(folder) / (names[0] + ".vna")).string(), images, points, outputs);
    const bool small = points <= SweepRunner::SmallFieldPoints;
    if (options.EmitJobs) {
        std::string error;
        if (SweepJobFiles::Write(folder, names, ProgramPath(), small, runArguments, error) !=
            SweepJobFiles::Done) {
            std::fputs(error.c_str(), err);
            return CliRunner::ExitFileError;
        }
        std::fprintf(out, "%s: jobs.txt and sweep.sbatch written; run them from %s\n",
                     folder.c_str(),
                     std::filesystem::absolute(folder).parent_path().string().c_str());
        return CliRunner::ExitDone;
    }
    SweepRunner::InstallInterruptHandler();
    SweepRunner runner;
    SweepRunner::Settings settings;
    settings.Program = ProgramPath();
    settings.Outputs = outputs;
    settings.Threads = options.Threads > 0 ? options.Threads : DefaultThreads();
    settings.Jobs = options.Jobs;
    settings.Resume = options.Resume;
    settings.Quiet = options.Quiet;
    settings.Out = out;
    settings.Err = err;
    int result = runner.Run(folder, names, settings);
    if (result == SweepRunner::Interrupted) return CliRunner::ExitInterrupted;
    int sheet = LayOut(folder, out, err);
    if (result == SweepRunner::SomeFailed) return ExitVariantsFailed;
    return sheet;
}
