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
#include "movie/MovieSet.h"
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

// Fresh seeds, and --seed S counting up over rounds, stay within what a randseed line holds.
constexpr uint32_t MaxSeed = uint32_t(ScriptParser::MaxSeed);

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

std::string CliRunner::Counted(long long count, const char *singular, const char *plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

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

void CliRunner::StartMovies(const CliOptions &options) {
    if (options.Movies.empty()) return;
    Movies = std::make_unique<MovieSet>(options.Movies, options.Movie, options.Images);
    Sim->SetFrameHook(&MovieSet::TakeFrame, Movies.get(), options.MovieEvery);
    (void)Sim->EmitFrame();
}

bool CliRunner::FinishMovies(RoundReport &report) {
    if (Movies == nullptr) return true;
    Sim->SetFrameHook(nullptr, nullptr, 0);
    bool written = true;
    for (const MovieSet::Outcome &movie : Movies->Finish(Err)) {
        if (movie.Error != 0) {
            ++TotalFailedMovies;
            report.Failed.push_back(movie.Path);
            written = false;
            continue;
        }
        report.Movies.emplace_back(movie.Path, movie.Frames);
        Written.push_back(movie.Path);
    }
    Movies.reset();
    return written;
}

void CliRunner::NoteImageWritten(const std::string &path) {
    RoundWritten.push_back(path);
    Written.push_back(path);
}

uint32_t CliRunner::SeedOfRound(const CliOptions &options, int round) {
    if (options.Seed != 0) {
        // S, S+1, ... past MaxSeed on from 1: 0 would take the clock.
        return uint32_t((uint64_t(options.Seed) - 1 + uint64_t(round - 1)) % MaxSeed + 1);
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

void CliRunner::NoteImageRange(void *runner, const ReaDifSimulation::ImageRange &range) {
    auto *self = static_cast<CliRunner *>(runner);
    if (self->Measuring) {
        if (!self->RunRangeFound || range.Min < self->RunMin) self->RunMin = range.Min;
        if (!self->RunRangeFound || range.Max > self->RunMax) self->RunMax = range.Max;
        self->RunRangeFound = true;
        return;
    }
    RoundReport::Range entry;
    entry.Image = range.Path;
    entry.Iteration = range.Time;
    entry.Min = range.Min;
    entry.Max = range.Max;
    entry.Uniform = ReaDifSimulation::IsUniformRange(range.Min, range.Max);
    self->RoundRanges.push_back(entry);
    // A fixed scale shows a flat field as one flat colour; the automatic one stretches its
    // rounding noise into a pattern. Told for the first such image of a round.
    if (entry.Uniform && self->Sim->ImageScale == 0.0 && !self->WarnedUniform) {
        self->WarnedUniform = true;
        std::fprintf(self->Err,
                     "%s: warning: the field of %c at iteration %d is uniform to within %.3g: "
                     "autoscale shows rounding noise\n",
                     self->ScriptPath.c_str(), range.Letter, range.Time, range.Max - range.Min);
    }
}

void CliRunner::ReportAnnotations(const std::string &path, bool rewritten, RoundReport &report) {
    for (int32_t i = 0; i < Parser->GetNoteCount(); ++i) {
        ScriptParser::Note note = Parser->GetNote(i);
        // An annotation stands above the line it is about; a missing item belongs to no line:
        // it is reported on its own line of the rewritten script, else on the first line.
        int32_t line = rewritten ? note.RewrittenLine : (note.Line == 0 ? 1 : note.Line);
        std::fprintf(Err, "%s:%d: %s\n", path.c_str(), line, note.Text);
        report.Errors.push_back({line, note.Text});
    }
}

void CliRunner::ReportWarnings(const std::string &path, bool rewritten, RoundReport *report) {
    for (int32_t i = 0; i < Parser->GetWarningCount(); ++i) {
        ScriptParser::Note warning = Parser->GetWarning(i);
        const int32_t line = rewritten ? warning.RewrittenLine : warning.Line;
        if (report == nullptr) continue;  // told in an earlier round
        std::fprintf(Err, "%s:%d: warning: %s\n", path.c_str(), line, warning.Text);
        report->Warnings.push_back({line, warning.Text});
    }
}

int CliRunner::Run(const CliOptions &options) {
    // A large run raises the limit of the memory tables for itself only.
    const uint32_t wordLimit = MemoryTable::GetWordLimit();
    JsonLines.clear();
    ScriptPath = options.ScriptPath;
    int code = RunRounds(options);
    MemoryTable::SetWordLimit(wordLimit);
    if (!options.JsonFile.empty() && !options.CheckOnly && !WriteJsonFile(options) &&
        code == ExitDone) {
        code = ExitFileError;
    }
    return code;
}

bool CliRunner::WriteJsonFile(const CliOptions &options) {
    int cause = 0;
    if (AtomicFileWriter::WriteWhole(options.JsonFile.c_str(), JsonLines.data(), JsonLines.size(),
                                     cause) == AtomicFileWriter::Done) {
        return true;
    }
    std::fprintf(Err, "%s: %s %s\n", options.JsonFile.c_str(), GST.Get(MsgFileNotWritten),
                 FaultText(cause).c_str());
    return false;
}

int CliRunner::RunRounds(const CliOptions &options) {
    if (GST.GetMessageCount() == 0) LoadGST();
    TotalIterations = TotalImages = TotalFailedImages = TotalFailedMovies = 0;
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
    Sim->SetImageRangeHook(&CliRunner::NoteImageRange, this);
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
    if (code == ExitDone && (TotalFailedImages > 0 || TotalFailedMovies > 0)) {
        return ExitImagesFailed;
    }
    return code;
}

void CliRunner::FinishReport(const CliOptions &options, RoundReport &report, int code) {
    report.Status = code == ExitDone && !report.Failed.empty() ? ExitImagesFailed : code;
    report.Mps = MpsOf(double(report.SizeX) * report.SizeY * report.Iterations, report.Seconds);
    if (!options.JsonFile.empty()) JsonLines += report.Json();
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
    const std::string done = Counted(TotalIterations, "iteration", "iterations") + ", " +
                             Counted(TotalImages, "image", "images") + " written";
    if (TotalFailedImages == 0) {
        std::fprintf(summary, "%s, %.2f Mps average\n", done.c_str(), speed);
    } else {
        std::fprintf(summary, "%s, %d could not be written, %.2f Mps average\n", done.c_str(),
                     TotalFailedImages, speed);
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
    if (found.empty()) {
        found = RoundSetup::FirstExisting(options.Movies);
        if (found.empty()) return true;
        std::fprintf(Err, "%s: the movie exists; --no-overwrite leaves it as it is\n",
                     found.c_str());
        return false;
    }
    std::fprintf(Err, "%s: the image exists; --no-overwrite leaves it as it is\n", found.c_str());
    return false;
}

int CliRunner::RunRound(const CliOptions &options, int round, RoundReport &report) {
    const int parsed = ParseRound(options, round, report);
    if (parsed != ExitDone || options.CheckOnly) return parsed;
    const int prepared = PrepareRound(options, round, report);
    if (prepared != ExitDone) return prepared;
    return GrowRound(options, round, report);
}

int CliRunner::ParseRound(const CliOptions &options, int round, RoundReport &report) {
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
        ReportAnnotations(path, rewrite, report);
        ReportWarnings(path, rewrite, &report);
        return ExitScriptErrors;
    }
    // Warnings leave the script valid: told once whatever the rounds, even when quiet.
    ReportWarnings(path, rewrite, round == 1 ? &report : nullptr);
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
    const ReactionModelInfo &model = ReactionModelTable[sim.ModelIndex];
    for (int i = 0; i < model.ParameterCount(); ++i) {
        const char *name = ReactionParameterNames[int(model.Parameters[i].Field)];
        report.Parameters.emplace_back(name, sim.GetReactionParameter(name));
    }
    // The formula model reads the names its formulas use.
    for (int i = 0; i < sim.Formula.ParameterCount(); ++i) {
        report.Parameters.emplace_back(sim.Formula.ParameterNameAt(i),
                                       sim.ReactionParameters[sim.Formula.ParameterKeyAt(i)][0]);
    }
    for (int i = 0; i < sim.ComponentCount; ++i) {
        report.Diffusion.emplace_back(std::string(1, char('A' + i)), sim.DiffusionCoeff[i]);
    }
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
    NoiseState = RandomGenerator::SaveState();
    if (sim.Initialize() != GenImage3D::Done) {
        std::fprintf(Err, "%s: the fields could not be set up (out of memory)\n", path.c_str());
        return ExitFileError;
    }
    return ExitDone;
}

ReaDifSimulation::RunResult CliRunner::RunSlices(ProgressDisplay &progress) {
    ReaDifSimulation &sim = *Sim;
    // Slices bounded in time, not by the desktop's iteration count: a large field runs many
    // iterations a slice, batched where nothing happens between them, and a small field that
    // writes an image every iteration still sees Ctrl-C within a fraction of a second.
    SlicePacer pacer(sim.EndTime);
    progress.Start(sim.EndTime, double(sim.Components[0]->GetPixelCount()));
    Clock::time_point start = Clock::now();
    ReaDifSimulation::RunResult status = ReaDifSimulation::RunResult::Ran;
    while (sim.CurrentTime < sim.EndTime) {
        Clock::time_point sliceStart = Clock::now();
        const int64_t before = sim.CurrentTime;
        status = sim.RunSimulation(SlicePacer::OnGrid(
            before, pacer.Next(), pacer.Next(), sim.EndTime, ReaDifSimulation::OverflowTestPeriod));
        pacer.Record(int32_t(sim.CurrentTime - before), SecondsSince(sliceStart));
        progress.Update(sim.CurrentTime, SecondsSince(start));
        Writer->Deliver();
        if (status != ReaDifSimulation::RunResult::Ran ||
            sim.ErrorStatus == ReaDifSimulation::StatusOverflow)
            break;
        if (StopRequested) break;
    }
    progress.Finish();
    return status;
}

ReaDifSimulation::RunResult CliRunner::ScaleOverTheRun(const CliOptions &options) {
    ReaDifSimulation &sim = *Sim;
    if (!options.Images.ScaleRun || sim.ImageScale != 0.0 || sim.ImageCount() == 0) {
        return ReaDifSimulation::RunResult::Complete;
    }
    // The pass changes what a run changes: the drifting parameters and coefficients, the
    // fields and the generator; all are put back before the real run.
    std::vector<double> parameters(&sim.ReactionParameters[0][0],
                                   &sim.ReactionParameters[0][0] + 2 * sim.ParameterPairs);
    std::vector<double> diffusion(sim.DiffusionCoeff, sim.DiffusionCoeff + sim.MaxComponentCount);
    if (!options.Quiet) {
        std::fprintf(Err, "%s: measuring the range of the run's images (--scale run)\n",
                     options.ScriptPath.c_str());
    }
    Measuring = true;
    RunRangeFound = false;
    sim.WriteImages = false;
    ProgressDisplay progress(options.Quiet ? nullptr : Err, Terminal);
    const ReaDifSimulation::RunResult status = RunSlices(progress);
    sim.WriteImages = true;
    Measuring = false;
    const bool complete = sim.CurrentTime == sim.EndTime &&
                          sim.ErrorStatus != ReaDifSimulation::StatusOverflow &&
                          status != ReaDifSimulation::RunResult::Refused;
    std::copy(parameters.begin(), parameters.end(), &sim.ReactionParameters[0][0]);
    std::copy(diffusion.begin(), diffusion.end(), sim.DiffusionCoeff);
    // Stopped or overflowed: the real run would end the same way, and is not started.
    if (!complete) return status;
    RandomGenerator::RestoreState(NoiseState);
    if (!RunRangeFound || sim.Initialize() != GenImage3D::Done) {
        return ReaDifSimulation::RunResult::Refused;
    }
    // The scale autoscale gives a field of this range: its minimum on colour 1, its maximum on
    // colour 254; a flat run keeps the automatic rule.
    if (RunMax > RunMin) {
        sim.ImageScale = 253.0 / (RunMax - RunMin);
        sim.ImageOffset = 1.0 - RunMin * sim.ImageScale;
    }
    if (ReaDifSimulation::IsUniformRange(RunMin, RunMax)) {
        std::fprintf(Err,
                     "%s: warning: the fields of %c over the run are uniform to within %.3g: "
                     "autoscale shows rounding noise\n",
                     options.ScriptPath.c_str(), sim.ImageComponent, RunMax - RunMin);
    }
    return ReaDifSimulation::RunResult::Complete;
}

int CliRunner::GrowRound(const CliOptions &options, int round, RoundReport &report) {
    const std::string &path = options.ScriptPath;
    ReaDifSimulation &sim = *Sim;
    const uint32_t points = sim.Components[0]->GetPixelCount();
    RoundWritten.clear();
    RoundFailed.clear();
    RoundRanges.clear();
    WarnedUniform = false;
    ReaDifSimulation::RunResult status = ScaleOverTheRun(options);
    // The measuring pass is not counted in the round's time and speed.
    const int32_t imagesBefore = Writer->ImagesDone();
    Clock::time_point start = Clock::now();
    if (status == ReaDifSimulation::RunResult::Complete) {
        StartMovies(options);
        ProgressDisplay progress(options.Quiet ? nullptr : Err, Terminal);
        status = RunSlices(progress);
    }
    if (StopRequested && sim.ErrorStatus != ReaDifSimulation::StatusOverflow) {
        WriteStopImage(options);
    }
    // The round's time includes the images and movies still being written: the run is done
    // when they are. A movie ends playable with the frames it has, also after Ctrl-C.
    Writer->Finish();
    (void)FinishMovies(report);
    double seconds = SecondsSince(start);
    const int32_t images = Writer->ImagesDone() - imagesBefore;
    TotalIterations += sim.CurrentTime;
    TotalImages += images;
    TotalSeconds += seconds;
    TotalPoints += double(points) * sim.CurrentTime;
    report.Iterations = sim.CurrentTime;
    report.Seconds = seconds;
    report.Images = RoundWritten;
    report.Failed = RoundFailed;
    report.Ranges = RoundRanges;
    if (sim.ErrorStatus == ReaDifSimulation::StatusOverflow) {
        std::fprintf(Err, "%s: numeric overflow at iteration %d; %s written %s. %s\n", path.c_str(),
                     sim.CurrentTime, Counted(images, "the image", "the images").c_str(),
                     images == 1 ? "stays" : "stay", GST.Get(MsgOverflow));
        return ExitOverflow;
    }
    if (status != ReaDifSimulation::RunResult::Ran &&
        status != ReaDifSimulation::RunResult::Complete) {
        std::fprintf(Err, "%s: the simulation refused to run at iteration %d\n", path.c_str(),
                     sim.CurrentTime);
        return ExitFileError;
    }
    if (StopRequested && sim.CurrentTime < sim.EndTime) {
        std::fprintf(Err, "%s: stopped at iteration %d of %d; %s written\n", path.c_str(),
                     sim.CurrentTime, sim.EndTime, Counted(images, "image", "images").c_str());
        return ExitInterrupted;
    }
    if (options.Rounds > 1 && !options.Quiet) {
        std::fprintf(Err, "round %d/%d done: %s, seed %u\n", round, options.Rounds,
                     Counted(images, "image", "images").c_str(), MainRandom.GetSeed());
    }
    return ExitDone;
}
