// SweepRunner's resume rule: a variant is complete when all its images are there, each with the
// size the image writer gives it.
#include <gtest/gtest.h>

#include <filesystem>

#include "rdsimul/ScriptTestSupport.h"
#include "sweep/SweepRunner.h"
#include "sweep/SweepTestSupport.h"

namespace {

class SweepRunnerTest : public scripttest::TempDirTest {};

TEST_F(SweepRunnerTest, CompleteOnlyWithEveryImageWhole) {
    // Images every 15 iterations of 40, and the final one at 40: 15, 30, 40. TGA, true colour.
    std::string text = sweeptest::BaseScript;
    text.replace(text.find("image256 A t+20 autoscale"), 25, "image16M A t+15 *1 -0.5 TGA");
    const std::string script = PathOf("v.vna");
    scripttest::WriteFile(script, text);
    std::vector<SweepRunner::Image> images;
    uint32_t points = 0;
    ASSERT_TRUE(SweepRunner::ExpectedImages(script, images, points));
    EXPECT_EQ(points, 24u * 20u);
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].Path, PathOf("v_A000015.tga"));
    EXPECT_EQ(images[2].Path, PathOf("v_A000040.tga"));
    EXPECT_EQ(images[0].Bytes, 18u + 24u * 20u * 3u);

    EXPECT_FALSE(SweepRunner::IsComplete(script));
    for (const SweepRunner::Image &image : images) {
        scripttest::WriteFile(image.Path, std::string(image.Bytes, 'x'));
    }
    EXPECT_TRUE(SweepRunner::IsComplete(script));
    // A short last image, or one still under its temporary name, is not whole.
    std::filesystem::resize_file(images[2].Path, images[2].Bytes - 1);
    EXPECT_FALSE(SweepRunner::IsComplete(script));
    std::filesystem::rename(images[2].Path, images[2].Path + ".tmp");
    EXPECT_FALSE(SweepRunner::IsComplete(script));
}

}  // namespace
