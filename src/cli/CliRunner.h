// CliRunner: runs one parameter script from parse to last image without a window, reporting
// errors, progress and the outcome as a command-line program does. Owns its simulation object.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/CliOptions.h"

class ReaDifSimulation;
class ScriptParser;

class CliRunner {
public:
    // Exit codes of vorna-cli.
    static constexpr int ExitDone = 0;
    static constexpr int ExitUsage = 1;
    static constexpr int ExitScriptErrors = 2;
    static constexpr int ExitFileError = 3;  // script unusable (with the cause), no memory
    static constexpr int ExitOverflow = 4;
    static constexpr int ExitImagesFailed = 5;  // the run went on, but some images were not written
    static constexpr int ExitInterrupted = 130;

    static constexpr int32_t DiskSpaceNoteMB = 10;  // estimates from this size on are shown

    // out: the summary; err: errors, notes and progress. terminal: err is a terminal.
    CliRunner(FILE *out, FILE *err, bool terminal);
    ~CliRunner();

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

private:
    // Says why the script cannot be used when it is missing, unreadable, no regular file or no
    // text (a zero byte): false.
    bool CheckScriptFile(const std::string &path);
    // Prints the annotations of the last parse as PATH:LINE: TEXT, numbered as in the file the
    // user has now: the script as read when it was only checked, else as rewritten.
    void ReportAnnotations(const std::string &path, bool rewritten);
    // Prints the warnings of the last parse as PATH:LINE: warning: TEXT, numbered the same way.
    void ReportWarnings(const std::string &path, bool rewritten);
    // One parse and run; round counts from 1, rounds is the total.
    int RunRound(const CliOptions &options, int round);
    // Tells, once, that an image could not be written and why; counts it.
    static void ReportImageFailure(void *runner, const char *path, int error);

    FILE *Out;
    FILE *Err;
    bool Terminal;
    std::unique_ptr<ReaDifSimulation> Sim;
    std::unique_ptr<ScriptParser> Parser;
    int32_t TotalIterations = 0;
    int32_t TotalImages = 0;
    int32_t TotalFailedImages = 0;
    double TotalSeconds = 0.0;
    double TotalPoints = 0.0;

    static void OnInterrupt(int signal);

    static volatile std::sig_atomic_t StopRequested;
};
