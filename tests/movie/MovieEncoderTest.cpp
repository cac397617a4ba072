// The movie encoders read back by independent programs (ffprobe and ffmpeg, ImageMagick's
// identify, libwebp's webpmux): frame count, size, rate and pixels; and the failures that
// must leave no file.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "movie/GifEncoder.h"
#include "movie/MovieEncoder.h"
#include "movie/MovieRecorder.h"
#include "movie/Mp4Encoder.h"
#include "rdsimul/ScriptTestSupport.h"

using scripttest::CommandOutput;
using scripttest::HaveProgram;

namespace {

namespace fs = std::filesystem;

// A lopsided indexed picture of width x height whose pixels move with k, and its palette.
struct TestPicture {
    std::vector<uint8_t> Pixels;
    uint8_t Palette[256][3] = {};
    MovieFrame Frame(uint32_t width, uint32_t height, int k) {
        Pixels.resize(size_t(width) * height);
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                Pixels[y * width + x] = uint8_t((x * 37 + y * 11 + uint32_t(k) * 5) % 7);
            }
        }
        for (int i = 0; i < 7; ++i) {
            Palette[i][0] = uint8_t(i * 40);
            Palette[i][1] = uint8_t(255 - i * 30);
            Palette[i][2] = uint8_t(i * i * 5);
        }
        MovieFrame frame;
        frame.Width = width;
        frame.Height = height;
        frame.Kind = MovieFrame::Layout::Indexed8;
        frame.Pixels = Pixels.data();
        frame.RowStride = width;
        frame.Palette = Palette;
        frame.PaletteSize = 256;
        return frame;
    }
};

// Writes frames of a width x height picture to path: the encoder's answers all Done.
void Encode(MovieEncoder &encoder, const std::string &path, uint32_t width, uint32_t height,
            int frames, const MovieSettings &settings) {
    int error = 0;
    ASSERT_EQ(encoder.Begin(path.c_str(), width, height, settings, error), MovieEncoder::Done)
        << error;
    TestPicture picture;
    for (int k = 0; k < frames; ++k) {
        ASSERT_EQ(encoder.Add(picture.Frame(width, height, k), error), MovieEncoder::Done) << error;
    }
    ASSERT_EQ(encoder.End(error), MovieEncoder::Done) << error;
}

class MovieEncoderTest : public scripttest::TempDirTest {
protected:
    // Files in Dir, the movies and their temporaries.
    int Files() const {
        int n = 0;
        for ([[maybe_unused]] const auto &entry : fs::directory_iterator(Dir)) ++n;
        return n;
    }
};

// Odd sides, a rate that is no whole number of hundredths or milliseconds: each reader finds
// the frames, the size (the MP4 padded to even sides) and the rate.
TEST_F(MovieEncoderTest, EachFormatReadsBackWithItsFramesSizeAndRate) {
    MovieSettings settings;
    settings.Fps = 30.0;
    const uint32_t width = 21, height = 13;
    const int frames = 9;
    {
        if (!HaveProgram("ffprobe")) GTEST_SKIP() << "ffprobe (Debian's ffmpeg) is not installed";
        Mp4Encoder encoder;
        const std::string path = PathOf("m.mp4");
        Encode(encoder, path, width, height, frames, settings);
        EXPECT_EQ(
            CommandOutput("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                          "stream=codec_name,pix_fmt,width,height,nb_read_frames,avg_frame_rate "
                          "-of csv=p=0 " +
                          path),
            "h264,22,14,yuv420p,30/1,9\n");
    }
    {
        if (!HaveProgram("identify")) GTEST_SKIP() << "ImageMagick is not installed";
        GifEncoder encoder;
        const std::string path = PathOf("m.gif");
        Encode(encoder, path, width, height, frames, settings);
        // Hundredths 3, 4, 3, 3, 4, 3, ...: 30 frames a second on average.
        EXPECT_EQ(CommandOutput("identify -format '%w %h %T,' " + path),
                  "21 13 3,21 13 4,21 13 3,21 13 3,21 13 4,21 13 3,21 13 3,21 13 4,21 13 3,");
    }
    {
        if (!HaveProgram("webpmux")) GTEST_SKIP() << "webpmux (Debian's webp) is not installed";
        auto encoder = MovieEncoder::Make(MovieEncoder::Format::Webp);
        ASSERT_NE(encoder, nullptr);
        const std::string path = PathOf("m.webp");
        Encode(*encoder, path, width, height, frames, settings);
        const std::string info = CommandOutput("webpmux -info " + path);
        EXPECT_NE(info.find("Canvas size: 21 x 13"), std::string::npos) << info;
        EXPECT_NE(info.find("Number of frames: 9"), std::string::npos) << info;
        // The frame table's rows: "  1:    21    13    no  0  0  33 ...", the duration (in
        // milliseconds) after the offsets. They add up to 9 frames at 30 a second.
        static const std::regex Row(R"((^|\n) *\d+: +(\d+) +(\d+) +\w+ +\d+ +\d+ +(\d+))");
        int total = 0, rows = 0;
        for (std::sregex_iterator at(info.begin(), info.end(), Row), end; at != end; ++at) {
            EXPECT_EQ((*at)[2], "21");
            EXPECT_EQ((*at)[3], "13");
            total += std::atoi((*at)[4].str().c_str());
            ++rows;
        }
        EXPECT_EQ(rows, 9) << info;
        EXPECT_EQ(total, 300) << info;
    }
}

