#include "movie/Mp4Encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int IoBufferSize = 1 << 16;

}  // namespace

Mp4Encoder::~Mp4Encoder() { Discard(); }

int Mp4Encoder::CrfOf(int quality) {
    if (quality <= 0) return DefaultCrf;
    if (quality > 100) quality = 100;
    return int(std::lround(double(100 - quality) * 51.0 / 99.0));
}

int Mp4Encoder::WritePacket(void *opaque, uint8_t *bytes, int size) {
    auto *self = static_cast<Mp4Encoder *>(opaque);
    FILE *stream = self->File.GetStream();
    if (stream == nullptr) return AVERROR(EIO);
    if (size > 0 && std::fwrite(bytes, 1, size_t(size), stream) != size_t(size)) {
        if (self->IoError == 0) self->IoError = errno != 0 ? errno : EIO;
        return AVERROR(self->IoError);
    }
    return size;
}

int64_t Mp4Encoder::Seek(void *opaque, int64_t offset, int whence) {
    auto *self = static_cast<Mp4Encoder *>(opaque);
    FILE *stream = self->File.GetStream();
    if (stream == nullptr) return AVERROR(EIO);
    if ((whence & AVSEEK_SIZE) != 0) {
        // The muxer asks for the size only as a hint; it does without.
        return AVERROR(ENOSYS);
    }
    if (fseeko(stream, off_t(offset), whence & ~AVSEEK_FORCE) != 0) {
        if (self->IoError == 0) self->IoError = errno != 0 ? errno : EIO;
        return AVERROR(self->IoError);
    }
    return int64_t(ftello(stream));
}

int Mp4Encoder::CauseOf(int code) const {
    if (IoError != 0) return IoError;
    // FFmpeg's own codes are negative errnos or tags; a tag has no errno to tell.
    if (code < 0 && code > -4096) return -code;
    return EIO;
}

