#include "DocumentHarness.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A document of 1000 frames in four blocks, each frame's peak at half scale (-6 dBFS) except the
// loud frame 250 in block 2, at 3/4 of full scale.
struct LevelDocument : DocumentHarness {
    LevelDocument() {
        pretendLoaded(1000);
        doc.m_framePeaks.assign(1000, 16384);
        doc.m_framePeaks[250] = 24576;
        doc.m_sampleRate = 44100;
        doc.m_samplesPerFrame = 1152;
        doc.replaceBreakPoints({100, 200, 300});
    }
    int gainOf(int block) const { return doc.blockEdit(block).gainSteps; }
};

TEST(LevelEdits, TheSelectedBlockIsTheOneTheSaveButtonSaves) {
    LevelDocument h;
    EXPECT_EQ(h.doc.selectedBlock(), -1); // nothing selected: the whole file
    h.doc.m_selectedBreakPoint = 200;
    EXPECT_EQ(h.doc.selectedBlock(), 2); // from 200 to the next break point
    h.doc.m_selectedBreakPoint = 150;    // not in the list
    EXPECT_EQ(h.doc.selectedBlock(), -1);
    h.doc.appendBreakPoint(1000); // a break point at F starts no block
    h.doc.m_selectedBreakPoint = 1000;
    EXPECT_EQ(h.doc.selectedBlock(), -1);
}

TEST(LevelEdits, GainAndFadesAreOneUndoStepEach) {
    LevelDocument h;
    SplitDocument& doc = h.doc;
    EXPECT_TRUE(doc.setGain(1, 3));
    EXPECT_FALSE(doc.setGain(1, 3)); // nothing changes: no step
    EXPECT_TRUE(doc.changeGain(1, -1));
    EXPECT_TRUE(doc.setGain(-1, 2)); // every block
    EXPECT_EQ(doc.commonGain(), std::optional<int>(2));
    EXPECT_TRUE(doc.changeGain(-1, 1));
    EXPECT_TRUE(doc.setFades(-1, 2000, 1500)); // start of the first block, end of the last
    EXPECT_EQ(doc.blockEdit(0).fadeInMs, 2000);
    EXPECT_EQ(doc.blockEdit(0).fadeOutMs, 0);
    EXPECT_EQ(doc.blockEdit(3).fadeOutMs, 1500);
    EXPECT_EQ(doc.blockEdit(3).fadeInMs, 0);
    EXPECT_TRUE(doc.setFades(2, 100, 200));
    EXPECT_EQ(h.link.logLines(LogLevel::Normal).back(), "Block 200 F - 300 F: fade in 0.1 s, fade out 0.2 s");

    ASSERT_TRUE(doc.undoEdit());
    EXPECT_EQ(doc.blockEdit(2).fadeInMs, 0);
    ASSERT_TRUE(doc.undoEdit());
    EXPECT_EQ(doc.blockEdit(0).fadeInMs, 0);
    EXPECT_EQ(doc.blockEdit(3).fadeOutMs, 0);
    ASSERT_TRUE(doc.undoEdit());
    EXPECT_EQ(doc.commonGain(), std::optional<int>(2));
    ASSERT_TRUE(doc.undoEdit());
    EXPECT_EQ(doc.commonGain(), std::nullopt);
    EXPECT_EQ(h.gainOf(1), 2);
    ASSERT_TRUE(doc.undoEdit());
    EXPECT_EQ(h.gainOf(1), 3);
    ASSERT_TRUE(doc.undoEdit());
    EXPECT_TRUE(doc.m_blockEdits.empty());
}

