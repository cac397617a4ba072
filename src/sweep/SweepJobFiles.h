// SweepJobFiles: the files that hand a sweep to an existing job engine instead of running it:
// jobs.txt for GNU parallel (a vorna-cli command per line) and sweep.sbatch, a Slurm job array.
#pragma once

#include <string>
#include <vector>

namespace SweepJobFiles {

// What Write answers.
enum class Result { Failed = 0, Done = 1 };
constexpr Result Failed = Result::Failed;
constexpr Result Done = Result::Done;

// Writes folder/jobs.txt and folder/sweep.sbatch for the variants folder/NAME.vna. Both name
// the scripts relative to the folder's parent, so they are run from there; program is the
// vorna-cli they start unless VORNA_CLI names another; every path is quoted for the shell that
// reads it. Names with control characters are refused (Failed). smallFields: one thread per
// variant, else every core of the machine (parallel) or of the task (Slurm). runArguments: the run
// options every command carries ("-f", "png", ...). reports: each variant writes its run report
// to folder/NAME.json (--json-file). movieTypes: each variant writes folder/NAME.TYPE (--movie)
// for each ("mp4", ...); the movie options go with runArguments. Done; Failed with error set.
[[nodiscard]] Result Write(const std::string &folder, const std::vector<std::string> &names,
                           const std::string &program, bool smallFields,
                           const std::vector<std::string> &runArguments, bool reports,
                           std::string &error,
                           const std::vector<std::string> &movieTypes = std::vector<std::string>());

// text quoted for a POSIX shell (bash, dash): taken as it stands, whatever bytes it holds but a
// zero; every path the job files hold goes through it.
std::string ShellQuote(const std::string &text);
// Whether text may stand in an #SBATCH line, which Slurm reads without a shell's quoting:
// letters, digits, '.', '_', '-', '+' only.
bool IsSlurmSafe(const std::string &text);

}  // namespace SweepJobFiles
