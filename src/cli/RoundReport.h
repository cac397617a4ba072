// RoundReport: what one round of a command-line run did, as --json prints it: one JSON object
// on a line of its own. Owns copies of the names and paths it lists.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct RoundReport {
    // The field an image showed.
    struct Range {
        std::string Image;
        int32_t Iteration = 0;
        double Min = 0.0;
        double Max = 0.0;
        bool Uniform = false;
    };
    // A line of the script the parser annotated or warned about.
    struct ScriptNote {
        int32_t Line = 0;
        std::string Message;
    };

    std::string Script;
    std::string Model;  // empty until the script was accepted
    int Round = 1;
    int SizeX = 0;
    int SizeY = 0;
    uint32_t Seed = 0;  // 0 until the round took its seed
    int32_t Iterations = 0;
    int32_t EndTime = 0;
    std::vector<std::string> Images;  // written, in the order they were written
    std::vector<std::string> Failed;  // could not be written
    std::vector<Range> Ranges;        // of every image due, written or not
    // The movies written (--movie) and their frames; those that failed are among Failed.
    std::vector<std::pair<std::string, int64_t>> Movies;
    // The model's parameters and the components' diffusion coefficients as the round started.
    std::vector<std::pair<std::string, double>> Parameters;
    std::vector<std::pair<std::string, double>> Diffusion;
    std::vector<ScriptNote> Errors;  // of a script that could not run
    std::vector<ScriptNote> Warnings;
    double Seconds = 0.0;
    double Mps = 0.0;  // M points (2^20) a second
    int Status = 0;    // the round's exit code

    // The object in one line, ending with a line feed. Paths that are no valid UTF-8 keep
    // their bytes as U+FFFD.
    std::string Json() const;
};
