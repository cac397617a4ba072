#include "cli/RoundReport.h"

#include <cmath>
#include <nlohmann/json.hpp>

std::string RoundReport::Json() const {
    nlohmann::ordered_json object;
    object["script"] = Script;
    object["round"] = Round;
    object["model"] = Model;
    object["size"] = {SizeX, SizeY};
    object["seed"] = Seed;
    object["iterations"] = Iterations;
    object["iterations_planned"] = EndTime;
    object["images"] = Images;
    object["failed"] = Failed;
    // Rounded as the summary shows them; JSON has no infinity or NaN.
    object["seconds"] = std::isfinite(Seconds) ? std::round(Seconds * 1000.0) / 1000.0 : 0.0;
    object["mps"] = std::isfinite(Mps) ? std::round(Mps * 100.0) / 100.0 : 0.0;
    object["status"] = Status;
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}
