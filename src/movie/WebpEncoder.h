// WebpEncoder: animated WebP through libwebp's animation encoder, lossless unless a quality is
// asked. The encoder keeps the movie in memory; End writes it under a temporary name and renames
// it into place. Owns the encoder and the frame's conversion buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "movie/MovieEncoder.h"

struct WebPAnimEncoder;

class WebpEncoder : public MovieEncoder {
public:
    // The largest side the format holds.
    static constexpr uint32_t MaxSide = 16383;

    WebpEncoder() = default;
    ~WebpEncoder() override;
    WebpEncoder(const WebpEncoder &) = delete;
    WebpEncoder &operator=(const WebpEncoder &) = delete;

    [[nodiscard]] Result Begin(const char *path, uint32_t width, uint32_t height,
                               const MovieSettings &settings, int &error) override;
    [[nodiscard]] Result Add(const MovieFrame &frame, int &error) override;
    [[nodiscard]] Result End(int &error) override;
    void Discard() override;

private:
    WebPAnimEncoder *Encoder = nullptr;
    std::string Path;
    MovieSettings Settings;
    uint32_t Width = 0;
    uint32_t Height = 0;
    int64_t Index = 0;
    std::vector<uint8_t> Rgba;
};
