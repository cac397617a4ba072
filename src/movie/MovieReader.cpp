#include "movie/MovieReader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
#include <webp/demux.h>
}

namespace {

// The errno an FFmpeg error code stands for; EIO for its own codes.
int CauseOf(int code) {
    if (code < 0 && code > -4096) return -code;
    return EIO;
}

// Reads the regular file at path into bytes: true; false with the cause.
bool ReadWhole(const std::string &path, std::vector<uint8_t> &bytes, int &error) {
    // WebP holds at most 4 GiB; the movies a run writes stay far below.
    constexpr long long MaxBytes = 1LL << 31;
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = errno;
        return false;
    }
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > MaxBytes) {
        error = EINVAL;
        std::fclose(file);
        return false;
    }
    bytes.resize(size_t(status.st_size));
    const bool read = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    error = read ? 0 : (std::ferror(file) ? EIO : EINVAL);
    std::fclose(file);
    return read;
}

}  // namespace

struct MovieReader::Ffmpeg {
    AVFormatContext *Demuxer = nullptr;
    AVCodecContext *Codec = nullptr;
    AVFrame *Frame = nullptr;
    AVPacket *Packet = nullptr;
    SwsContext *Scaler = nullptr;
    uint8_t *Lines[4] = {};  // the scaler's picture
    int Strides[4] = {};
    int Stream = -1;
    bool Draining = false;

    ~Ffmpeg() {
        av_freep(&Lines[0]);
        sws_freeContext(Scaler);
        av_packet_free(&Packet);
        av_frame_free(&Frame);
        avcodec_free_context(&Codec);
        avformat_close_input(&Demuxer);
    }
};

struct MovieReader::Webp {
    std::vector<uint8_t> Bytes;  // the whole file: the decoder reads from memory
    WebPAnimDecoder *Decoder = nullptr;
    int Width = 0;
    int Height = 0;

    ~Webp() { WebPAnimDecoderDelete(Decoder); }
};

MovieReader::MovieReader() = default;
MovieReader::~MovieReader() = default;

void MovieReader::Close() {
    Av.reset();
    Anim.reset();
    Width = Height = 0;
    Rgb.clear();
    Fps = 0.0;
}

MovieReader::Result MovieReader::Open(const std::string &path, int &error) {
    Close();
    error = 0;
    const MovieEncoder::Format format = MovieEncoder::FormatOf(path);
    if (format == MovieEncoder::Format::None) {
        error = EINVAL;
        return Failed;
    }
    if (format == MovieEncoder::Format::Webp) {
        auto anim = std::make_unique<Webp>();
        if (!ReadWhole(path, anim->Bytes, error)) return Failed;
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options)) {
            error = EIO;
            return Failed;
        }
        options.color_mode = MODE_RGBA;
        WebPData data = {anim->Bytes.data(), anim->Bytes.size()};
        anim->Decoder = WebPAnimDecoderNew(&data, &options);
        WebPAnimInfo info;
        if (anim->Decoder == nullptr || !WebPAnimDecoderGetInfo(anim->Decoder, &info)) {
            error = EINVAL;
            return Failed;
        }
        anim->Width = int(info.canvas_width);
        anim->Height = int(info.canvas_height);
        Width = info.canvas_width;
        Height = info.canvas_height;
        // The rate of the whole: the frames over the sum of their durations (milliseconds).
        const WebPDemuxer *demuxer = WebPAnimDecoderGetDemuxer(anim->Decoder);
        WebPIterator frame;
        long long milliseconds = 0;
        if (demuxer != nullptr && WebPDemuxGetFrame(demuxer, 1, &frame)) {
            do {
                milliseconds += frame.duration;
            } while (WebPDemuxNextFrame(&frame));
            WebPDemuxReleaseIterator(&frame);
        }
        if (milliseconds > 0) Fps = double(info.frame_count) * 1000.0 / double(milliseconds);
        Anim = std::move(anim);
        return Done;
    }
    auto av = std::make_unique<Ffmpeg>();
    int code = avformat_open_input(&av->Demuxer, path.c_str(), nullptr, nullptr);
    if (code < 0) {
        error = CauseOf(code);
        return Failed;
    }
    const AVCodec *decoder = nullptr;
    if (avformat_find_stream_info(av->Demuxer, nullptr) < 0 ||
        (av->Stream = av_find_best_stream(av->Demuxer, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0)) <
            0 ||
        decoder == nullptr) {
        error = EINVAL;
        return Failed;
    }
    const AVStream *stream = av->Demuxer->streams[av->Stream];
    av->Codec = avcodec_alloc_context3(decoder);
    av->Frame = av_frame_alloc();
    av->Packet = av_packet_alloc();
    if (av->Codec == nullptr || av->Frame == nullptr || av->Packet == nullptr) {
        error = ENOMEM;
        return Failed;
    }
    if ((code = avcodec_parameters_to_context(av->Codec, stream->codecpar)) < 0 ||
        (code = avcodec_open2(av->Codec, decoder, nullptr)) < 0) {
        error = CauseOf(code);
        return Failed;
    }
    Width = uint32_t(av->Codec->width);
    Height = uint32_t(av->Codec->height);
    if (stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0) {
        Fps = av_q2d(stream->avg_frame_rate);
    }
    Av = std::move(av);
    return Done;
}

