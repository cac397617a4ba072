#include "cli/CliRunner.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <set>

#include "cli/ProgressDisplay.h"
#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MessageIds.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/RandomGenerator.h"
#include "toolkit/StringTable.h"

namespace {

constexpr int ComponentSlots = 4;
constexpr uint32_t MaxSeed = 99999999;     // seeds stay in the range a clock seed has

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The texts of the annotations written at the top of a script for missing items: they belong
// to no line of the script.
std::set<std::string> MissingItemTexts() {
    std::set<std::string> texts;
    char text[512];
    texts.insert(GST.Get(MsgMissingModel));
    for (int index : {MsgMissingDiffusion, MsgMissingReaction, MsgMissingInit}) {
        for (char letter = 'A'; letter < 'A' + ComponentSlots; ++letter) {
            std::snprintf(text, sizeof text, GST.Get(index), letter, letter);
            texts.insert(text);
        }
    }
    for (int index : {MsgMissingSize, MsgMissingIterations, MsgMissingColormap, MsgMissingImage}) {
        texts.insert(GST.Get(index));
    }
    return texts;
}

uint32_t FreshSeed() {
    std::random_device device;
    return device() % MaxSeed + 1;
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
    struct sigaction action = {};
    action.sa_handler = &CliRunner::OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    action.sa_handler = OnTermination;
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
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
    std::fprintf(self->Err, "%s: %s %s\n", path, GST.Get(MsgFileNotWritten),
                 FaultText(error).c_str());
}

void CliRunner::ClearStop() { StopRequested = 0; }

bool CliRunner::CheckScriptFile(const std::string &path) {
    // Opened without waiting, so a FIFO named as the script cannot hang the program; only a
    // regular text file goes to the parser, which rewrites it.
    FileFault fault;
    if (CheckTextFile(path.c_str(), fault) != FileCheckDone) {
        std::fprintf(Err, "%s: %s %s\n", path.c_str(), GST.Get(MsgFileNotRead),
                     FaultText(fault).c_str());
        return false;
    }
    return true;
}

void CliRunner::ReportAnnotations(const std::string &path) {
    std::ifstream script(path, std::ios::binary);
    const std::string prefix = GST.Get(MsgAnnotationPrefix);
    const std::set<std::string> missing = MissingItemTexts();
    std::string line;
    int number = 0;
    while (std::getline(script, line)) {
        ++number;
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        std::string text = line.substr(prefix.size());
        if (!text.empty() && text.back() == '\r') text.pop_back();
        // An annotation stands above the line it is about; those of missing items belong to
        // no line and are reported where they stand, at the top.
        int target = missing.count(text) != 0 ? number : number + 1;
        std::fprintf(Err, "%s:%d: %s\n", path.c_str(), target, text.c_str());
    }
}

int CliRunner::Run(const CliOptions &options) {
    if (GST.GetMessageCount() == 0) LoadGST();
    if (!CheckScriptFile(options.ScriptPath)) return ExitFileError;
    Sim.reset(new (std::nothrow) ReaDifSimulation(ComponentSlots));
    if (Sim == nullptr || Sim->ErrorStatus == ReaDifSimulation::StatusAllocationFailed) {
        std::fprintf(Err, "%s: %s\n", options.ScriptPath.c_str(), GST.Get(MsgNoMemory));
        return ExitFileError;
    }
    Sim->SetImageFailureHook(&CliRunner::ReportImageFailure, this);
    TotalIterations = TotalImages = TotalFailedImages = 0;
    TotalSeconds = TotalPoints = 0.0;
    int rounds = options.CheckOnly ? 1 : options.Rounds;
    int code = ExitDone;
    for (int round = 1; round <= rounds && code == ExitDone; ++round) {
        if (round > 1 && StopRequested) {
            std::fprintf(Err, "%s: stopped before round %d of %d\n", options.ScriptPath.c_str(),
                         round, rounds);
            code = ExitInterrupted;
            break;
        }
        code = RunRound(options, round);
    }
    if (options.CheckOnly) {
        if (code == ExitDone) std::fprintf(Out, "%s: no errors\n", options.ScriptPath.c_str());
        return code;
    }
    // Runs that started, also those stopped by an overflow or Ctrl-C, end with the summary.
    if (code == ExitDone || code == ExitOverflow || code == ExitInterrupted) {
        double speed = TotalSeconds > 0.0 ? TotalPoints / TotalSeconds / 1048576.0 : 0.0;
        if (TotalFailedImages == 0) {
            std::fprintf(Out, "%d iterations, %d images written, %.2f Mps average\n",
                         TotalIterations, TotalImages, speed);
        } else {
            std::fprintf(Out,
                         "%d iterations, %d images written, %d could not be written, %.2f Mps "
                         "average\n",
                         TotalIterations, TotalImages, TotalFailedImages, speed);
        }
    }
    // An overflow or a stop says more about the run than the images it lost.
    if (code == ExitDone && TotalFailedImages > 0) return ExitImagesFailed;
    return code;
}

int CliRunner::RunRound(const CliOptions &options, int round) {
    const std::string &path = options.ScriptPath;
    ReaDifSimulation &sim = *Sim;
    bool fresh = options.Randomize || options.Rounds > 1;
    int32_t errorPosition = 0;
    AtomicFileWriter::ForgetLastFailure();
    int result = sim.SetParametersFromFile(path.c_str(), errorPosition, fresh ? 1 : 0);
    if (result == 3) {
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
    if (result != 1) {
        ReportAnnotations(path);
        return ExitScriptErrors;
    }
    if (sim.ErrorStatus == ReaDifSimulation::StatusAllocationFailed) {
        std::fprintf(Err, "%s: %s\n", path.c_str(), GST.Get(MsgNoMemory));
        return ExitFileError;
    }
    if (options.CheckOnly) return ExitDone;
    // Seeds from the clock repeat within a second; fresh rounds take them from the system.
    if (fresh) MainRandom.Randomize(FreshSeed());
    if (options.Rounds > 1) {
        // Every round keeps its own images: script_r2_A001000.bmp.
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "_r%d", round);
        if (sim.FileBaseName.Append(suffix) != ProcString::Done) {
            // Without the suffix every round would overwrite the images of the one before.
            std::fprintf(Err, "%s: the image names of round %d are too long\n", path.c_str(),
                         round);
            return ExitFileError;
        }
    }
    int32_t diskSpace = sim.EvalSaveImageDiskSpace();
    if (!options.Quiet && round == 1 && diskSpace >= DiskSpaceNoteMB) {
        std::fprintf(Err, "%s: note: the images of %s will take about %d MB\n",
                     options.ProgramName.c_str(), options.Rounds > 1 ? "each round" : "this run",
                     diskSpace);
    }
    uint32_t points = sim.Components[0]->GetPixelCount();
    if (!options.Quiet) {
        if (options.Rounds > 1) {
            std::fprintf(Err, "round %d/%d: ", round, options.Rounds);
        }
        std::fprintf(Err, "%s: %d x %d points, %d iterations, seed %u\n", path.c_str(),
                     sim.Components[0]->GetSizeX(), sim.Components[0]->GetSizeY(), sim.EndTime,
                     MainRandom.GetSeed());
    }
    if (sim.Initialize() != ReaDifSimulation::Done) {
        std::fprintf(Err, "%s: the fields could not be set up (out of memory)\n", path.c_str());
        return ExitFileError;
    }
    int32_t slice = ReaDifSimulation::SliceSize(sim.ComponentCount, points);
    ProgressDisplay progress(options.Quiet ? nullptr : Err, Terminal);
    progress.Start(sim.EndTime, double(points));
    Clock::time_point start = Clock::now();
    int status = ReaDifSimulation::Done;
    while (sim.CurrentTime < sim.EndTime) {
        status = sim.RunSimulation(slice);
        progress.Update(sim.CurrentTime, SecondsSince(start));
        if (status != ReaDifSimulation::Done || sim.ErrorStatus == ReaDifSimulation::StatusOverflow) break;
        if (StopRequested) break;
    }
    double seconds = SecondsSince(start);
    progress.Finish();
    int32_t images = sim.ImagesWritten;
    TotalIterations += sim.CurrentTime;
    TotalImages += images;
    TotalSeconds += seconds;
    TotalPoints += double(points) * sim.CurrentTime;
    if (sim.ErrorStatus == ReaDifSimulation::StatusOverflow) {
        std::fprintf(Err, "%s: numeric overflow at iteration %d; the %d images written stay. %s\n",
                     path.c_str(), sim.CurrentTime, images, GST.Get(MsgOverflow));
        return ExitOverflow;
    }
    if (status != ReaDifSimulation::Done && status != ReaDifSimulation::RunComplete) {
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
