// VariantReport: what a variant's run says of itself in NAME.json, the file vorna-cli's
// --json-file writes at the end of a run (one JSON object per round, one a line): its exit
// status, the images and movies it wrote, and whether its final field is uniform, with its
// range. Owns what it read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct VariantReport {
    // What Read answers: Unknown for a report that is missing, not a regular file, too large, or
    // holds no round object.
    enum class Result { Unknown = 0, Done = 1 };
    static constexpr Result Unknown = Result::Unknown;
    static constexpr Result Done = Result::Done;
    // The final field: not known, patterned, or uniform (autoscale shows rounding noise).
    enum class Field { Unknown, Patterned, Uniform };
    static constexpr long long MaxBytes = 4 << 20;

    // Reads the report at path; the last round's object is the one that counts. Done; Unknown
    // leaves every member at its default.
    [[nodiscard]] Result Read(const std::string &path);
    // The report of variant name in folder: folder/NAME.json.
    static std::string PathOf(const std::string &folder, const std::string &name);

    int Status = -1;                  // the round's exit code; -1 when not given
    std::vector<std::string> Images;  // written, as the run named them
    std::vector<std::string> Movies;  // written, as the run named them
    Field Final = Field::Unknown;
    // The range of the round's last image that has one.
    bool HasRange = false;
    double Min = 0.0;
    double Max = 0.0;
    int64_t Iteration = 0;
};
