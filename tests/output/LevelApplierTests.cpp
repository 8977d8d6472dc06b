#include "output/LevelApplier.h"
#include "output/PieceLevels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One granule's change, written as the table reads: "s" silent, otherwise the steps.
std::string granuleText(const mp3::GranuleGain& granule) {
    return granule.silence ? "s" : std::to_string(granule.steps[0]);
}

// The changes of frames [from, to), granule by granule.
std::string changesOf(const LevelApplier& levels, int from, int to, int granules) {
    std::string text;
    for (int frame = from; frame < to; ++frame) {
        const mp3::FrameGain gain = levels.gainOf(frame);
        for (int granule = 0; granule < granules; ++granule) {
            text += (text.empty() ? "" : " ") + granuleText(gain.granules[static_cast<std::size_t>(granule)]);
        }
    }
    return text;
}

// 576 samples a granule at 576 Hz: one granule a second, so fade lengths read as granules.
constexpr int kOneGranuleASecond = 576;

TEST(LevelApplier, GainsAndFadesGranuleByGranule) {
    struct Case {
        const char* name;
        int granulesPerFrame;
        int gain;
        double fadeIn;
        double fadeOut;
        const char* expected; // frames 0..5 of a block [1, 5) after the Info frame 0
    };
    // A fade of n granules falls evenly to the floor (-60 dB: -40 steps) and ends silent.
    const Case cases[] = {
        {"gain only", 2, -3, 0, 0, "0 0 -3 -3 -3 -3 -3 -3 -3 -3 0 0"},
        {"fade in, MPEG-1", 2, 0, 3, 0, "0 0 s -40 -20 0 0 0 0 0 0 0"},
        {"fade out, MPEG-1", 2, 0, 0, 3, "0 0 0 0 0 0 0 -20 -40 s 0 0"},
        {"fades and gain add up", 2, 2, 2, 2, "0 0 s -38 2 2 2 2 -38 s 0 0"},
        {"MPEG-2: one granule a frame", 1, 0, 2, 0, "0 s -40 0 0 0"},
        {"a fade longer than the block", 1, 0, 9, 0, "0 s -40 -27 -13 0"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        LevelApplier levels(1, test.granulesPerFrame, kOneGranuleASecond);
        levels.addGain(1, 5, test.gain);
        levels.addFades(1, 5, test.fadeIn, test.fadeOut);
        EXPECT_EQ(changesOf(levels, 0, 6, test.granulesPerFrame), test.expected);
        EXPECT_FALSE(levels.changes(5, 6));
        EXPECT_TRUE(levels.changes(1, 5));
    }
}

TEST(LevelApplier, PieceLevelsFadeAtCutsAndLeadFramesTakeThePiecesFirstLevel) {
    PieceLevelSource source;
    source.blockStarts = {0, 4, 8};
    source.frameCount = 12;
    source.edits[4].gainSteps = 2;
    source.fadeCutsMs = 2000;
    // The piece of block 1 with a frame of overlap on each side: fades over its own ends, the
    // block's gain on its frames only, and frames outside it like its ends.
    const LevelApplier levels = pieceLevels(LevelApplier(1, 1, kOneGranuleASecond), source, 3, 9);
    EXPECT_EQ(changesOf(levels, 1, 11, 1), "s s s -38 2 2 -38 s s s");
    // The file's own start and end get no fade at a cut.
    const LevelApplier first = pieceLevels(LevelApplier(1, 1, kOneGranuleASecond), source, 0, 4);
    EXPECT_EQ(changesOf(first, 0, 4, 1), "0 0 -40 s");
    const LevelApplier last = pieceLevels(LevelApplier(1, 1, kOneGranuleASecond), source, 8, 12);
    EXPECT_EQ(changesOf(last, 8, 12, 1), "s -40 0 0");
}

} // namespace
