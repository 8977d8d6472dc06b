#include "DocumentHarness.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

class Editing : public ::testing::Test {
protected:
    static constexpr int kFrames = 400;
    void SetUp() override { h.pretendLoaded(kFrames); }
    Lines lines() const { return h.link.logLines(); }
    DocumentHarness h;
};

TEST_F(Editing, AddAtThePointerUpToFAndItsRefusals) {
    h.doc.addBreakPointAt(kFrames); // right of the last frame
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{kFrames}));
    EXPECT_EQ(h.doc.m_selectedBreakPoint, kFrames);
    EXPECT_EQ(lines(), (Lines{"Break point has been added at 400 F"}));

    {
        HeldThread saving(h.doc.m_saveAllThread);
        h.doc.addBreakPointAt(10);
    }
    {
        HeldThread converting(h.doc.m_wavThread);
        h.doc.addBreakPointAt(10);
    }
    DocumentHarness empty;
    empty.doc.addBreakPointAt(-1);
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{kFrames}));
    EXPECT_EQ(h.link.logLines(LogLevel::Error),
              (Lines{"You can not set a break point while separated blocks are saving ...",
                     "You can not set a break point while separated blocks are saving ..."}));
    EXPECT_TRUE(empty.doc.m_breakPoints.empty());
    EXPECT_EQ(empty.link.logLines(LogLevel::Error),
              (Lines{"You can not set a break point before you load a mp3 file!"}));
}

TEST_F(Editing, DialogValuesAreTakenAsTyped) {
    h.doc.m_selectedBreakPoint = 7;
    h.doc.addBreakPointByDialog(-5);
    h.doc.addBreakPointByDialog(kFrames + 10);
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{-5, kFrames + 10}));
    EXPECT_EQ(h.doc.m_selectedBreakPoint, 7);
    EXPECT_EQ(lines(), (Lines{"Set break point at -5 F", "Set break point at 410 F"}));

    HeldThread saving(h.doc.m_blockThread);
    h.doc.addBreakPointByDialog(3); // rule A does not hold
    h.doc.clearBreakPoints();
    EXPECT_EQ(h.doc.m_breakPoints.size(), 2u);
    EXPECT_EQ(lines().size(), 2u);
}

TEST_F(Editing, DuplicatesAreDeletedOneAtATime) {
    h.doc.addBreakPointAt(50);
    h.doc.addBreakPointAt(50);
    h.doc.addBreakPointAt(20);
    h.doc.m_selectedBreakPoint = 50;
    h.doc.deleteSelected();
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{50, 20}));
    h.doc.deleteSelected();
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{20}));
    h.doc.deleteSelected();
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{20}));
    EXPECT_EQ(h.doc.m_selectedBreakPoint, 50);
    const Lines all = lines();
    EXPECT_EQ(
        Lines(all.end() - 3, all.end()),
        (Lines{"Break point at frame 50 F has been deleted!", "Break point at frame 50 F has been deleted!",
               "No break point has been selected, delete action canceled!"}));
    EXPECT_EQ(h.link.logLines(LogLevel::Error).size(), 1u);
}

TEST_F(Editing, ClearKeepsTheSelection) {
    h.doc.addBreakPointAt(30);
    h.doc.clearBreakPoints();
    EXPECT_TRUE(h.doc.m_breakPoints.empty());
    EXPECT_EQ(h.doc.m_selectedBreakPoint, 30);
    h.doc.deleteSelected();
    EXPECT_EQ(lines(), (Lines{"Break point has been added at 30 F", "All break points have been deleted!",
                              "No break point has been selected, delete action canceled!"}));
}

TEST_F(Editing, NudgeStopsAtZeroAndAtF) {
    struct Case {
        BreakPointList list;
        int selected;
        int step;
        BreakPointList after;
        Lines logged;
    };
    const Case cases[] = {
        {{5, kFrames - 1}, kFrames - 1, +1, {5, kFrames}, {"Move break point from 399 to 400"}},
        {{kFrames}, kFrames, +1, {kFrames}, {}},
        {{0}, 0, -1, {0}, {}},
        {{1}, 1, -1, {0}, {"Move break point from 1 to 0"}},
        {{8, 3, 8}, 8, -1, {7, 3, 8}, {"Move break point from 8 to 7"}},
        {{-1}, -1, +1, {-1}, {}}, // unsigned, -1 lies beyond F
        {{kFrames + 5}, kFrames + 5, -1, {kFrames + 4}, {"Move break point from 405 to 404"}},
        {{10}, 11, +1, {10}, {}}, // selection not in the list
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "selected " << c.selected << " step " << c.step);
        DocumentHarness one;
        one.pretendLoaded(kFrames);
        one.doc.replaceBreakPoints(c.list);
        one.doc.m_selectedBreakPoint = c.selected;
        EXPECT_EQ(one.doc.selectionInList(), c.selected != 11);
        one.doc.nudgeSelected(c.step);
        EXPECT_EQ(one.doc.m_breakPoints, c.after);
        EXPECT_EQ(one.link.logLines(), c.logged);
        if (!c.logged.empty()) {
            EXPECT_EQ(one.doc.m_selectedBreakPoint, c.selected + c.step);
        }
    }
}

