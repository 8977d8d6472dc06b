#include "DocumentHarness.h"

#include "document/AutomaticBreakPoints.h"
#include "engine/FileScan.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <numeric>

using testing_support::fixture;

namespace {

using Frames = std::vector<int>;

TEST(AutomaticBreakPoints, SilenceOnLevelTables) {
    struct Case {
        Frames levels;
        int minimum;
        Frames expected;
    };
    const Case cases[] = {
        {{500, 100, 100, 100, 500}, 3, {2}},
        {{500, 100, 100, 100, 500}, 4, {}},
        {{500, 200, 200, 201}, 2, {1}},      // 200 is silent, and a run of exactly N counts
        {{100, 100, 100, 100, 500}, 1, {1}}, // at the very start; even length takes the lower middle
        {{500, 100, 100, 500, 100, 100, 100}, 1, {1}}, // trailing silence gives nothing
        {{100, 500, 0, 500}, 0, {0, 2}},
        {{100, 500, 0, 500}, -3, {0, 2}},
        {{}, 1, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(silenceBreakPoints(c.levels, c.minimum), c.expected) << "N = " << c.minimum;
    }
}

// N blocks exactly: break point k at k * F / N to the nearest frame, halves up. Worked by hand.
TEST(AutomaticBreakPoints, EqualCountGivesExactlyNBlocks) {
    struct Case {
        int frames;
        int blocks;
        Frames expected;
    };
    const Case cases[] = {
        {1000, 3, {333, 667}},         // 333.3, 666.7: blocks of 333, 334, 333
        {900, 3, {300, 600}},          // a multiple of N: no break point at F
        {385, 4, {96, 193, 289}},      // 96.25, 192.5 (half up), 288.75: no runt at the end
        {10, 4, {3, 5, 8}},            // 2.5 and 7.5 go up
        {7, 2, {4}},                   // 3.5
        {5, 5, {1, 2, 3, 4}},          // one frame per block
        {900, 1, {}},                  // one block is the whole file
        {2147483647, 2, {1073741824}}, // no overflow near the largest frame count
        {900, 0, {}},
        {900, -4, {}},
        {0, 3, {}},
    };
    for (const Case& c : cases) {
        const Frames placed = countBreakPoints(c.frames, c.blocks);
        EXPECT_EQ(placed, c.expected) << c.frames << " frames in " << c.blocks << " blocks";
        if (c.blocks < 1 || c.frames < c.blocks) {
            continue;
        }
        // Boundaries 0, the break points, F: N blocks whose sizes differ by at most one frame.
        Frames bounds = {0};
        bounds.insert(bounds.end(), placed.begin(), placed.end());
        bounds.push_back(c.frames);
        ASSERT_EQ(bounds.size(), static_cast<std::size_t>(c.blocks) + 1);
        const int floorSize = c.frames / c.blocks;
        for (std::size_t i = 1; i < bounds.size(); ++i) {
            const int size = bounds[i] - bounds[i - 1];
            EXPECT_TRUE(size == floorSize || size == floorSize + 1)
                << c.frames << "/" << c.blocks << " " << i;
        }
    }
}

TEST(AutomaticBreakPoints, EqualLengthCountsWholeMilliseconds) {
    const auto path = fixture("ten-seconds.mp3");
    const mp3::LevelScan scan = mp3::scanLevels(path);
    // 26 ms per frame of about 26.1 ms: the 385th frame carries the total past 10 s.
    EXPECT_EQ(lengthBreakPoints(path, scan.offsets, 10), (Frames{384}));
    EXPECT_EQ(lengthBreakPoints(path, scan.offsets, 3), (Frames{115, 231, 347}));
    Frames everyFrame(scan.offsets.size());
    std::iota(everyFrame.begin(), everyFrame.end(), 0);
    EXPECT_EQ(lengthBreakPoints(path, scan.offsets, 0), everyFrame);

    // Headers at the recorded offsets and a full scan with a reader agree, also with varying bitrates.
    for (const char* name : {"ten-seconds.mp3", "vbr.mp3", "mpeg2-mono.mp3", "id3v2-cover.mp3"}) {
        const auto file = fixture(name);
        const mp3::FrameOffsets offsets = mp3::scanLevels(file).offsets;
        EXPECT_EQ(lengthBreakPoints(file, offsets, 1), lengthBreakPoints(file, {}, 1)) << name;
    }
}

TEST(AutomaticBreakPoints, DocumentAppendsAndLogsEachBreakPoint) {
    DocumentHarness h;
    h.load(fixture("ten-seconds.mp3"));
    h.link.clearRecords();
    h.doc.replaceBreakPoints({7});
    h.doc.placeAutomaticBreakPoints(AutoMethod::EveryLength, 10, false);
    h.doc.placeAutomaticBreakPoints(AutoMethod::EveryLength, 10, false);
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{7, 384, 384}));
    h.doc.placeAutomaticBreakPoints(AutoMethod::EqualCount, 5, true);
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{77, 154, 231, 308}));
    EXPECT_EQ(h.link.logLines(),
              (std::vector<std::string>{
                  "Break point has been added at 384 F", "Break point has been added at 384 F",
                  "Break point has been added at 77 F", "Break point has been added at 154 F",
                  "Break point has been added at 231 F", "Break point has been added at 308 F"}));
    EXPECT_GE(h.doc.invalidations, 3);

    DocumentHarness empty;
    empty.doc.placeAutomaticBreakPoints(AutoMethod::EqualCount, 5, true); // rule B: nothing loaded
    EXPECT_TRUE(empty.doc.m_breakPoints.empty());
}

