#include "sweep/SweepJobFiles.h"

#include <sys/stat.h>

#include <filesystem>

#include "sweep/SweepFolder.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"

namespace {

SweepJobFiles::Result WriteFile(const std::string &path, const std::string &text,
                                std::string &error) {
    int cause = 0;
    if (AtomicFileWriter::WriteWhole(path.c_str(), text.data(), text.size(), cause) !=
        AtomicFileWriter::Done) {
        error = path + ": " + FaultText(cause) + "\n";
        return SweepJobFiles::Failed;
    }
    return SweepJobFiles::Done;
}

}  // namespace

std::string SweepJobFiles::ShellQuote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool SweepJobFiles::IsSlurmSafe(const std::string &text) {
    if (text.empty()) return false;
    for (unsigned char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-' || c == '+';
        if (!plain) return false;
    }
    return true;
}

SweepJobFiles::Result SweepJobFiles::Write(const std::string &folder,
                                           const std::vector<std::string> &names,
                                           const std::string &program, bool smallFields,
                                           const std::vector<std::string> &runArguments,
                                           bool reports, std::string &error,
                                           const std::vector<std::string> &movieTypes) {
    std::filesystem::path dir(folder);
    // "out/" names the folder "out" too.
    std::string leaf =
        dir.filename().empty() ? dir.parent_path().filename().string() : dir.filename().string();
    if (SweepFolder::ControlCharacterAt(leaf) != std::string::npos ||
        SweepFolder::ControlCharacterAt(program) != std::string::npos) {
        error = "a name with a control character cannot go into a job file\n";
        return Failed;
    }
    // The program: VORNA_CLI, else this one. An assignment is neither split nor globbed, and the
    // quoted default is taken as it stands, whatever bytes the path holds.
    const std::string setProgram = "vorna_cli=${VORNA_CLI:-" + ShellQuote(program) + "}";
    // The run options after the threads; then the report and the "--" that keeps any script
    // name a script.
    std::string options;
    for (const std::string &word : runArguments) {
        options += ' ';
        options += ShellQuote(word);
    }
    std::string jobs;
    for (const std::string &name : names) {
        jobs += setProgram + "; \"$vorna_cli\"";
        jobs += smallFields ? " --quiet --threads 1" : " --quiet";
        jobs += options;
        if (reports) jobs += " --json-file " + ShellQuote(leaf + "/" + name + ".json");
        for (const std::string &type : movieTypes) {
            jobs += " --movie " + ShellQuote(leaf + "/" + name + "." + type);
        }
        jobs += " -- ";
        jobs += ShellQuote(leaf + "/" + name + ".vna");
        jobs += '\n';
    }
    // Slurm reads its #SBATCH lines itself, without a shell's quoting: the folder goes into
    // the output path only when it needs none; else the tasks' logs go beside the submission.
    const std::string output =
        IsSlurmSafe(leaf)
            ? "#SBATCH --output=" + leaf + "/slurm-%A_%a.out\n"
            : std::string(
                  "# (the folder's name cannot stand in an #SBATCH line: the tasks' logs go\n"
                  "# to the folder sbatch is run from)\n");
    // The movies' type words are plain letters: they follow the quoted folder as they stand.
    std::string movies;
    for (const std::string &type : movieTypes) {
        movies += " --movie " + ShellQuote(leaf + "/") + "\"${variant%.vna}." + type + "\"";
    }
    std::string sbatch =
        "#!/bin/bash\n"
        "# A Slurm job array: one variant of the sweep per task. Submit it from the folder that\n"
        "# holds the sweep folder:  sbatch " +
        ShellQuote(leaf + "/sweep.sbatch") +
        "\n"
        "#SBATCH --job-name=vorna-sweep\n"
        "#SBATCH --array=0-" +
        std::to_string(names.empty() ? 0 : names.size() - 1) +
        "\n"
        "#SBATCH --cpus-per-task=" +
        (smallFields ? "1" : "4") + "\n" + output +
        "set -eu\n"
        "variants=(\n";
    for (const std::string &name : names) sbatch += "  " + ShellQuote(name + ".vna") + "\n";
    sbatch +=
        ")\n"
        "cd \"${SLURM_SUBMIT_DIR:-.}\"\n" +
        setProgram +
        "\n"
        "variant=${variants[$SLURM_ARRAY_TASK_ID]}\n"
        "exec \"$vorna_cli\" --quiet --threads \"${SLURM_CPUS_PER_TASK:-1}\"" +
        options +
        (reports ? " --json-file " + ShellQuote(leaf + "/") + "\"${variant%.vna}.json\"" : "") +
        movies + " -- \\\n  " + ShellQuote(leaf + "/") + "\"$variant\"\n";
    if (WriteFile((dir / "jobs.txt").string(), jobs, error) != Done) return Failed;
    std::string script = (dir / "sweep.sbatch").string();
    if (WriteFile(script, sbatch, error) != Done) return Failed;
    (void)chmod(script.c_str(), 0755);
    return Done;
}
