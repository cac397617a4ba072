// SweepManifest: sweep.json, the list of what a sweep folder holds: the base, the varied lines,
// and for each variant its script, values, seed, image and movie paths (relative to the folder),
// with
// what its run report says once it has run. Also makes the line --json prints per variant.
// Owns the list it wrote or read.
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "imageio/ImageOptions.h"
#include "sweep/SweepExpander.h"
#include "sweep/VariantMovies.h"
#include "sweep/VariantReport.h"

class SweepManifest {
public:
    // What Write and Update answer: Missing (Update: the folder has no sweep.json, which an older
    // sweep did not write), Failed with Error, Done.
    enum class Result { Failed = 0, Done = 1, Missing = 2 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    static constexpr Result Missing = Result::Missing;
    static constexpr const char *FileName = "sweep.json";
    static constexpr long long MaxBytes = 1LL << 30;

    // Writes folder/sweep.json for the variants of expander, whose base is basePath, with the
    // images each script writes under outputs and the movies each writes: Done; Failed with Error.
    [[nodiscard]] Result Write(const std::string &folder, const std::string &basePath,
                               const SweepExpander &expander, const ImageOptions &outputs,
                               const VariantMovies &movies = VariantMovies());
    // Keeps the exit code of variant name as the runner saw it; Update takes it when the variant
    // left no report.
    void Record(const std::string &name, int status) { Statuses[name] = status; }
    // Gives each variant the status, uniform flag and final range its report (folder/NAME.json)
    // holds, and writes sweep.json again. The list is the one Write made, else folder/sweep.json
    // read back. Done; Missing; Failed with Error (a sweep.json that is no such list stays).
    [[nodiscard]] Result Update(const std::string &folder);
    // The object --json prints for variant name, on one line: name, script, values, seed,
    // status, skipped (when resumed), images and movies (those its report names, else those of
    // the list that are there), uniform and range when its report tells them.
    std::string VariantLine(const std::string &folder, const std::string &name, int status,
                            bool skipped) const;

    std::string Error;

private:
    struct Variant {
        std::string Name;
        nlohmann::ordered_json Values;  // {"modpar beta": 7.5, ...}
        nlohmann::ordered_json Seed;    // a number; null when a list read back has none
        // The file names of its images in the folder, as a JSON array: a variant that writes an
        // image every iteration lists hundreds of thousands, kept as the text they are written as.
        std::string Images = "[]";
        nlohmann::ordered_json Movies = nlohmann::ordered_json::array();  // their file names
        bool HasStatus = false;
        int Status = 0;
        VariantReport Report;  // what its report said; Read's defaults without one
    };

    // Reads folder/sweep.json into the list: Done; Missing; Failed with Error.
    Result Load(const std::string &folder);
    // The manifest into folder's sweep.json, replaced in one step: Done; Failed with Error.
    Result Save(const std::string &folder);
    // The list as sweep.json holds it: a variant a line, so that a large one is written fast.
    std::string Text() const;
    const Variant *Find(const std::string &name) const;

    std::string Base;
    std::vector<std::string> Varied;
    std::vector<Variant> Variants;
    bool Listed = false;  // the list is Write's or Load's
    std::map<std::string, int> Statuses;
};