TEST_F(Editing, HitTestTakesTheFirstWithinSixFrames) {
    h.doc.replaceBreakPoints({120, 100, 106});
    EXPECT_EQ(h.doc.hitBreakPoint(106), 100);
    EXPECT_EQ(h.doc.hitBreakPoint(114), 120);
    EXPECT_EQ(h.doc.hitBreakPoint(112), 106);
    EXPECT_EQ(h.doc.hitBreakPoint(113), -1);
    EXPECT_EQ(h.doc.hitBreakPoint(93), -1);
    EXPECT_EQ(h.doc.hitBreakPoint(94), 100);
    EXPECT_EQ(h.doc.hitBreakPoint(127), -1);
}

TEST_F(Editing, DragMovesTheElementLiveAndSelectsItsNewValue) {
    h.doc.replaceBreakPoints({200, 100, 100});
    h.doc.selectBreakPoint(103);
    EXPECT_EQ(h.doc.m_selectedBreakPoint, 100);
    const std::optional<std::size_t> dragged = h.doc.beginDrag();
    ASSERT_EQ(dragged, std::optional<std::size_t>(1));
    h.doc.trackDrag(*dragged, 150);
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{200, 150, 100}));
    h.doc.trackDrag(*dragged, kFrames + 50); // beyond the last frame: F
    EXPECT_EQ(h.doc.m_breakPoints[1], kFrames);
    h.doc.trackDrag(*dragged, -5); // left of the first frame: 0
    EXPECT_EQ(h.doc.m_breakPoints[1], 0);
    h.doc.trackDrag(*dragged, 200); // onto another one
    h.doc.endDrag(*dragged);
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{200, 200, 100}));
    EXPECT_EQ(h.doc.m_selectedBreakPoint, 200);
    EXPECT_EQ(lines(),
              (Lines{"Starting to move break point from 100 F", "Break point has been moved to 200 F"}));
}

TEST_F(Editing, PressAndReleaseWithoutMovementLogsBothLines) {
    h.doc.replaceBreakPoints({60});
    h.doc.selectBreakPoint(60);
    const std::optional<std::size_t> dragged = h.doc.beginDrag();
    ASSERT_TRUE(dragged.has_value());
    h.doc.endDrag(*dragged);
    EXPECT_EQ(lines(),
              (Lines{"Starting to move break point from 60 F", "Break point has been moved to 60 F"}));

    h.link.clearRecords();
    h.doc.selectBreakPoint(300); // nothing there
    EXPECT_EQ(h.doc.m_selectedBreakPoint, -1);
    EXPECT_FALSE(h.doc.beginDrag().has_value());
    // An element that is gone by the end of a drag is neither moved nor logged.
    h.doc.trackDrag(5, 10);
    h.doc.endDrag(5);
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{60}));
    EXPECT_TRUE(lines().empty());
}

TEST_F(Editing, RemoveButtonGoesThroughTheViewMessage) {
    h.doc.replaceBreakPoints({5, 9, 5});
    h.doc.handleMessage(UM_BREAKPOINT_BUTTON, 'R', 5);
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{9, 5}));
    h.doc.handleMessage(UM_BREAKPOINT_BUTTON, 'R', 77); // no longer in the list: nothing
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{9, 5}));
    EXPECT_EQ(lines(), (Lines{"Break point at frame 5 F has been deleted!"}));
}

TEST_F(Editing, GesturesLeaveTheListAloneWhileBlocksAreSaving) {
    for (WorkerSlot SplitDocument::*slot : {&SplitDocument::m_saveAllThread, &SplitDocument::m_blockThread}) {
        DocumentHarness one;
        one.pretendLoaded(kFrames);
        one.doc.replaceBreakPoints({100, 200});
        one.doc.m_selectedBreakPoint = 100;
        HeldThread saving(one.doc.*slot);

        one.doc.selectBreakPoint(200);
        EXPECT_FALSE(one.doc.beginDrag().has_value());
        one.doc.trackDrag(1, 250); // a drag that began before the save
        one.doc.nudgeSelected(+1);
        one.doc.deleteSelected();
        one.doc.handleMessage(UM_BREAKPOINT_BUTTON, 'R', 100);
        one.doc.clearBreakPoints();
        one.doc.placeAutomaticBreakPoints(AutoMethod::EqualCount, 2, true);

        EXPECT_EQ(one.doc.m_breakPoints, (BreakPointList{100, 200}));
        const Lines refusals = one.link.logLines(LogLevel::Error);
        EXPECT_EQ(refusals.size(), 5u); // drag, nudge, delete, 'R', automatic
        for (const std::string& line : refusals) {
            EXPECT_EQ(line, "You can not change break points while separated blocks are saving ...");
        }
        EXPECT_TRUE(one.link.logLines(LogLevel::Normal).empty());
    }
}

} // namespace
