#include "cli/CliSweep.h"

#include <unistd.h>

#include <filesystem>

#include "cli/CliRunner.h"
#include "rdsimul/kernels/ThreadPool.h"
#include "sweep/ContactMovie.h"
#include "sweep/ContactSheet.h"
#include "sweep/SweepExpander.h"
#include "sweep/SweepFolder.h"
#include "sweep/SweepJobFiles.h"
#include "sweep/SweepManifest.h"
#include "sweep/SweepRunner.h"
#include "sweep/VariantMovies.h"
#include "sweep/VariedLine.h"

namespace {

// The program itself, as the variants and the job files start it.
std::string ProgramPath() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("vorna-cli") : self.string();
}

// Brings sweep.json up to date with the variants' reports (only in a folder a sweep has marked
// as its own; one from before sweep.json has none), then lays out the contact sheet and, when
// the variants have movies, the contact movie: an exit code.
int LayOut(const std::string &folder, SweepManifest &manifest, FILE *out, FILE *err) {
    if (SweepFolder::HasMarker(folder, "") && manifest.Update(folder) == SweepManifest::Failed) {
        std::fputs(manifest.Error.c_str(), err);
        return CliRunner::ExitFileError;
    }
    ContactSheet sheet;
    if (sheet.Build(folder) != ContactSheet::Done) {
        std::fputs(sheet.Error.c_str(), err);
        return CliRunner::ExitFileError;
    }
    std::fputs(sheet.Notes.c_str(), err);
    // The grid growing, when the variants have movies.
    ContactMovie movie;
    const ContactMovie::Result made = movie.Build(sheet, folder);
    std::fputs(movie.Notes.c_str(), err);
    if (made == ContactMovie::Failed) {
        std::fputs(movie.Error.c_str(), err);
        return CliRunner::ExitFileError;
    }
    const std::string movieText =
        made == ContactMovie::Done
            ? ", contact.mp4 (" + CliRunner::Counted(movie.Frames, "frame", "frames") + ")"
            : std::string();
    std::fprintf(out, "%s: index.html and contact.png%s, %s (%d without an image)\n",
                 folder.c_str(), movieText.c_str(),
                 CliRunner::Counted((long long)sheet.Entries.size(), "variant", "variants").c_str(),
                 sheet.Gaps);
    return CliRunner::ExitDone;
}

// A name a sweep writes into its scripts and job files must stay on one line: true, or false
// with the refusal printed.
bool OneLineName(const char *what, const std::string &name, FILE *err) {
    const size_t at = SweepFolder::ControlCharacterAt(name);
    if (at == std::string::npos) return true;
    std::fprintf(err,
                 "vorna-cli: the %s holds a control character (byte %zu is 0x%02x); a sweep "
                 "refuses such names, which would break the lines of its scripts and job files\n",
                 what, at + 1, unsigned(static_cast<unsigned char>(name[at])));
    return false;
}

// The variants of the sweep options describe, expanded from the checked base into expander, and
// the folder they go to: an exit code.
int Expand(const CliOptions &options, SweepExpander &expander, std::string &folder, FILE *err) {
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
    if (!OneLineName("base script's name", options.ScriptPath, err) ||
        !OneLineName("sweep folder's name", options.OutDir, err) ||
        !OneLineName("program's path", ProgramPath(), err)) {
        return CliRunner::ExitUsage;
    }
    if (expander.LoadBase(options.ScriptPath) != SweepExpander::Done) {
        std::fprintf(err, "the base script is refused:\n%s", expander.Error.c_str());
        return CliRunner::ExitScriptErrors;
    }
    std::filesystem::path base(options.ScriptPath);
    folder = options.OutDir.empty()
                 ? (base.parent_path() / (expander.BaseName() + "-sweep")).string()
                 : options.OutDir;
    if (expander.Expand(variedLines, options.Seed, options.Randomize,
                        options.Resume ? folder : std::string()) != SweepExpander::Done) {
        std::fprintf(err, "%s: %s", options.ScriptPath.c_str(), expander.Error.c_str());
        return CliRunner::ExitUsage;
    }
    return CliRunner::ExitDone;
}