MovieReader::Result MovieReader::Next(int &error) {
    error = 0;
    if (Anim != nullptr) {
        if (!WebPAnimDecoderHasMoreFrames(Anim->Decoder)) return End;
        uint8_t *rgba = nullptr;
        int stamp = 0;
        if (!WebPAnimDecoderGetNext(Anim->Decoder, &rgba, &stamp)) {
            error = EINVAL;
            return Failed;
        }
        const size_t pixels = size_t(Width) * Height;
        Rgb.resize(pixels * 3);
        for (size_t i = 0; i < pixels; ++i) std::memcpy(&Rgb[i * 3], rgba + i * 4, 3);
        return Done;
    }
    if (Av == nullptr) {
        error = EINVAL;
        return Failed;
    }
    Ffmpeg &av = *Av;
    for (;;) {
        int code = avcodec_receive_frame(av.Codec, av.Frame);
        if (code == 0) break;
        if (code == AVERROR_EOF) return End;
        if (code != AVERROR(EAGAIN)) {
            error = CauseOf(code);
            return Failed;
        }
        if (av.Draining) return End;
        // The decoder wants more: the next packet of the video stream, or the end.
        code = av_read_frame(av.Demuxer, av.Packet);
        if (code == AVERROR_EOF) {
            av.Draining = true;
            (void)avcodec_send_packet(av.Codec, nullptr);
            continue;
        }
        if (code < 0) {
            error = CauseOf(code);
            return Failed;
        }
        if (av.Packet->stream_index == av.Stream) code = avcodec_send_packet(av.Codec, av.Packet);
        av_packet_unref(av.Packet);
        if (code < 0 && code != AVERROR(EAGAIN)) {
            error = CauseOf(code);
            return Failed;
        }
    }
    // Every frame has the stream's size; one that differs is a damaged file.
    if (uint32_t(av.Frame->width) != Width || uint32_t(av.Frame->height) != Height) {
        av_frame_unref(av.Frame);
        error = EINVAL;
        return Failed;
    }
    av.Scaler = sws_getCachedContext(av.Scaler, int(Width), int(Height),
                                     AVPixelFormat(av.Frame->format), int(Width), int(Height),
                                     AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (av.Scaler == nullptr) {
        av_frame_unref(av.Frame);
        error = EINVAL;
        return Failed;
    }
    // The scaler may write a little past a line of odd length: it fills lines of its own
    // alignment, copied out line by line.
    if (av.Lines[0] == nullptr &&
        av_image_alloc(av.Lines, av.Strides, int(Width), int(Height), AV_PIX_FMT_RGB24, 64) < 0) {
        av_frame_unref(av.Frame);
        error = ENOMEM;
        return Failed;
    }
    sws_scale(av.Scaler, av.Frame->data, av.Frame->linesize, 0, int(Height), av.Lines, av.Strides);
    av_frame_unref(av.Frame);
    Rgb.resize(size_t(Width) * Height * 3);
    for (uint32_t y = 0; y < Height; ++y) {
        std::memcpy(&Rgb[size_t(y) * Width * 3], av.Lines[0] + size_t(y) * size_t(av.Strides[0]),
                    size_t(Width) * 3);
    }
    return Done;
}