MovieEncoder::Result Mp4Encoder::Begin(const char *path, uint32_t width, uint32_t height,
                                       const MovieSettings &settings, int &error) {
    Discard();
    error = 0;
    if (width == 0 || height == 0 || width > MaxSide || height > MaxSide) {
        error = EFBIG;
        return Failed;
    }
    // x264 tells of its machine and settings at the information level.
    av_log_set_level(AV_LOG_ERROR);
    Width = width;
    Height = height;
    const int evenX = int(EvenSide(width));
    const int evenY = int(EvenSide(height));
    const AVCodec *codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (codec == nullptr) {
        error = ENOTSUP;
        return Failed;
    }
    if (File.Open(path) != AtomicFileWriter::Done) {
        error = File.LastErrno() != 0 ? File.LastErrno() : EIO;
        return Failed;
    }
    int code = avformat_alloc_output_context2(&Muxer, nullptr, "mp4", nullptr);
    Codec = avcodec_alloc_context3(codec);
    Picture = av_frame_alloc();
    Packet = av_packet_alloc();
    auto *buffer = static_cast<uint8_t *>(av_malloc(IoBufferSize));
    if (buffer != nullptr) {
        Io = avio_alloc_context(buffer, IoBufferSize, 1, this, nullptr, &Mp4Encoder::WritePacket,
                                &Mp4Encoder::Seek);
        if (Io == nullptr) av_free(buffer);
    }
    if (code < 0 || Muxer == nullptr || Codec == nullptr || Picture == nullptr ||
        Packet == nullptr || Io == nullptr) {
        error = ENOMEM;
        Discard();
        return Failed;
    }
    Muxer->pb = Io;
    Muxer->flags |= AVFMT_FLAG_CUSTOM_IO;
    const AVRational rate = av_d2q(settings.Fps, 100000);
    Codec->width = evenX;
    Codec->height = evenY;
    Codec->pix_fmt = AV_PIX_FMT_YUV420P;
    Codec->time_base = av_inv_q(rate);
    Codec->framerate = rate;
    Codec->gop_size = 250;
    // One encoding thread: the movie's thread is the one the run gives it.
    Codec->thread_count = 1;
    if ((Muxer->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        Codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    AVDictionary *options = nullptr;
    av_dict_set(&options, "preset", "veryfast", 0);
    av_dict_set(&options, "crf", std::to_string(CrfOf(settings.Quality)).c_str(), 0);
    code = avcodec_open2(Codec, codec, &options);
    av_dict_free(&options);
    if (code >= 0) {
        Stream = avformat_new_stream(Muxer, nullptr);
        code = Stream == nullptr ? AVERROR(ENOMEM)
                                 : avcodec_parameters_from_context(Stream->codecpar, Codec);
    }
    if (code >= 0) {
        Stream->time_base = Codec->time_base;
        Stream->avg_frame_rate = rate;
        Stream->r_frame_rate = rate;
        code = avformat_write_header(Muxer, nullptr);
    }
    if (code >= 0) {
        Picture->format = AV_PIX_FMT_YUV420P;
        Picture->width = evenX;
        Picture->height = evenY;
        code = av_frame_get_buffer(Picture, 0);
    }
    if (code >= 0) {
        Scaler = sws_getContext(evenX, evenY, AV_PIX_FMT_RGB24, evenX, evenY, AV_PIX_FMT_YUV420P,
                                SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (Scaler == nullptr) code = AVERROR(ENOMEM);
    }
    if (code < 0) {
        error = CauseOf(code);
        Discard();
        return Failed;
    }
    Rgb.assign(size_t(evenX) * size_t(evenY) * 3, 0);
    Index = 0;
    return Done;
}

MovieEncoder::Result Mp4Encoder::Add(const MovieFrame &frame, int &error) {
    error = 0;
    if (Codec == nullptr || frame.Width != Width || frame.Height != Height) {
        error = EINVAL;
        return Failed;
    }
    ToRgb(frame, false, Plain);
    const uint32_t evenX = EvenSide(Width);
    const uint32_t evenY = EvenSide(Height);
    const size_t plainRow = size_t(Width) * 3;
    const size_t evenRow = size_t(evenX) * 3;
    for (uint32_t y = 0; y < evenY; ++y) {
        // Row Height (there when Height is odd) repeats row 0, column Width column 0: the
        // texture's wrap-around.
        const uint8_t *from = Plain.data() + size_t(y % Height) * plainRow;
        uint8_t *to = Rgb.data() + size_t(y) * evenRow;
        std::memcpy(to, from, plainRow);
        if (evenX != Width) std::memcpy(to + plainRow, from, 3);
    }
    int code = av_frame_make_writable(Picture);
    if (code < 0) {
        error = CauseOf(code);
        return Failed;
    }
    const uint8_t *planes[1] = {Rgb.data()};
    const int strides[1] = {int(evenRow)};
    sws_scale(Scaler, planes, strides, 0, int(evenY), Picture->data, Picture->linesize);
    Picture->pts = Index++;
    return Encode(Picture, error);
}

MovieEncoder::Result Mp4Encoder::Encode(AVFrame *frame, int &error) {
    int code = avcodec_send_frame(Codec, frame);
    while (code >= 0) {
        code = avcodec_receive_packet(Codec, Packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return Done;
        if (code < 0) break;
        av_packet_rescale_ts(Packet, Codec->time_base, Stream->time_base);
        Packet->stream_index = Stream->index;
        code = av_interleaved_write_frame(Muxer, Packet);
        av_packet_unref(Packet);
    }
    error = CauseOf(code);
    return Failed;
}

MovieEncoder::Result Mp4Encoder::End(int &error) {
    error = 0;
    if (Codec == nullptr) {
        error = EINVAL;
        return Failed;
    }
    Result result = Encode(nullptr, error);
    if (result == Done) {
        const int code = av_write_trailer(Muxer);
        avio_flush(Io);
        if (code < 0 || IoError != 0 || Io->error < 0) {
            error = CauseOf(code < 0 ? code : Io->error);
            result = Failed;
        }
    }
    if (result == Done && File.Commit() != AtomicFileWriter::Done) {
        error = File.LastErrno() != 0 ? File.LastErrno() : EIO;
        result = Failed;
    }
    Release();
    File.Discard();
    return result;
}

void Mp4Encoder::Discard() {
    Release();
    File.Discard();
}

void Mp4Encoder::Release() {
    if (Scaler != nullptr) sws_freeContext(Scaler);
    Scaler = nullptr;
    av_frame_free(&Picture);
    av_packet_free(&Packet);
    avcodec_free_context(&Codec);
    if (Muxer != nullptr) avformat_free_context(Muxer);
    Muxer = nullptr;
    Stream = nullptr;
    if (Io != nullptr) {
        av_freep(&Io->buffer);
        avio_context_free(&Io);
    }
    IoError = 0;
}
