#include "sweep/VariedLine.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace SweepText {

void SplitWords(const std::string &line, std::vector<std::string> &words,
                std::vector<size_t> *starts) {
    words.clear();
    if (starts != nullptr) starts->clear();
    size_t i = 0;
    const size_t end = line.size();
    while (i < end) {
        while (i < end && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
            ++i;
        if (i >= end) break;
        size_t start = i;
        while (i < end && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n')
            ++i;
        words.push_back(line.substr(start, i - start));
        if (starts != nullptr) starts->push_back(start);
    }
}

bool IsPlainNumber(const std::string &text) {
    size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            digits = true;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

std::string FormatValue(double value) {
    // Room for every finite double in plain decimals: nothing is ever cut.
    char text[400];
    std::snprintf(text, sizeof text, "%.8f", value);
    std::string result = text;
    size_t point = result.find('.');
    if (point != std::string::npos) {
        size_t last = result.find_last_not_of('0');
        result.erase(last == point ? point : last + 1);
    }
    if (result == "-0") result = "0";
    return result;
}

}  // namespace SweepText

namespace {

bool ReadNumber(const std::string &text, double &value) {
    if (!SweepText::IsPlainNumber(text)) return false;
    value = std::strtod(text.c_str(), nullptr);
    return std::isfinite(value);
}

// Whether a script line could hold value: its numbers are single-precision reals or 32-bit
// integers, so nothing beyond the largest float is any line's value.
bool Holdable(double value) { return std::fabs(value) <= double(FLT_MAX); }

}  // namespace

std::string VariedLine::LineText() const {
    std::string text;
    for (const std::string &word : Words) text += (text.empty() ? "" : " ") + word;
    return text;
}

bool VariedLine::Parse(const std::string &text, std::string &error) {
    std::vector<std::string> words;
    SweepText::SplitWords(text, words);
    Words.clear();
    Values.clear();
    Label.clear();
    if (words.size() < 2) {
        error = "'" + text + "' needs a keyword, the arguments that pick the line and values";
        return false;
    }
    const std::string values = words.back();
    words.pop_back();
    if (values.find(':') != std::string::npos) {
        // from:to:count, evenly spaced with both ends included.
        size_t first = values.find(':');
        size_t second = values.find(':', first + 1);
        double from = 0.0;
        double to = 0.0;
        std::string countText = second == std::string::npos ? "" : values.substr(second + 1);
        char *end = nullptr;
        long count = countText.empty() ? 0 : std::strtol(countText.c_str(), &end, 10);
        if (second == std::string::npos || !ReadNumber(values.substr(0, first), from) ||
            !ReadNumber(values.substr(first + 1, second - first - 1), to) || end == nullptr ||
            *end != 0 || countText[0] == '-' || countText[0] == '+') {
            error = "'" + values + "' is no range from:to:count";
            return false;
        }
        if (!Holdable(from) || !Holdable(to)) {
            error = "'" + values + "': no script line holds a number that large";
            return false;
        }
        if (count < 1 || count > MaxValues) {
            error = "'" + values + "': the count must be 1 to " + std::to_string(MaxValues);
            return false;
        }
        for (long i = 0; i < count; ++i) {
            // Computed from the ends, not by adding steps, so the last value is exactly 'to'.
            double value = count == 1 ? from : from + (to - from) * double(i) / double(count - 1);
            Values.push_back(SweepText::FormatValue(value));
        }
    } else {
        // A list, kept as written: the variants carry the user's own spelling.
        size_t start = 0;
        while (start <= values.size()) {
            size_t comma = values.find(',', start);
            if (comma == std::string::npos) comma = values.size();
            std::string value = values.substr(start, comma - start);
            double number = 0.0;
            if (!ReadNumber(value, number)) {
                error = "'" + value + "' in '" + values + "' is no plain number";
                return false;
            }
            if (!Holdable(number)) {
                error =
                    "'" + value + "' in '" + values + "': no script line holds a number that large";
                return false;
            }
            Values.push_back(value);
            start = comma + 1;
        }
        if (Values.size() > size_t(MaxValues)) {
            error = "'" + values + "': more than " + std::to_string(MaxValues) + " values";
            return false;
        }
    }
    if (words[0] == "modpar" && words.size() < 2) {
        // The values would replace the parameter's name.
        error = "'" + text + "' names no parameter: write 'modpar NAME VALUES'";
        return false;
    }
    Words = words;
    // Names stay file-name safe: letters, digits, '.', '-' only.
    for (size_t i = Words[0] == "modpar" && Words.size() > 1 ? 1 : 0; i < Words.size(); ++i) {
        for (char c : Words[i]) {
            bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '.' || c == '-';
            Label += plain ? c : '-';
        }
    }
    return true;
}