// The MP4's added column and row continue the texture: they repeat the first ones, not the
// last ones (a white first column beside a black last one tells them apart).
TEST_F(MovieEncoderTest, Mp4PadsOddSidesWithTheWrapAround) {
    if (!HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    const uint32_t width = 7, height = 5;
    std::vector<uint8_t> bgr(size_t(width) * height * 3, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            // White first column and first row, black elsewhere.
            const uint8_t value = x == 0 || y == 0 ? 255 : 0;
            for (int c = 0; c < 3; ++c) bgr[(y * width + x) * 3 + c] = value;
        }
    }
    MovieFrame frame;
    frame.Width = width;
    frame.Height = height;
    frame.Pixels = bgr.data();
    frame.RowStride = width * 3;
    MovieSettings settings;
    settings.Quality = 100;
    Mp4Encoder encoder;
    const std::string path = PathOf("pad.mp4");
    int error = 0;
    ASSERT_EQ(encoder.Begin(path.c_str(), width, height, settings, error), MovieEncoder::Done);
    ASSERT_EQ(encoder.Add(frame, error), MovieEncoder::Done);
    ASSERT_EQ(encoder.End(error), MovieEncoder::Done) << error;
    const std::string gray =
        CommandOutput("ffmpeg -v error -i " + path + " -frames:v 1 -f rawvideo -pix_fmt gray -");
    ASSERT_EQ(gray.size(), size_t(8 * 6));
    auto at = [&](int x, int y) { return int(uint8_t(gray[size_t(y * 8 + x)])); };
    // Column 7 (added) like column 0 on the black rows; row 5 (added) like row 0.
    for (int y = 2; y < 4; ++y) EXPECT_GT(at(7, y), 160) << "row " << y;
    for (int x = 2; x < 6; ++x) EXPECT_GT(at(x, 5), 160) << "column " << x;
    EXPECT_LT(at(4, 3), 90);
}

// A folder that is not there, a frame of another size, sides beyond the format: told with the
// cause, and no file left behind.
TEST_F(MovieEncoderTest, FailuresLeaveNoFile) {
    for (MovieEncoder::Format format :
         {MovieEncoder::Format::Mp4, MovieEncoder::Format::Webp, MovieEncoder::Format::Gif}) {
        SCOPED_TRACE(MovieEncoder::FormatName(format));
        auto encoder = MovieEncoder::Make(format);
        ASSERT_NE(encoder, nullptr);
        const std::string name = std::string("m.") + MovieEncoder::FormatName(format);
        MovieSettings settings;
        int error = 0;
        EXPECT_EQ(encoder->Begin(PathOf("missing/" + name).c_str(), 8, 8, settings, error),
                  MovieEncoder::Failed);
        EXPECT_EQ(error, ENOENT);
        EXPECT_EQ(encoder->Begin(PathOf(name).c_str(), 70000, 8, settings, error),
                  MovieEncoder::Failed);
        EXPECT_EQ(error, EFBIG);
        ASSERT_EQ(encoder->Begin(PathOf(name).c_str(), 8, 6, settings, error), MovieEncoder::Done);
        TestPicture picture;
        EXPECT_EQ(encoder->Add(picture.Frame(6, 8, 0), error), MovieEncoder::Failed);
        EXPECT_EQ(error, EINVAL);
        encoder->Discard();
        EXPECT_EQ(Files(), 0);
    }
}

// The recorder: frames queued from another thread all arrive, in order; a movie dropped
// leaves no file, and one that could not be opened says why at Finish.
TEST_F(MovieEncoderTest, RecorderWritesEveryFrameOrLeavesNothing) {
    if (!HaveProgram("identify")) GTEST_SKIP() << "ImageMagick is not installed";
    MovieSettings settings;
    TestPicture picture;
    {
        MovieRecorder recorder(PathOf("r.gif"), settings);
        for (int k = 0; k < 20; ++k) {
            ASSERT_EQ(recorder.Add(picture.Frame(9, 4, k)), MovieEncoder::Done);
        }
        ASSERT_EQ(recorder.Finish(), MovieEncoder::Done) << recorder.Error();
        EXPECT_EQ(recorder.Frames(), 20);
    }
    EXPECT_EQ(CommandOutput("identify " + PathOf("r.gif") + " | wc -l"), "20\n");
    {
        MovieRecorder recorder(PathOf("dropped.gif"), settings);
        ASSERT_EQ(recorder.Add(picture.Frame(9, 4, 0)), MovieEncoder::Done);
    }
    {
        // Sides beyond H.264's are refused before the picture is copied (its pixels unread).
        MovieRecorder recorder(PathOf("huge.mp4"), settings);
        MovieFrame huge;
        huge.Width = Mp4Encoder::MaxSide + 1;
        huge.Height = 2;
        EXPECT_EQ(recorder.Add(huge), MovieEncoder::Failed);
        EXPECT_EQ(recorder.Error(), EFBIG);
        EXPECT_EQ(recorder.Finish(), MovieEncoder::Failed);
    }
    {
        MovieRecorder recorder(PathOf("missing/r.mp4"), settings);
        (void)recorder.Add(picture.Frame(9, 4, 0));
        EXPECT_EQ(recorder.Finish(), MovieEncoder::Failed);
        EXPECT_EQ(recorder.Error(), ENOENT);
    }
    EXPECT_EQ(Files(), 1);
}

}  // namespace
