// SweepManifest: sweep.json, the list of what a sweep folder holds: the base, the varied lines,
// and for each variant its script, values, seed and image paths (relative to the folder), with
// what its run report says once it has run. Also makes the line --json prints per variant.
// Owns the document it wrote or read.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "imageio/ImageOptions.h"
#include "sweep/SweepExpander.h"

class SweepManifest {
public:
    // What Write and Update answer: Missing (Update: the folder has no sweep.json, which an older
    // sweep did not write), Failed with Error, Done.
    enum class Result { Failed = 0, Done = 1, Missing = 2 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    static constexpr Result Missing = Result::Missing;
    static constexpr const char *FileName = "sweep.json";
    static constexpr long long MaxBytes = 1LL << 28;

    // Writes folder/sweep.json for the variants of expander, whose base is basePath, with the
    // images each script writes under outputs: Done; Failed with Error.
    [[nodiscard]] Result Write(const std::string &folder, const std::string &basePath,
                               const SweepExpander &expander, const ImageOptions &outputs);
    // Keeps the exit code of variant name as the runner saw it; Update takes it when the variant
    // left no report.
    void Record(const std::string &name, int status) { Statuses[name] = status; }
    // Reads folder/sweep.json and gives each variant the status, uniform flag and final range its
    // report (folder/NAME.json) holds, then writes it back: Done; Missing; Failed with Error.
    [[nodiscard]] Result Update(const std::string &folder);
    // The object --json prints for variant name of the document Write made, on one line: name,
    // script, values, seed, status, skipped (when resumed), images (those its report names, else
    // those of its script that are there), uniform and range when its report tells them.
    std::string VariantLine(const std::string &folder, const std::string &name, int status,
                            bool skipped) const;

    std::string Error;

private:
    // Gives variant (an object of "variants") what its report says; status when it has none.
    static void AddReport(const std::string &folder, nlohmann::ordered_json &variant,
                          const int *status);

    nlohmann::ordered_json Document;
    std::map<std::string, int> Statuses;
};
