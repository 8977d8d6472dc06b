#include "engine/LevelMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// One granule as the map gives it: steps on both channels, or silence.
struct Granule {
    int steps;
    bool silence;
};
constexpr Granule S{0, true};

Granule granuleOf(const mp3::FrameGain& gain, int g) {
    const mp3::GranuleGain& granule = gain.granules[static_cast<std::size_t>(g)];
    EXPECT_EQ(granule.steps[0], granule.steps[1]) << "both channels change alike";
    return {granule.silence ? 0 : granule.steps[0], granule.silence};
}

// The ramps worked by hand: the -60 dB floor is -40 steps (60 / 1.505 = 39.9); a fade out of 4
// granules falls -13, -27, -40 and is then silent, a fade in is the same backwards.
TEST(LevelMap, GainAndFadesGranuleByGranule) {
    struct Case {
        const char* name;
        mp3::LevelRange range;
        int granulesPerFrame;
        int frame;
        Granule first;
        Granule second;
    };
    const Case cases[] = {
        {"gain alone", {10, 20, 3, 0, 0}, 2, 10, {3, false}, {3, false}},
        {"last frame of the range", {10, 20, 3, 0, 0}, 2, 19, {3, false}, {3, false}},
        {"fade in starts silent, then the floor", {0, 10, 2, 4, 0}, 2, 0, S, {2 - 40, false}},
        {"fade in rises", {0, 10, 2, 4, 0}, 2, 1, {2 - 27, false}, {2 - 13, false}},
        {"after the fade in: the gain", {0, 10, 2, 4, 0}, 2, 2, {2, false}, {2, false}},
        {"fade out of 3 begins on the second granule", {0, 10, 0, 0, 3}, 2, 8, {0, false}, {-20, false}},
        {"fade out ends silent", {0, 10, 0, 0, 3}, 2, 9, {-40, false}, S},
        {"one granule per frame", {0, 5, 0, 2, 0}, 1, 0, S, S},
        {"one granule per frame, second", {0, 5, 0, 2, 0}, 1, 1, {-40, false}, {-40, false}},
        {"overlapping fades add up", {0, 2, 0, 4, 4}, 2, 0, S, {-40 - 27, false}},
        {"overlapping fades, end", {0, 2, 0, 4, 4}, 2, 1, {-27 - 40, false}, S},
        {"a fade longer than its range is cut to it", {0, 1, 0, 50, 0}, 2, 0, S, {-40, false}},
    };
    for (const Case& c : cases) {
        const mp3::LevelMap map({c.range}, c.granulesPerFrame);
        EXPECT_TRUE(map.changes(c.frame)) << c.name;
        const mp3::FrameGain gain = map.gainOf(c.frame);
        const Granule first = granuleOf(gain, 0);
        const Granule second = granuleOf(gain, 1);
        EXPECT_EQ(first.silence, c.first.silence) << c.name;
        EXPECT_EQ(first.steps, c.first.steps) << c.name;
        EXPECT_EQ(second.silence, c.second.silence) << c.name;
        EXPECT_EQ(second.steps, c.second.steps) << c.name;
    }
}

TEST(LevelMap, FramesOutsideTheRangesAndRangesWithoutChangeAreLeftAlone) {
    const mp3::LevelMap map({{0, 5, 0, 0, 0}, {10, 20, -2, 0, 0}, {20, 30, 0, 2, 0}}, 2);
    for (const int frame : {0, 4, 5, 9, 22, 30, 1000, -1}) {
        EXPECT_FALSE(map.changes(frame)) << frame;
        const mp3::FrameGain gain = map.gainOf(frame);
        EXPECT_FALSE(gain.granules[0].silence || gain.granules[1].silence) << frame;
        EXPECT_EQ(gain.granules[0].steps[0], 0) << frame;
        EXPECT_DOUBLE_EQ(map.loudestFactor(frame), 1.0) << frame;
    }
    EXPECT_TRUE(map.changes(10));
    EXPECT_TRUE(map.changes(19));
    EXPECT_TRUE(map.changes(20));
    EXPECT_TRUE(mp3::LevelMap().empty());
    EXPECT_TRUE(mp3::LevelMap({{0, 5, 0, 0, 0}}, 2).empty());
}

