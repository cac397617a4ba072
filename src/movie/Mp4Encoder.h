// Mp4Encoder: H.264 in an MP4 file through FFmpeg's libraries (libx264 inside libavcodec,
// yuv420p). Odd sides are made even with the picture's own first row or column: the texture
// tiles, so the added line continues it. Owns the codec, muxer and scaler state and the file.
#pragma once

#include <cstdint>
#include <vector>

#include "movie/MovieEncoder.h"
#include "toolkit/AtomicFileWriter.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVIOContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

class Mp4Encoder : public MovieEncoder {
public:
    // H.264 levels stop well below this; the sides are limited to keep the pictures sane.
    static constexpr uint32_t MaxSide = 8192;
    // The constant rate factor when no quality is asked (visually lossless for textures).
    static constexpr int DefaultCrf = 18;

    Mp4Encoder() = default;
    ~Mp4Encoder() override;
    Mp4Encoder(const Mp4Encoder &) = delete;
    Mp4Encoder &operator=(const Mp4Encoder &) = delete;

    [[nodiscard]] Result Begin(const char *path, uint32_t width, uint32_t height,
                               const MovieSettings &settings, int &error) override;
    [[nodiscard]] Result Add(const MovieFrame &frame, int &error) override;
    [[nodiscard]] Result End(int &error) override;
    void Discard() override;

    // The constant rate factor of a quality 1 .. 100 (0: DefaultCrf): 100 is 0, 1 is 51.
    static int CrfOf(int quality);
    // The even side a side is padded to.
    static uint32_t EvenSide(uint32_t side) { return side + (side & 1u); }

private:
    // Sends frame (null: the end) to the codec and writes the packets it gives back.
    Result Encode(AVFrame *frame, int &error);
    // The cause of an FFmpeg error code, the file's own when a write failed.
    int CauseOf(int code) const;
    void Release();
    static int WritePacket(void *opaque, uint8_t *bytes, int size);
    static int64_t Seek(void *opaque, int64_t offset, int whence);

    AtomicFileWriter File;
    int IoError = 0;  // errno of the first write or seek of the file that failed
    AVFormatContext *Muxer = nullptr;
    AVIOContext *Io = nullptr;
    AVCodecContext *Codec = nullptr;
    AVStream *Stream = nullptr;
    AVFrame *Picture = nullptr;
    AVPacket *Packet = nullptr;
    SwsContext *Scaler = nullptr;
    uint32_t Width = 0;
    uint32_t Height = 0;
    int64_t Index = 0;
    std::vector<uint8_t> Rgb;  // the frame padded to even sides
    std::vector<uint8_t> Plain;
};
