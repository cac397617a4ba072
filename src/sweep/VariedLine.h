// VariedLine: one varied script line of a sweep, read from text such as "modpar beta 6:10:5"
// (from, to and count, linear) or "diffusion B 0.5,0.75,1" (a list); owns the values as text.
#pragma once

#include <string>
#include <vector>

struct VariedLine {
    static constexpr int MaxValues = 1000;

    // Reads text: a keyword, the arguments that pick the line, then the values. true, or false
    // with the reason in error.
    [[nodiscard]] bool Parse(const std::string &text, std::string &error);

    // The words that pick the script line ("modpar beta"); the values replace the argument that
    // follows them, later arguments of the line stay as in the base script.
    std::vector<std::string> Words;
    // The values as they are written into the variants: plain decimals, no exponent.
    std::vector<std::string> Values;
    // What the values are called in variant names: "beta" for a modpar line, else the words
    // run together ("diffusionB").
    std::string Label;
    // The words joined by one space: how the line is named in messages and headings.
    std::string LineText() const;
};

namespace SweepText {
// Splits a line at spaces and tabs (a CR at its end dropped): the words and where each begins.
void SplitWords(const std::string &line, std::vector<std::string> &words,
                std::vector<size_t> *starts = nullptr);
// A decimal as the parser reads it: optional minus, digits, at most one point, no exponent.
bool IsPlainNumber(const std::string &text);
// value written as a plain decimal, at most 8 decimals, without trailing zeros ("7.5", "-0.3").
std::string FormatValue(double value);
}  // namespace SweepText
