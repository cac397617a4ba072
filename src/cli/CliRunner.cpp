#include "cli/CliRunner.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "cli/ProgressDisplay.h"
#include "cli/RoundSetup.h"
#include "imageio/ImageOutput.h"
#include "imageio/WriterThread.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"
#include "rdsimul/SlicePacer.h"
#include "sweep/StopSignals.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MemoryTable.h"
#include "toolkit/MessageIds.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/RandomGenerator.h"
#include "toolkit/StringTable.h"

namespace {

constexpr uint32_t MaxSeed = 99999999;  // seeds stay in the range a clock seed has

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

uint32_t FreshSeed() {
    std::random_device device;
    return device() % MaxSeed + 1;
}

double MpsOf(double points, double seconds) {
    return seconds > 0.0 ? points / seconds / 1048576.0 : 0.0;
}

// SIGTERM and SIGHUP end the program as they would, but without leaving a temporary file.
void OnTermination(int signal) {
    AtomicFileWriter::RemoveLiveTemporaries();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

volatile std::sig_atomic_t CliRunner::StopRequested = 0;

CliRunner::CliRunner(FILE *out, FILE *err, bool terminal)
    : Out(out), Err(err), Terminal(terminal) {}

CliRunner::~CliRunner() = default;

void CliRunner::OnInterrupt(int) {
    // The second Ctrl-C ends the program at once; only the temporary file being written is
    // removed first (unlink and _exit are safe here).
    if (StopRequested != 0) {
        AtomicFileWriter::RemoveLiveTemporaries();
        _exit(ExitInterrupted);
    }
    StopRequested = 1;
}

void CliRunner::InstallInterruptHandler() {
    StopSignals::Install(&CliRunner::OnInterrupt, OnTermination);
}

void CliRunner::ChooseLanguage() {
    if (GST.GetMessageCount() == 0) LoadGST();
    const char *language = std::getenv("LC_ALL");
    if (language == nullptr || *language == 0) language = std::getenv("LC_MESSAGES");
    if (language == nullptr || *language == 0) language = std::getenv("LANG");
    if (language != nullptr && std::strncmp(language, "fr", 2) == 0) {
        (void)GST.SetLanguage(StringTable::French);  // a known language: cannot be refused
    }
}

void CliRunner::RequestStop() { StopRequested = 1; }

void CliRunner::ReportImageFailure(void *runner, const char *path, int error) {
    auto *self = static_cast<CliRunner *>(runner);
    ++self->TotalFailedImages;
    self->RoundFailed.push_back(path);
    std::fprintf(self->Err, "%s: %s %s\n", path, GST.Get(MsgFileNotWritten),
                 FaultText(error).c_str());
}

void CliRunner::ClearStop() { StopRequested = 0; }

void CliRunner::WriteStopImage(const CliOptions &options) {
    ReaDifSimulation &sim = *Sim;
    // Nothing grown yet, the run complete (its final image is written), or no images asked.
    if (!options.Images.Last || sim.CurrentTime <= 0 || sim.CurrentTime >= sim.EndTime ||
        sim.ImageCount() == 0) {
        return;
    }
    if (sim.SaveImage2D(sim.ImageComponent) != GenImage3D::Done) {
        ReportImageFailure(this, sim.FailedImageName, sim.LastImageErrno);
    }
}

void CliRunner::NoteImageWritten(const std::string &path) {
    RoundWritten.push_back(path);
    Written.push_back(path);
}

uint32_t CliRunner::SeedOfRound(const CliOptions &options, int round) {
    if (options.Seed != 0) {
        // S, S+1, ... past 4294967295 on from 1: 0 would take the clock.
        return uint32_t((uint64_t(options.Seed) - 1 + uint64_t(round - 1)) % UINT32_MAX + 1);
    }
    if (!options.SeedPerRound()) return 0;
    // Two rounds with one seed would write the same images under the same names.
    uint32_t seed;
    do {
        seed = FreshSeed();
    } while (!UsedSeeds.insert(seed).second);
    return seed;
}

bool CliRunner::CheckScriptFile(const std::string &path) {
    // Opened without waiting, so a FIFO named as the script cannot hang the program; only a
    // regular text file goes to the parser, which rewrites it.
    FileFault fault;
    // The parser holds the whole script in memory and refuses one past its limit; the size is
    // looked at first, so a huge file is not read through for nothing.
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > ScriptParser::MaxScriptSize) {
        fault.Error = FileFault::TooLong;
        fault.Size = static_cast<long long>(size);
        fault.Limit = static_cast<long long>(ScriptParser::MaxScriptSize);
    } else if (CheckTextFile(path.c_str(), fault) == FileCheckDone) {
        return true;
    }
    std::fprintf(Err, "%s: %s %s\n", path.c_str(), GST.Get(MsgFileNotRead),
                 FaultText(fault).c_str());
    return false;
}

void CliRunner::ReportAnnotations(const std::string &path, bool rewritten) {
    for (int32_t i = 0; i < Parser->GetNoteCount(); ++i) {
        ScriptParser::Note note = Parser->GetNote(i);
        // An annotation stands above the line it is about; a missing item belongs to no line:
        // it is reported on its own line of the rewritten script, else on the first line.
        int32_t line = rewritten ? note.RewrittenLine : (note.Line == 0 ? 1 : note.Line);
        std::fprintf(Err, "%s:%d: %s\n", path.c_str(), line, note.Text);
    }
}

void CliRunner::ReportWarnings(const std::string &path, bool rewritten) {
    for (int32_t i = 0; i < Parser->GetWarningCount(); ++i) {
        ScriptParser::Note warning = Parser->GetWarning(i);
        std::fprintf(Err, "%s:%d: warning: %s\n", path.c_str(),
                     rewritten ? warning.RewrittenLine : warning.Line, warning.Text);
    }
}

int CliRunner::Run(const CliOptions &options) {
    // A large run raises the limit of the memory tables for itself only.
    const uint32_t wordLimit = MemoryTable::GetWordLimit();
    const int code = RunRounds(options);
    MemoryTable::SetWordLimit(wordLimit);
    return code;
}

int CliRunner::RunRounds(const CliOptions &options) {
    if (GST.GetMessageCount() == 0) LoadGST();
    TotalIterations = TotalImages = TotalFailedImages = 0;
    TotalSeconds = TotalPoints = 0.0;
    Written.clear();
    UsedSeeds.clear();
    Seeds.clear();
    RoundReport report;
    report.Script = options.ScriptPath;
    if (!CheckScriptFile(options.ScriptPath)) {
        FinishReport(options, report, ExitFileError);
        return ExitFileError;
    }
    Sim.reset(new (std::nothrow) ReaDifSimulation(ReaDifSimulation::ComponentSlots));
    Parser.reset(new (std::nothrow) ScriptParser());
    if (Sim == nullptr || Parser == nullptr ||
        Sim->ErrorStatus == ReaDifSimulation::StatusAllocationFailed) {
        std::fprintf(Err, "%s: %s\n", options.ScriptPath.c_str(), GST.Get(MsgNoMemory));
        FinishReport(options, report, ExitFileError);
        return ExitFileError;
    }
    Sim->SetImageFailureHook(&CliRunner::ReportImageFailure, this);
    // PNG, the maps and upscaling; every file written (maps too) is noted for the summary.
    // They are encoded and written on a thread of their own while the run goes on; what became
    // of them is told between slices, and each round waits for its last ones.
    Sim->SetImageWriter(nullptr);
    Writer.reset();
    Thread = std::make_unique<WriterThread>();
    Writer = std::make_unique<ImageOutput>(
        options.Images, [this](const std::string &path) { NoteImageWritten(path); });
    Writer->WriteInBackground(*Thread, [this](const std::string &path, int error) {
        ReportImageFailure(this, path.c_str(), error);
    });
    Sim->SetImageWriter(Writer.get());
    const int rounds = options.CheckOnly ? 1 : options.Rounds;
    // Drawn before the first round, so that --no-overwrite can look at every round's names.
    if (!options.CheckOnly) {
        for (int round = 1; round <= rounds; ++round) Seeds.push_back(SeedOfRound(options, round));
    }
    int code = ExitDone;
    for (int round = 1; round <= rounds && code == ExitDone; ++round) {
        if (round > 1 && StopRequested) {
            std::fprintf(Err, "%s: stopped before round %d of %d\n", options.ScriptPath.c_str(),
                         round, rounds);
            code = ExitInterrupted;
            break;
        }
        report = RoundReport();
        report.Script = options.ScriptPath;
        report.Round = round;
        code = RunRound(options, round, report);
        if (!options.CheckOnly) FinishReport(options, report, code);
    }
    if (options.CheckOnly) {
        if (code == ExitDone) std::fprintf(Out, "%s: no errors\n", options.ScriptPath.c_str());
        return code;
    }
    // Runs that started, also those stopped by an overflow or Ctrl-C, end with the summary.
    if (code == ExitDone || code == ExitOverflow || code == ExitInterrupted) PrintSummary(options);
    // An overflow or a stop says more about the run than the images it lost.
    if (code == ExitDone && TotalFailedImages > 0) return ExitImagesFailed;
    return code;
}

void CliRunner::FinishReport(const CliOptions &options, RoundReport &report, int code) {
    report.Status = code == ExitDone && !report.Failed.empty() ? ExitImagesFailed : code;
    report.Mps = MpsOf(double(report.SizeX) * report.SizeY * report.Iterations, report.Seconds);
    if (!options.Json) return;
    std::fputs(report.Json().c_str(), Out);
    // A pipeline reads each round as it ends.
    std::fflush(Out);
}

void CliRunner::PrintSummary(const CliOptions &options) {
    FILE *summary = Out;
    if (options.Json) {
        // stdout carries only the JSON lines.
        summary = Err;
    } else {
        for (const std::string &path : Written) std::fprintf(Out, "%s\n", path.c_str());
    }
    const double speed = MpsOf(TotalPoints, TotalSeconds);
    if (TotalFailedImages == 0) {
        std::fprintf(summary, "%d iterations, %d images written, %.2f Mps average\n",
                     TotalIterations, TotalImages, speed);
    } else {
        std::fprintf(summary,
                     "%d iterations, %d images written, %d could not be written, %.2f Mps "
                     "average\n",
                     TotalIterations, TotalImages, TotalFailedImages, speed);
    }
}

bool CliRunner::NothingInTheWay(const CliOptions &options, const std::string &scriptBase) {
    RoundSetup names(options, Err);
    std::vector<std::string> images =
        RoundSetup::ScheduledImages(*Sim, options, Sim->FileBaseName.GetString());
    std::string found = RoundSetup::FirstExisting(images);
    // The later rounds differ only by the seed in their names.
    for (size_t round = 1; found.empty() && round < Seeds.size(); ++round) {
        const std::string base = names.BaseName(scriptBase, Seeds[round]);
        found = RoundSetup::FirstExisting(RoundSetup::ScheduledImages(*Sim, options, base));
    }
    if (found.empty()) return true;
    std::fprintf(Err, "%s: the image exists; --no-overwrite leaves it as it is\n", found.c_str());
    return false;
}

int CliRunner::RunRound(const CliOptions &options, int round, RoundReport &report) {
    const int parsed = ParseRound(options, round);
    if (parsed != ExitDone || options.CheckOnly) return parsed;
    const int prepared = PrepareRound(options, round, report);
    if (prepared != ExitDone) return prepared;
    return GrowRound(options, round, report);
}

int CliRunner::ParseRound(const CliOptions &options, int round) {
    const std::string &path = options.ScriptPath;
    ReaDifSimulation &sim = *Sim;
    const bool fresh = options.SeedPerRound();
    int32_t errorPosition = 0;
    // A check reports and changes nothing; a run and --annotate rewrite as the desktop Run does.
    bool rewrite = !options.CheckOnly || options.Annotate;
    AtomicFileWriter::ForgetLastFailure();
    const ScriptParser::Result result =
        Parser->Parse(sim, path.c_str(), errorPosition, fresh ? 1 : 0,
                      rewrite ? ScriptParser::Mode::Annotate : ScriptParser::Mode::Check);
    if (result == ScriptParser::FileError) {
        // A rewrite that could not be written has a cause; other refusals of the parser do not.
        const int cause = AtomicFileWriter::LastFailure();
        if (cause != 0) {
            std::fprintf(Err, "%s: %s %s\n", path.c_str(), GST.Get(MsgFileNotWritten),
                         FaultText(cause).c_str());
        } else {
            std::fprintf(Err, "%s: %s\n", path.c_str(), GST.Get(MsgScriptUnusable));
        }
        return ExitFileError;
    }
    if (result != ScriptParser::Accepted) {
        ReportAnnotations(path, rewrite);
        ReportWarnings(path, rewrite);
        return ExitScriptErrors;
    }
    // Warnings leave the script valid: told once whatever the rounds, even when quiet.
    if (round == 1) ReportWarnings(path, rewrite);
    if (sim.ErrorStatus == ReaDifSimulation::StatusAllocationFailed) {
        std::fprintf(Err, "%s: %s\n", path.c_str(), GST.Get(MsgNoMemory));
        return ExitFileError;
    }
    return ExitDone;
}

int CliRunner::PrepareRound(const CliOptions &options, int round, RoundReport &report) {
    const std::string &path = options.ScriptPath;
    ReaDifSimulation &sim = *Sim;
    report.Model = ReactionModelTable[sim.ModelIndex].Name;
    const std::string scriptBase =
        sim.FileBaseName.GetString() != nullptr ? sim.FileBaseName.GetString() : "";
    const uint32_t roundSeed = Seeds[size_t(round - 1)];
    RoundSetup setup(options, Err);
    setup.SetAvailableMemory(AvailableMemory);
    const int applied = setup.Apply(sim, roundSeed);
    if (applied != ExitDone) return applied;
    report.Seed = MainRandom.GetSeed();
    report.SizeX = sim.Components[0]->GetSizeX();
    report.SizeY = sim.Components[0]->GetSizeY();
    report.EndTime = sim.EndTime;
    if (options.NoOverwrite && round == 1 && !NothingInTheWay(options, scriptBase)) {
        return ExitUsage;
    }
    int32_t diskSpace = sim.EvalSaveImageDiskSpace();
    if (!options.Quiet && round == 1 && diskSpace >= DiskSpaceNoteMB) {
        std::fprintf(Err, "%s: note: the images of %s will take about %d MB\n",
                     options.ProgramName.c_str(), options.Rounds > 1 ? "each round" : "this run",
                     diskSpace);
    }
    if (!options.Quiet) {
        if (options.Rounds > 1) {
            std::fprintf(Err, "round %d/%d: ", round, options.Rounds);
        }
        std::fprintf(Err, "%s: %d x %d points, %d iterations, seed %u\n", path.c_str(),
                     sim.Components[0]->GetSizeX(), sim.Components[0]->GetSizeY(), sim.EndTime,
                     MainRandom.GetSeed());
    } else if (options.SeedPerRound()) {
        // A texture from a fresh seed can be made again only with its seed: told even when
        // quiet, before the round, so that a stopped round has it too.
        if (options.Rounds > 1) std::fprintf(Err, "round %d/%d: ", round, options.Rounds);
        std::fprintf(Err, "%s: seed %u\n", path.c_str(), MainRandom.GetSeed());
    }
    if (sim.Initialize() != GenImage3D::Done) {
        std::fprintf(Err, "%s: the fields could not be set up (out of memory)\n", path.c_str());
        return ExitFileError;
    }
    return ExitDone;
}

int CliRunner::GrowRound(const CliOptions &options, int round, RoundReport &report) {
    const std::string &path = options.ScriptPath;
    ReaDifSimulation &sim = *Sim;
    const uint32_t points = sim.Components[0]->GetPixelCount();
    RoundWritten.clear();
    RoundFailed.clear();
    // Slices bounded in time, not by the desktop's iteration count: a large field runs many
    // iterations a slice, batched where nothing happens between them, and a small field that
    // writes an image every iteration still sees Ctrl-C within a fraction of a second.
    SlicePacer pacer(sim.EndTime);
    ProgressDisplay progress(options.Quiet ? nullptr : Err, Terminal);
    progress.Start(sim.EndTime, double(points));
    const int32_t imagesBefore = Writer->ImagesDone();
    Clock::time_point start = Clock::now();
    ReaDifSimulation::RunResult status = ReaDifSimulation::RunResult::Ran;
    while (sim.CurrentTime < sim.EndTime) {
        Clock::time_point sliceStart = Clock::now();
        status = sim.RunSimulation(pacer.Next());
        pacer.Record(SecondsSince(sliceStart));
        progress.Update(sim.CurrentTime, SecondsSince(start));
        Writer->Deliver();
        if (status != ReaDifSimulation::RunResult::Ran ||
            sim.ErrorStatus == ReaDifSimulation::StatusOverflow)
            break;
        if (StopRequested) break;
    }
    if (StopRequested && sim.ErrorStatus != ReaDifSimulation::StatusOverflow) {
        WriteStopImage(options);
    }
    // The round's time includes the images still being written: the run is done when they are.
    Writer->Finish();
    double seconds = SecondsSince(start);
    progress.Finish();
    const int32_t images = Writer->ImagesDone() - imagesBefore;
    TotalIterations += sim.CurrentTime;
    TotalImages += images;
    TotalSeconds += seconds;
    TotalPoints += double(points) * sim.CurrentTime;
    report.Iterations = sim.CurrentTime;
    report.Seconds = seconds;
    report.Images = RoundWritten;
    report.Failed = RoundFailed;
    if (sim.ErrorStatus == ReaDifSimulation::StatusOverflow) {
        std::fprintf(Err, "%s: numeric overflow at iteration %d; the %d images written stay. %s\n",
                     path.c_str(), sim.CurrentTime, images, GST.Get(MsgOverflow));
        return ExitOverflow;
    }
    if (status != ReaDifSimulation::RunResult::Ran &&
        status != ReaDifSimulation::RunResult::Complete) {
        std::fprintf(Err, "%s: the simulation refused to run at iteration %d\n", path.c_str(),
                     sim.CurrentTime);
        return ExitFileError;
    }
    if (StopRequested && sim.CurrentTime < sim.EndTime) {
        std::fprintf(Err, "%s: stopped at iteration %d of %d; %d images written\n", path.c_str(),
                     sim.CurrentTime, sim.EndTime, images);
        return ExitInterrupted;
    }
    if (options.Rounds > 1 && !options.Quiet) {
        std::fprintf(Err, "round %d/%d done: %d images, seed %u\n", round, options.Rounds, images,
                     MainRandom.GetSeed());
    }
    return ExitDone;
}
