#include "cli/RoundReport.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

namespace {

// JSON has no infinity or NaN: such a number is null.
nlohmann::ordered_json Number(double value) {
    return std::isfinite(value) ? nlohmann::ordered_json(value) : nlohmann::ordered_json();
}

nlohmann::ordered_json Notes(const std::vector<RoundReport::ScriptNote> &notes) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const RoundReport::ScriptNote &note : notes) {
        list.push_back({{"line", note.Line}, {"message", note.Message}});
    }
    return list;
}

// A value the script gave in single precision as the shortest decimal that reads back to it
// (0.2, not 0.20000000298023224).
double AsWritten(double value) {
    const float single = float(value);
    if (!std::isfinite(value) || double(single) != value) return value;
    char text[32];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text - 1, single);
    *end.ptr = 0;
    return std::strtod(text, nullptr);
}

nlohmann::ordered_json Values(const std::vector<std::pair<std::string, double>> &values) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto &[name, value] : values) object[name] = Number(AsWritten(value));
    return object;
}

}  // namespace

std::string RoundReport::Json() const {
    nlohmann::ordered_json object;
    object["script"] = Script;
    object["round"] = Round;
    object["model"] = Model;
    object["parameters"] = Values(Parameters);
    object["diffusion"] = Values(Diffusion);
    object["size"] = {SizeX, SizeY};
    object["seed"] = Seed;
    object["iterations"] = Iterations;
    object["iterations_planned"] = EndTime;
    object["images"] = Images;
    object["failed"] = Failed;
    nlohmann::ordered_json movies = nlohmann::ordered_json::array();
    for (const auto &[file, frames] : Movies)
        movies.push_back({{"file", file}, {"frames", frames}});
    object["movies"] = movies;
    // The last image's field: what the final picture shows.
    if (Ranges.empty()) {
        object["range"] = nullptr;
        object["uniform"] = false;
    } else {
        object["range"] = {Number(Ranges.back().Min), Number(Ranges.back().Max)};
        object["uniform"] = Ranges.back().Uniform;
    }
    nlohmann::ordered_json ranges = nlohmann::ordered_json::array();
    for (const Range &range : Ranges) {
        ranges.push_back({{"image", range.Image},
                          {"iteration", range.Iteration},
                          {"min", Number(range.Min)},
                          {"max", Number(range.Max)},
                          {"uniform", range.Uniform}});
    }
    object["ranges"] = ranges;
    // Rounded as the summary shows them; JSON has no infinity or NaN.
    object["seconds"] = std::isfinite(Seconds) ? std::round(Seconds * 1000.0) / 1000.0 : 0.0;
    object["mps"] = std::isfinite(Mps) ? std::round(Mps * 100.0) / 100.0 : 0.0;
    object["status"] = Status;
    object["errors"] = Notes(Errors);
    object["warnings"] = Notes(Warnings);
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}
