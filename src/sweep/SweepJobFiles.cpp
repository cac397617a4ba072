#include "sweep/SweepJobFiles.h"

#include <sys/stat.h>

#include <filesystem>

#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"

namespace {

int WriteFile(const std::string &path, const std::string &text, std::string &error) {
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

int SweepJobFiles::Write(const std::string &folder, const std::vector<std::string> &names,
                         const std::string &program, bool smallFields,
                         const std::vector<std::string> &runArguments, std::string &error) {
    std::filesystem::path dir(folder);
    // "out/" names the folder "out" too.
    std::string leaf =
        dir.filename().empty() ? dir.parent_path().filename().string() : dir.filename().string();
    const std::string cli = "\"${VORNA_CLI:-" + program + "}\"";
    // The run options and the "--" that keeps any script name a script, after the threads.
    std::string options;
    for (const std::string &word : runArguments) {
        options += ' ';
        options += ShellQuote(word);
    }
    options += " -- ";
    std::string jobs;
    for (const std::string &name : names) {
        jobs += cli;
        jobs += smallFields ? " --quiet --threads 1" : " --quiet";
        jobs += options;
        jobs += ShellQuote(leaf + "/" + name + ".vna");
        jobs += '\n';
    }
    std::string sbatch =
        "#!/bin/bash\n"
        "# A Slurm job array: one variant of the sweep per task. Submit it from the folder that\n"
        "# holds " +
        leaf + "/:  sbatch " + leaf +
        "/sweep.sbatch\n"
        "#SBATCH --job-name=vorna-sweep\n"
        "#SBATCH --array=0-" +
        std::to_string(names.empty() ? 0 : names.size() - 1) +
        "\n"
        "#SBATCH --cpus-per-task=" +
        (smallFields ? "1" : "4") +
        "\n"
        "#SBATCH --output=" +
        leaf +
        "/slurm-%A_%a.out\n"
        "set -eu\n"
        "variants=(\n";
    for (const std::string &name : names) sbatch += "  " + ShellQuote(name + ".vna") + "\n";
    sbatch +=
        ")\n"
        "cd \"${SLURM_SUBMIT_DIR:-.}\"\n"
        "exec " +
        cli + " --quiet --threads \"${SLURM_CPUS_PER_TASK:-1}\"" + options + "\\\n  " +
        ShellQuote(leaf + "/") + "\"${variants[$SLURM_ARRAY_TASK_ID]}\"\n";
    if (WriteFile((dir / "jobs.txt").string(), jobs, error) != Done) return Failed;
    std::string script = (dir / "sweep.sbatch").string();
    if (WriteFile(script, sbatch, error) != Done) return Failed;
    (void)chmod(script.c_str(), 0755);
    return Done;
}