TEST(AutomaticBreakPoints, MoreBlocksThanFramesIsRefused) {
    DocumentHarness h;
    h.pretendLoaded(4);
    h.doc.replaceBreakPoints({2});
    // A count this large would otherwise append two billion break points at frame 0.
    h.doc.placeAutomaticBreakPoints(AutoMethod::EqualCount, 2000000000, false);
    h.doc.placeAutomaticBreakPoints(AutoMethod::EqualCount, 5, false);
    EXPECT_EQ(h.doc.m_breakPoints, BreakPointList{2});
    EXPECT_EQ(h.link.logLines(LogLevel::Error),
              (std::vector<std::string>{
                  "The number of blocks 2000000000 is more than the number of frames 4 F, no break point "
                  "has been added!",
                  "The number of blocks 5 is more than the number of frames 4 F, no break point has been "
                  "added!"}));
    EXPECT_TRUE(h.link.logLines(LogLevel::Normal).empty());

    h.doc.placeAutomaticBreakPoints(AutoMethod::EqualCount, 4, false); // one block per frame still works
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{2, 1, 2, 3}));
}

TEST(AutomaticBreakPoints, SilenceInARealFile) {
    // Two seconds of tone, two of digital silence, two of tone.
    const auto dir = testing_support::scratchDir("auto-silence");
    int status = 0;
    testing_support::runCommand(
        "cd '" + dir.string() +
            "' && sox -n -r 44100 -c 2 tone.wav synth 2 sine 440 vol 0.5 && "
            "sox -n -r 44100 -c 2 quiet.wav trim 0 2 && "
            "sox tone.wav quiet.wav tone.wav all.wav && lame --quiet -b 128 all.wav all.mp3",
        &status);
    ASSERT_EQ(status, 0);
    DocumentHarness h;
    h.load(dir / "all.mp3");
    h.doc.placeAutomaticBreakPoints(AutoMethod::Silence, 25, false);
    ASSERT_EQ(h.doc.m_breakPoints.size(), 1u);
    // The silence spans about frames 77 to 153.
    EXPECT_GT(h.doc.m_breakPoints[0], 90);
    EXPECT_LT(h.doc.m_breakPoints[0], 150);
    h.doc.replaceBreakPoints({});
    h.doc.placeAutomaticBreakPoints(AutoMethod::Silence, 200, false);
    EXPECT_TRUE(h.doc.m_breakPoints.empty());
}

} // namespace
