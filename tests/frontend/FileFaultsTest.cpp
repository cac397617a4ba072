// The desktop program and files it cannot write or must not touch: failed images in one box per
// run, refused opens that leave no name to save over, scripts that are no regular files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "FrontEndTestSupport.h"
#include "imageio/ImageOutput.h"
#include "imageio/WriterThread.h"
#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MessageIds.h"

using frontendtest::FrontEndTest;
using frontendtest::GoodScript;
using frontendtest::ReadWhole;

namespace {

namespace fs = std::filesystem;

class FileFaultsTest : public FrontEndTest {};

TEST_F(FileFaultsTest, FailedImagesOfARunShowOneBoxWithTheLastNameAndCause) {
    Script("spots.vna", GoodScript());
    // Directories where the images of iterations 10 and 20 would go.
    fs::create_directories(Dir / "spots_A000010.bmp");
    fs::create_directories(Dir / "spots_A000020.bmp");
    Start((Dir / "spots.vna").c_str());
    ASSERT_TRUE(H->Choose(MenuCommand::Run));
    ASSERT_EQ(H->Boxes.size(), 1u);
    char head[200];
    std::snprintf(head, sizeof head, GST.Get(MsgImagesNotWritten), 2);
    EXPECT_EQ(H->Boxes[0].Text, std::string(head) + "\n" + (Dir / "spots_A000020.bmp").string() +
                                    "\n" + FaultText(FileFault::NotRegular));
    EXPECT_EQ(H->Boxes[0].Caption, GST.Get(MsgCaptionError));
    EXPECT_TRUE(fs::is_directory(Dir / "spots_A000010.bmp"));
    EXPECT_TRUE(fs::is_regular_file(Dir / "spots_A000030.bmp"));
    EXPECT_EQ(MainRDSim.ImagesWritten, 1);
    EXPECT_EQ(MainRDSim.ImagesFailed, 2);
}

// The desktop program writes its images on a writer thread: the failures that come back from it
// belong to the round and are reported with it, as those of the core's own savers are.
TEST_F(FileFaultsTest, ImagesFailedInTheBackgroundAreReportedWithTheirRound) {
    WriterThread thread;
    ImageOutput writer(ImageOptions{}, nullptr);
    writer.WriteInBackground(thread, [](const std::string &path, int error) {
        MainRDSim.NoteImageFailure(path.c_str(), error);
    });
    MainRDSim.SetImageWriter(&writer);
    Script("spots.vna", GoodScript());
    fs::create_directories(Dir / "spots_A000010.bmp");
    fs::create_directories(Dir / "spots_A000020.bmp");
    Start((Dir / "spots.vna").c_str());
    const bool ran = H->Choose(MenuCommand::Run);
    MainRDSim.SetImageWriter(nullptr);
    ASSERT_TRUE(ran);
    ASSERT_EQ(H->Boxes.size(), 1u);
    char head[200];
    std::snprintf(head, sizeof head, GST.Get(MsgImagesNotWritten), 2);
    EXPECT_EQ(H->Boxes[0].Text.rfind(
                  std::string(head) + "\n" + (Dir / "spots_A000020.bmp").string() + "\n", 0),
              0u)
        << H->Boxes[0].Text;
    EXPECT_TRUE(fs::is_regular_file(Dir / "spots_A000030.bmp"));
    EXPECT_EQ(MainRDSim.ImagesFailed, 2);
}

// Files the editor refuses, opened from the command line or with File > Open: a box says why,
// and the next Run asks for a name instead of saving the editor over the file.
TEST_F(FileFaultsTest, RefusedOpenLeavesNoNameToSaveOver) {
    struct Case {
        const char *label;
        std::string content;
        long long size;  // for a sparse file over the limit; 0: content
        FileFault fault;
        bool fifo;  // a FIFO instead of a file: it must not hang the window
    };
    FileFault zero;
    zero.Error = FileFault::NotText;
    zero.Offset = 13;
    FileFault binary;
    binary.Error = FileFault::NotText;
    binary.Offset = 2;
    FileFault big;
    big.Error = FileFault::TooLong;
    big.Size = 16LL * 1024 * 1024 + 1;
    big.Limit = 16LL * 1024 * 1024;
    FileFault fifo;
    fifo.Error = FileFault::NotRegular;
    const Case cases[] = {
        {"zero byte", std::string("model schlogl\0x\n", 17), 0, zero, false},
        {"binary", std::string("\x89P\0\x01\xff\xfe", 6), 0, binary, false},
        {"over 16 MiB", "", big.Size, big, false},
        {"FIFO", "", 0, fifo, true},
    };
    for (bool fromMenu : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.label) + (fromMenu ? ", File > Open" : ", command line"));
            const fs::path path = Dir / "refused.vna";
            fs::remove(path);
            if (c.fifo) {
                ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
            } else {
                Script("refused.vna", c.content);
            }
            if (c.size != 0) fs::resize_file(path, std::uintmax_t(c.size));
            const auto before = fs::last_write_time(path);
            H = std::make_unique<HeadlessPlatform>();
            H->ProgramDir = Dir.string();
            if (fromMenu) {
                Start();
                H->EditorText = "text typed before the open";
                H->DialogAnswers.push_back(path.string());
                ASSERT_TRUE(H->Choose(MenuCommand::Open));
            } else {
                Start(path.c_str());
            }
            ASSERT_EQ(H->Boxes.size(), 1u);
            EXPECT_EQ(H->Boxes[0].Text, std::string(GST.Get(MsgFileNotLoaded)) + "\n" +
                                            path.string() + "\n" + FaultText(c.fault));
            // Run asks for a name (the dialog is cancelled): nothing is written.
            const size_t dialogs = H->DialogCalls.size();
            ASSERT_TRUE(H->Choose(MenuCommand::Run));
            ASSERT_EQ(H->DialogCalls.size(), dialogs + 1);
            EXPECT_EQ(H->DialogCalls.back().rfind("save ", 0), 0u);
            EXPECT_EQ(fs::last_write_time(path), before);
            if (c.fifo) {
                EXPECT_TRUE(fs::is_fifo(path));
            } else if (c.size != 0) {
                EXPECT_EQ(fs::file_size(path), std::uintmax_t(c.size));
            } else {
                EXPECT_EQ(ReadWhole(path), c.content);
            }
            // And so does Save.
            ASSERT_TRUE(H->Choose(MenuCommand::Save));
            EXPECT_EQ(H->DialogCalls.size(), dialogs + 2);
            EXPECT_EQ(fs::last_write_time(path), before);
            ResetFrontEndGlobals();
        }
    }
}

}  // namespace
