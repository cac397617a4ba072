// Helpers of the sweep tests: a small base script and variedLines read from --vary texts.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sweep/VariedLine.h"

namespace sweeptest {

// A Brusselator small and short enough to run many times in a test; its lines count from 1.
constexpr const char *BaseScript =
    "model brusselator\n"
    "modpar alpha 3\n"
    "modpar beta 7\n"
    "reaction A 0.01\n"
    "reaction B 0.01\n"
    "diffusion A 0.2\n"
    "diffusion B 1\n"
    "init A 3 0.2\n"
    "init B 2.33 0.2\n"
    "size 24 20\n"
    "iterations 40\n"
    "randseed 11\n"
    "colormap hsl 220 40 0.8 0.6 40 255\n"
    "image256 A t+20 autoscale\n";

inline std::vector<VariedLine> VariedLines(const std::vector<std::string> &texts) {
    std::vector<VariedLine> variedLines;
    for (const std::string &text : texts) {
        VariedLine varied;
        std::string error;
        EXPECT_TRUE(varied.Parse(text, error)) << error;
        variedLines.push_back(varied);
    }
    return variedLines;
}

}  // namespace sweeptest