TEST(LevelEdits, KeysStepTheSelectedBlockOrTheWholeFileAndStopBeforeClipping) {
    LevelDocument h;
    SplitDocument& doc = h.doc;
    doc.m_selectedBreakPoint = 100;
    // Block 1 peaks at -6 dBFS: four steps (6.02 dB) reach full scale, the fifth would clip.
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(doc.stepGain(+1)) << i;
    }
    EXPECT_EQ(h.gainOf(1), 4);
    EXPECT_FALSE(doc.stepGain(+1));
    EXPECT_EQ(h.gainOf(1), 4);
    EXPECT_EQ(h.link.logLines(LogLevel::Error).back(),
              "Block 100 F - 200 F would clip by 1.5 dB: use Edit > Gain ... to raise it past full scale");
    EXPECT_TRUE(doc.stepGain(-1));
    EXPECT_EQ(h.gainOf(1), 3);
    EXPECT_EQ(h.link.logLines(LogLevel::Normal).back(), "Block 100 F - 200 F: gain +4.5 dB");

    // The whole file: the loud frame of block 2 (-2.5 dBFS) stops it after one step.
    doc.setGain(1, 0);
    doc.m_selectedBreakPoint = -1;
    EXPECT_TRUE(doc.stepGain(+1));
    EXPECT_FALSE(doc.stepGain(+1));
    EXPECT_EQ(h.link.logLines(LogLevel::Error).back(),
              "The whole file would clip by 0.5 dB: use Edit > Gain ... to raise it past full scale");
    EXPECT_EQ(doc.commonGain(), std::optional<int>(1));
    // A removed block is not written: its peak does not count, and a block's own gain is kept.
    doc.setGain(3, -2);
    doc.removeBlock(2);
    EXPECT_TRUE(doc.stepGain(+1));
    EXPECT_EQ(h.gainOf(0), 2);
    EXPECT_EQ(h.gainOf(3), -1);
    EXPECT_NEAR(mp3::dbOverFullScale(doc.peakWithGain(-1, 0)), 20 * std::log10(0.5) + 2 * mp3::kDbPerGainStep,
                1e-9);
}

TEST(LevelEdits, GainIsRefusedWhileASaveReadsTheList) {
    LevelDocument h;
    HeldThread save(h.doc.m_saveAllThread);
    EXPECT_FALSE(h.doc.setGain(0, 2));
    EXPECT_FALSE(h.doc.stepGain(-1));
    EXPECT_FALSE(h.doc.setFades(-1, 1000, 0));
    EXPECT_TRUE(h.doc.m_blockEdits.empty());
    EXPECT_EQ(h.link.logLines(LogLevel::Error).back(),
              "You can not change break points while separated blocks are saving ...");
}

TEST(LevelEdits, TheLevelMapFollowsTheBlocksAndTheStream) {
    LevelDocument h;
    SplitDocument& doc = h.doc;
    EXPECT_TRUE(doc.levelMap().empty());
    doc.setGain(1, -3);
    // 0.5 s at 44100 Hz is 38 granules of 576 samples: 19 frames of MPEG-1.
    doc.setFades(3, 500, 0);
    const mp3::LevelMap map = doc.levelMap();
    EXPECT_FALSE(map.changes(99));
    EXPECT_EQ(map.gainOf(100).granules[1].steps[0], -3);
    EXPECT_EQ(map.gainOf(199).granules[0].steps[0], -3);
    EXPECT_FALSE(map.changes(200));
    EXPECT_TRUE(map.gainOf(300).granules[0].silence);
    EXPECT_TRUE(map.changes(318));
    EXPECT_FALSE(map.changes(319));
    // A new break point splits block 1: both halves keep its gain.
    doc.appendBreakPoint(150);
    EXPECT_EQ(doc.levelMap().gainOf(170).granules[0].steps[0], -3);
}

TEST(LevelEdits, MpegTwoFramesHoldOneGranule) {
    DocumentHarness h;
    h.load(testing_support::fixture("mpeg2-mono.mp3"));
    h.doc.setFades(-1, 0, 1000);
    const mp3::LevelMap map = h.doc.levelMap();
    EXPECT_EQ(map.granulesPerFrame(), 1);
    const int last = h.doc.frameCount() - 1;
    EXPECT_TRUE(map.gainOf(last).granules[0].silence);
    // One second is as many granules as frames of 576 samples.
    const int granules = mp3::fadeGranules(1.0, h.doc.m_sampleRate);
    EXPECT_TRUE(map.changes(last - granules + 1));
    EXPECT_FALSE(map.changes(last - granules));
}

} // namespace
