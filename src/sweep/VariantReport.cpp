#include "sweep/VariantReport.h"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "toolkit/FileCheck.h"

std::string VariantReport::PathOf(const std::string &folder, const std::string &name) {
    return (std::filesystem::path(folder) / (name + ".json")).string();
}

VariantReport::Result VariantReport::Read(const std::string &path) {
    *this = VariantReport();
    std::string text;
    FileFault fault;
    if (ReadTextFile(path.c_str(), MaxBytes, text, fault) != FileCheckDone) return Unknown;
    // The last line that holds an object: the last round (a sweep's variants run one).
    nlohmann::json round;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        nlohmann::json line = nlohmann::json::parse(text.begin() + long(start),
                                                    text.begin() + long(end), nullptr, false);
        if (line.is_object()) round = std::move(line);
        start = end + 1;
    }
    if (!round.is_object()) return Unknown;
    // Every member is looked at for its type first: a report is data from another program.
    if (round.contains("status") && round["status"].is_number_integer()) {
        Status = round["status"].get<int>();
    }
    if (round.contains("images") && round["images"].is_array()) {
        for (const auto &image : round["images"]) {
            if (image.is_string()) Images.push_back(image.get<std::string>());
        }
    }
    if (round.contains("movies") && round["movies"].is_array()) {
        for (const auto &movie : round["movies"]) {
            if (movie.is_object() && movie.contains("file") && movie["file"].is_string()) {
                Movies.push_back(movie["file"].get<std::string>());
            }
        }
    }
    if (round.contains("uniform") && round["uniform"].is_boolean()) {
        Final = round["uniform"].get<bool>() ? Field::Uniform : Field::Patterned;
    }
    if (round.contains("ranges") && round["ranges"].is_array()) {
        for (const auto &range : round["ranges"]) {
            if (!range.is_object() || !range.contains("min") || !range.contains("max") ||
                !range["min"].is_number() || !range["max"].is_number()) {
                continue;
            }
            HasRange = true;
            Min = range["min"].get<double>();
            Max = range["max"].get<double>();
            Iteration = range.contains("iteration") && range["iteration"].is_number_integer()
                            ? range["iteration"].get<int64_t>()
                            : 0;
        }
    }
    return Done;
}
