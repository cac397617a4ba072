// SweepPicture: an 8-bit RGB picture as the contact sheet handles it: read from the BMP and TGA
// files the run loop writes (decoded by stb_image), scaled down with a box filter, pasted into a
// grid. Owns its pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SweepPicture {
    uint32_t Width = 0;
    uint32_t Height = 0;
    std::vector<uint8_t> Rgb;  // Height lines of Width x 3 bytes, top line first

    // Reads a BMP, or a TGA (a path ending in ".tga"), of the kinds the run loop writes (8-bit
    // with palette or 24-bit, uncompressed) and of the size its writer gives them: true; false
    // with the reason in why, "is cut short or damaged" for a file of another size.
    [[nodiscard]] bool ReadBmpOrTga(const std::string &path, std::string &why);
    // This picture scaled to fit in side x side, each pixel the mean of the box it covers;
    // never scaled up.
    SweepPicture Fitted(uint32_t side) const;
    // Copies from into this picture with its top left corner at (x, y), clipped.
    void Paste(const SweepPicture &from, uint32_t x, uint32_t y);
    void Fill(uint8_t r, uint8_t g, uint8_t b);
};
