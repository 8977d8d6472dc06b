#include "engine/LoudnessScan.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

// Integrated loudness is the mean of 400 ms gating blocks every 100 ms: of the ten seconds' 97, the
// three that span the split are missing from two parts (of an hour's 36,000, the same three).
void expectClose(const mp3::LoudnessFigures& split, const mp3::LoudnessFigures& inOrder, double lufs) {
    EXPECT_NEAR(split.integratedLufs, inOrder.integratedLufs, lufs);
    EXPECT_NEAR(split.rangeLu, inOrder.rangeLu, 0.5);
    EXPECT_NEAR(split.samplePeakDbfs, inOrder.samplePeakDbfs, 0.01);
    EXPECT_NEAR(split.truePeakDbtp, inOrder.truePeakDbtp, 0.01);
}

// Two parts side by side measure what one decode in file order measures: the blocks exactly the
// same frames, the file within the gating blocks lost at the split.
TEST(LoudnessScan, TwoPartsAgreeWithFileOrder) {
    const auto path = testing_support::fixture("ten-seconds.mp3");
    for (const std::vector<int>& breakPoints : {std::vector<int>{}, std::vector<int>{250, 100, 100, 9999}}) {
        SCOPED_TRACE(breakPoints.size());
        const mp3::LoudnessReport inOrder = mp3::measureLoudness(
            path, {.breakPoints = breakPoints, .splitFrames = std::numeric_limits<int>::max()});
        const mp3::LoudnessReport split =
            mp3::measureLoudness(path, {.breakPoints = breakPoints, .splitFrames = 0});
        EXPECT_EQ(inOrder.parts, 1);
        EXPECT_EQ(split.parts, 2);
        EXPECT_EQ(inOrder.frames, 385);
        EXPECT_EQ(split.frames, 385);
        expectClose(split.file, inOrder.file, 0.15);
        ASSERT_EQ(split.blocks.size(), inOrder.blocks.size());
        for (std::size_t i = 0; i < split.blocks.size(); ++i) {
            EXPECT_EQ(split.blocks[i].firstFrame, inOrder.blocks[i].firstFrame);
            EXPECT_EQ(split.blocks[i].endFrame, inOrder.blocks[i].endFrame);
            expectClose(split.blocks[i].figures, inOrder.blocks[i].figures, 0.01);
        }
    }
    // Repeated and out-of-range break points give no empty blocks: 0-100, 100-250, 250-385.
    const mp3::LoudnessReport blocks = mp3::measureLoudness(path, {.breakPoints = {250, 100, 100, 9999}});
    ASSERT_EQ(blocks.blocks.size(), 3u);
    EXPECT_EQ(blocks.blocks[1].firstFrame, 100);
    EXPECT_EQ(blocks.blocks[1].endFrame, 250);
    EXPECT_EQ(blocks.blocks[2].endFrame, 385);
}

} // namespace