// Has the parser check every variant, then claims folder for the sweep (refused when anything in
// it is not the sweep's own) and writes the variants: an exit code. A refusal writes nothing.
int WriteVariants(const CliOptions &options, SweepExpander &expander, const std::string &folder,
                  std::vector<std::string> &names, FILE *err) {
    names.clear();
    if (expander.CheckVariants(folder) != SweepExpander::Done) {
        std::fputs(expander.Error.c_str(), err);
        return CliRunner::ExitScriptErrors;
    }
    for (const SweepVariant &variant : expander.Variants()) names.push_back(variant.Name);
    SweepFolder owner;
    if (owner.Check(folder, options.ScriptPath, names) != SweepFolder::Done ||
        owner.Claim(folder, options.ScriptPath) != SweepFolder::Done) {
        std::fputs(owner.Error.c_str(), err);
        return CliRunner::ExitFileError;
    }
    const SweepExpander::Result written = expander.WriteAndCheck(folder);
    if (written != SweepExpander::Done) {
        std::fputs(expander.Error.c_str(), err);
        return written == SweepExpander::VariantRefused ? CliRunner::ExitScriptErrors
                                                        : CliRunner::ExitFileError;
    }
    return CliRunner::ExitDone;
}

}  // namespace

int CliSweep::BuildContactSheet(const CliOptions &options, FILE *out, FILE *err) {
    SweepManifest manifest;
    return LayOut(options.ContactSheetDir, manifest, out, err);
}

int CliSweep::Run(const CliOptions &options, FILE *out, FILE *err) {
    SweepExpander expander;
    std::string folder;
    std::vector<std::string> names;
    int code = Expand(options, expander, folder, err);
    if (code == CliRunner::ExitDone) code = WriteVariants(options, expander, folder, names, err);
    if (code != CliRunner::ExitDone) return code;
    // Every variant writes NAME.TYPE for each --movie TYPE.
    VariantMovies movies;
    movies.Types = options.Movies;
    movies.Every = options.MovieEvery;
    movies.Settings = options.Movie;
    SweepManifest manifest;
    if (manifest.Write(folder, options.ScriptPath, expander, options.Images, movies) !=
        SweepManifest::Done) {
        std::fputs(manifest.Error.c_str(), err);
        return CliRunner::ExitFileError;
    }
    // With --json, stdout holds the variants' objects only; everything else goes to stderr.
    FILE *say = options.Json ? err : out;
    if (options.Randomize) {
        for (const SweepVariant &variant : expander.Variants()) {
            std::fprintf(say, "%s: seed %u\n", variant.Name.c_str(), variant.Seed);
        }
    } else {
        std::fprintf(say, "%s in %s, seed %u for all\n",
                     CliRunner::Counted((long long)names.size(), "variant", "variants").c_str(),
                     folder.c_str(), expander.SharedSeed());
    }
    const bool reports = true;  // every variant writes its run report (--json-file)
    // Every variant runs with the options that shape its images; resuming expects those.
    std::vector<SweepRunner::Image> images;
    uint32_t points = 0;
    (void)SweepRunner::ExpectedImages(
        (std::filesystem::path(folder) / (names[0] + ".vna")).string(), images, points,
        options.Images);
    const bool small = points <= SweepRunner::SmallFieldPoints;
    if (options.EmitJobs) {
        std::string error;
        std::vector<std::string> runArguments = options.Images.ToArguments();
        for (const std::string &word : movies.Arguments()) runArguments.push_back(word);
        if (SweepJobFiles::Write(folder, names, ProgramPath(), small, runArguments, reports, error,
                                 movies.Types) != SweepJobFiles::Done) {
            std::fputs(error.c_str(), err);
            return CliRunner::ExitFileError;
        }
        std::fprintf(say, "%s: jobs.txt and sweep.sbatch written; run them from %s\n",
                     folder.c_str(),
                     std::filesystem::absolute(folder).parent_path().string().c_str());
        return CliRunner::ExitDone;
    }
    SweepRunner::InstallInterruptHandler();
    SweepRunner runner;
    SweepRunner::Settings settings;
    settings.Program = ProgramPath();
    settings.Outputs = options.Images;
    settings.Movies = movies;
    settings.Threads = options.Threads > 0 ? options.Threads : ThreadPool::DefaultThreadCount();
    settings.Jobs = options.Jobs;
    settings.Resume = options.Resume;
    settings.Quiet = options.Quiet;
    settings.Reports = reports;
    settings.Ended = [&](const std::string &name, int status, bool skipped) {
        manifest.Record(name, status);
        if (!options.Json) return;
        std::fputs(manifest.VariantLine(folder, name, status, skipped).c_str(), out);
        std::fflush(out);
    };
    settings.Out = say;
    settings.Err = err;
    const SweepRunner::Result result = runner.Run(folder, names, settings);
    // Stopped: sweep.json and the sheet wait for --resume, which brings both up to date.
    if (result == SweepRunner::Interrupted) return CliRunner::ExitInterrupted;
    const int sheet = LayOut(folder, manifest, say, err);
    if (result == SweepRunner::SomeFailed) return ExitVariantsFailed;
    return sheet;
}
