// SheetFont: the thin layer through which the contact sheet writes text: a TrueType font read
// from a file and drawn with stb_truetype into a SweepPicture. Owns the font file's bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sweep/SweepPicture.h"

class SheetFont {
public:
    // What Load answers.
    enum class Result { Failed = 0, Done = 1 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    // Debian's DejaVu Sans (package fonts-dejavu-core).
    static constexpr const char *DefaultPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    static constexpr long long MaxFileBytes = 32 << 20;

    SheetFont();
    ~SheetFont();
    SheetFont(const SheetFont &) = delete;
    SheetFont &operator=(const SheetFont &) = delete;

    // Reads the font at path (a regular file of at most MaxFileBytes whose table directory lies
    // within it) for text pixelHeight pixels high: Done; Failed with the reason in Error.
    [[nodiscard]] Result Load(const std::string &path, float pixelHeight);
    bool Loaded() const { return Face != nullptr; }

    // The height of a line (ascent to descent) and the width of text (UTF-8; a byte that starts
    // no valid character counts as '?'), in pixels; 0 without a font.
    uint32_t LineHeight() const;
    uint32_t Width(const std::string &text) const;
    // Draws text with the top left of its line at (x, y), in colour (r, g, b) blended over the
    // picture by each pixel's coverage; nothing outside [x, right) x [0, picture height).
    void Draw(SweepPicture &picture, int x, int y, const std::string &text, uint8_t r, uint8_t g,
              uint8_t b, int right) const;

    std::string Error;

private:
    struct State;
    std::unique_ptr<State> Face;
};
