// MovieReader: reads the frames of a movie the encoders wrote back as 8-bit RGB pictures, one
// after the other: MP4 and GIF through FFmpeg's demuxers and decoders, animated WebP through
// libwebp's animation decoder. Owns the library state and the picture of the frame last read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "movie/MovieEncoder.h"

class MovieReader {
public:
    // What the operations answer; a failure leaves an errno-like cause (ENOENT, EINVAL for a
    // file that is no movie of its type, EIO when the library gave no cause).
    enum class Result { Failed = 0, Done = 1, End = 2 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    static constexpr Result End = Result::End;

    MovieReader();
    ~MovieReader();
    MovieReader(const MovieReader &) = delete;
    MovieReader &operator=(const MovieReader &) = delete;

    // Opens the movie at path, its format by its extension: Done; Failed with the cause.
    [[nodiscard]] Result Open(const std::string &path, int &error);
    // Reads the next frame into Rgb (Height lines of Width x 3 bytes): Done; End after the last;
    // Failed with the cause (a damaged file).
    [[nodiscard]] Result Next(int &error);
    void Close();

    uint32_t Width = 0;
    uint32_t Height = 0;
    std::vector<uint8_t> Rgb;
    // The frame rate the file gives, 0 when it gives none.
    double Fps = 0.0;

private:
    struct Ffmpeg;
    struct Webp;
    std::unique_ptr<Ffmpeg> Av;
    std::unique_ptr<Webp> Anim;
};