// A block's gain, a fade of its own and a fade at a cut over a piece that starts inside the block: the
// ranges overlap as the writers add them, and their steps add up granule by granule.
TEST(LevelMap, OverlappingRangesAddUp) {
    const mp3::LevelMap map({{0, 10, 3, 0, 0}, {4, 10, 0, 0, 4}, {6, 20, 0, 2, 0}}, 2);
    const Granule expected[][2] = {
        {{3, false}, {3, false}},           // frame 3: the gain alone
        {{3, false}, {3, false}},           // frame 4: the fade out has not begun
        {{3, false}, {3, false}},           // frame 5
        {S, {3 - 40, false}},               // frame 6: the fade in at the cut starts silent
        {{3 - 13, false}, {3 - 27, false}}, // frame 8: the fade out of the block
        {{3 - 40, false}, S},               // frame 9
        {{0, false}, {0, false}},           // frame 10: past the block and the fades
    };
    const int frames[] = {3, 4, 5, 6, 8, 9, 10};
    for (std::size_t i = 0; i < std::size(frames); ++i) {
        const mp3::FrameGain gain = map.gainOf(frames[i]);
        for (int g = 0; g < 2; ++g) {
            const Granule got = granuleOf(gain, g);
            EXPECT_EQ(got.silence, expected[i][g].silence) << "frame " << frames[i] << " granule " << g;
            EXPECT_EQ(got.steps, expected[i][g].steps) << "frame " << frames[i] << " granule " << g;
        }
    }
    EXPECT_TRUE(map.changes(7));
    EXPECT_FALSE(map.changes(10));
}

TEST(LevelMap, LoudestFactorTakesTheLouderGranuleAndSilenceIsZero) {
    const mp3::LevelMap map({{0, 10, 4, 4, 0}}, 2);
    EXPECT_DOUBLE_EQ(map.loudestFactor(0), std::exp2((4 - 40) / 4.0)); // silent, then the floor
    EXPECT_DOUBLE_EQ(map.loudestFactor(1), std::exp2((4 - 13) / 4.0));
    EXPECT_DOUBLE_EQ(map.loudestFactor(5), 2.0); // 4 steps: twice as loud
    const mp3::LevelMap silent({{0, 10, 0, 2, 0}}, 1);
    EXPECT_DOUBLE_EQ(silent.loudestFactor(0), 0.0);
}

TEST(LevelMap, PeakAfterGainAndHowFarItClips) {
    const std::vector<std::uint16_t> peaks{1000, 16384, 8192, 32768};
    struct Case {
        int first;
        int end;
        int steps;
        double peak;
        double overDb;
    };
    const double step = 1.5051499783199060;
    const Case cases[] = {
        {0, 3, 0, 16384, -6.0206},
        {0, 3, 4, 32768, 0.0},                    // exactly full scale: no clipping
        {0, 3, 5, 16384 * std::exp2(1.25), step}, // one step past it
        {2, 3, 8, 32768, 0.0},
        {0, 4, -4, 16384, -6.0206},
        {3, 99, 1, 32768 * std::exp2(0.25), step}, // cut to the frames there are
        {5, 9, 3, 0, 0},                           // nothing there
    };
    for (const Case& c : cases) {
        const double peak = mp3::peakAfterGain(peaks, c.first, c.end, c.steps);
        EXPECT_NEAR(peak, c.peak, 1e-6) << c.first << ".." << c.end << " " << c.steps;
        if (c.peak > 0) {
            EXPECT_NEAR(mp3::dbOverFullScale(peak), c.overDb, 1e-4) << c.first << ".." << c.end;
        } else {
            EXPECT_LT(mp3::dbOverFullScale(peak), -1000);
        }
    }
}

} // namespace
