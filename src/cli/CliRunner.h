// CliRunner: runs one parameter script from parse to last image without a window, reporting
// errors, progress and the outcome as a command-line program does. Owns its simulation object.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/RoundReport.h"
#include "rdsimul/ReaDifSimulation.h"

class ImageOutput;
class MovieSet;
class ProgressDisplay;
class WriterThread;
class ScriptParser;

class CliRunner {
public:
    // Exit codes of vorna-cli.
    static constexpr int ExitDone = 0;
    static constexpr int ExitUsage = 1;  // also: --no-overwrite found an image in the way
    static constexpr int ExitScriptErrors = 2;
    // script unusable (with the cause), output folder unusable, not enough memory
    static constexpr int ExitFileError = 3;
    static constexpr int ExitOverflow = 4;
    static constexpr int ExitImagesFailed = 5;  // the run went on, but some images were not written
    static constexpr int ExitInterrupted = 130;

    static constexpr int32_t DiskSpaceNoteMB = 10;  // estimates from this size on are shown

    // out: the summary; err: errors, notes and progress. terminal: err is a terminal.
    CliRunner(FILE *out, FILE *err, bool terminal);
    ~CliRunner();

    // The machine's free memory in bytes the runs are checked against, for tests; 0 (the
    // default) reads /proc/meminfo.
    void SetAvailableMemory(uint64_t bytes) { AvailableMemory = bytes; }

    // Parses the script of options (rewriting it with its annotations unless only checked) and,
    // unless CheckOnly, runs it Rounds times: an exit code.
    int Run(const CliOptions &options);

    // Loads the message table and takes French when the locale (LC_ALL, LC_MESSAGES, LANG)
    // asks for it; English otherwise.
    static void ChooseLanguage();
    // Makes Ctrl-C ask the running script to stop at the next slice boundary; a second Ctrl-C
    // ends the program at once with code 130. SIGTERM and SIGHUP keep their default ending.
    // None of them leaves a temporary file behind.
    static void InstallInterruptHandler();
    // What Ctrl-C does; ClearStop forgets it.
    static void RequestStop();
    static void ClearStop();
    // "1 image", "3 images": a count with its noun for the summaries.
    static std::string Counted(long long count, const char *singular, const char *plural);

private:
    // Says why the script cannot be used when it is missing, unreadable, no regular file or no
    // text (a zero byte): false.
    bool CheckScriptFile(const std::string &path);
    // Prints the annotations of the last parse as PATH:LINE: TEXT, numbered as in the file the
    // user has now: the script as read when it was only checked, else as rewritten.
    void ReportAnnotations(const std::string &path, bool rewritten, RoundReport &report);
    // Prints the warnings of the last parse as PATH:LINE: warning: TEXT, numbered the same way.
    void ReportWarnings(const std::string &path, bool rewritten, RoundReport *report);
    // All rounds, the summary and the reports: an exit code.
    int RunRounds(const CliOptions &options);
    // One parse and run; round counts from 1. Fills report.
    int RunRound(const CliOptions &options, int round, RoundReport &report);
    // Parses the script (rewriting it unless only checked) and reports its annotations and
    // warnings: an exit code.
    int ParseRound(const CliOptions &options, int round, RoundReport &report);
    // Applies the round's options and seed to the parsed simulation, tells what will run and
    // fills its fields: an exit code.
    int PrepareRound(const CliOptions &options, int round, RoundReport &report);
    // Runs the iterations in slices until the end, Ctrl-C or an overflow, and reports how the
    // round ended: an exit code.
    int GrowRound(const CliOptions &options, int round, RoundReport &report);
    // Runs the iterations in slices until the end, Ctrl-C, an overflow or a refusal, showing
    // the progress: the last answer of the simulation.
    ReaDifSimulation::RunResult RunSlices(ProgressDisplay &progress);
    // With --scale run and an autoscaled image line: runs the round once without images to find
    // the range of all its images, then starts it again from the same state with that range as
    // the images' fixed scale. Complete when the round is to run (also without --scale run);
    // else how the pass ended (stopped, overflowed, refused), and the round ends there.
    ReaDifSimulation::RunResult ScaleOverTheRun(const CliOptions &options);
    // The JSON objects of the run into --json-file: false (told) when it could not be written.
    bool WriteJsonFile(const CliOptions &options);
    // The seed of a round: --seed counted up by the round, a fresh one that no other round of
    // this run had, or 0 for the script's.
    uint32_t SeedOfRound(const CliOptions &options, int round);
    // With --no-overwrite, the first image of any round of the run that exists (it is printed):
    // false. The names of round 1 stand in sim; scriptBase is its base before the round's.
    bool NothingInTheWay(const CliOptions &options, const std::string &scriptBase);
    // Ends a round's report: its numbers, and the JSON line when asked for.
    void FinishReport(const CliOptions &options, RoundReport &report, int code);
    // The summary line, after the names of the images written unless they went into JSON.
    void PrintSummary(const CliOptions &options);
    // Tells, once, that an image could not be written and why; counts it.
    static void ReportImageFailure(void *runner, const char *path, int error);
    // Notes a file the run wrote: an image or one of its maps.
    void NoteImageWritten(const std::string &path);
    // Notes the field range of an image due; warns, once a round, of an autoscaled uniform one.
    static void NoteImageRange(void *runner, const ReaDifSimulation::ImageRange &range);
    // The movies of the round (--movie): started with the starting field as their first frame,
    // fed by the simulation's frame hook.
    void StartMovies(const CliOptions &options);
    // Ends the round's movies with the frames they have, noting them in report; false when one
    // could not be written (told with its cause).
    bool FinishMovies(RoundReport &report);
    // With --last, a round broken off by Ctrl-C writes the image of the iteration it reached.
    void WriteStopImage(const CliOptions &options);

    FILE *Out;
    FILE *Err;
    bool Terminal;
    // Declared before the writer, whose jobs it runs, and the writer before the simulation,
    // which points at it, so that each goes after what uses it.
    std::unique_ptr<WriterThread> Thread;
    std::unique_ptr<ImageOutput> Writer;
    std::unique_ptr<ReaDifSimulation> Sim;
    std::unique_ptr<MovieSet> Movies;  // of the round running; the simulation's frame hook
    std::unique_ptr<ScriptParser> Parser;
    int32_t TotalIterations = 0;
    int32_t TotalImages = 0;
    int32_t TotalFailedImages = 0;
    int32_t TotalFailedMovies = 0;
    double TotalSeconds = 0.0;
    double TotalPoints = 0.0;
    uint64_t AvailableMemory = 0;
    std::vector<std::string> Written;      // every image of the run, in order
    std::vector<std::string> RoundFailed;  // the images of this round that were not written
    std::vector<std::string> RoundWritten;
    std::vector<uint32_t> Seeds;  // of every round, drawn before the first one
    std::vector<RoundReport::Range> RoundRanges;
    bool WarnedUniform = false;  // this round told of a uniform autoscaled image
    bool Measuring = false;      // the first pass of --scale run: ranges are gathered
    double RunMin = 0.0;         // the range gathered
    double RunMax = 0.0;
    bool RunRangeFound = false;
    uint32_t NoiseState = 0;  // the generator as the round's fields were filled
    std::string ScriptPath;   // of the run, for the warnings of the range hook
    std::string JsonLines;    // every round's object, for --json-file
    std::unordered_set<uint32_t> UsedSeeds;

    static void OnInterrupt(int signal);

    static volatile std::sig_atomic_t StopRequested;
};
