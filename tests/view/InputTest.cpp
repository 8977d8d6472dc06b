#include "ViewHarness.h"

#include "view/EditKeys.h"

#include "support/TestFiles.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The ten-second fixture (385 frames) in a view 800 columns wide.
class Input : public ::testing::Test {
protected:
    Input() : harness(800, 400) {
        harness.load(testing_support::fixture("ten-seconds.mp3"));
        harness.frame.clearRecords();
    }

    CChildView& view() { return *harness.view; }
    std::vector<std::string> log() { return harness.frame.logLines(); }
    int cursor() { return view().m_cursor.frameNumber(); }
    // Paints once so that the buttons of the visible marks exist.
    void paint() { harness.render(QPoint(-100, -100)); }
    std::size_t sent(unsigned message) {
        const auto records = harness.frame.records();
        return static_cast<std::size_t>(std::count_if(
            records.begin(), records.end(), [message](const auto& r) { return r.message == message; }));
    }

    ViewHarness harness;
    const int row = 300; // a row of the wave area, clear of the buttons
};

TEST_F(Input, ClickWithinSixFramesSelectsAndLogsAMoveWithTheSameValue) {
    view().replaceBreakPoints({100});
    harness.click(QPoint(106, row));
    EXPECT_EQ(view().m_selectedBreakPoint, 100);
    EXPECT_EQ(view().m_breakPoints, BreakPointList{100});
    EXPECT_EQ(log(), (std::vector<std::string>{"Starting to move break point from 100 F",
                                               "Break point has been moved to 100 F"}));
    EXPECT_FALSE(view().m_mouseDown);
    EXPECT_FALSE(view().m_dragging);
}

TEST_F(Input, ClickSevenFramesAwayMovesTheCursorAndSelectsNothing) {
    view().replaceBreakPoints({100});
    view().m_selectedBreakPoint = 100;
    harness.click(QPoint(107, row));
    EXPECT_EQ(view().m_selectedBreakPoint, -1);
    EXPECT_EQ(cursor(), 107);
    EXPECT_TRUE(log().empty());
}

TEST_F(Input, TheEarlierBreakPointInListOrderWins) {
    view().replaceBreakPoints({104, 100});
    harness.click(QPoint(102, row));
    EXPECT_EQ(view().m_selectedBreakPoint, 104);
    harness.pointAt(QPoint(102, row));
    EXPECT_EQ(view().hitBreakPoint(), 104);
}

TEST_F(Input, DraggingMovesTheBreakPointLiveAndClampsToTheFile) {
    view().replaceBreakPoints({100});
    harness.press(QPoint(100, row));
    harness.move(QPoint(150, row));
    EXPECT_EQ(view().m_breakPoints, BreakPointList{150});
    harness.move(QPoint(700, row)); // right of the last frame
    EXPECT_EQ(view().m_breakPoints, BreakPointList{385});
    harness.release(QPoint(700, row));
    EXPECT_EQ(view().m_selectedBreakPoint, 385);
    EXPECT_EQ(log().back(), "Break point has been moved to 385 F");
}

TEST_F(Input, DoubleClickRightOfTheLastFrameAddsF) {
    harness.doubleClick(QPoint(600, row));
    EXPECT_EQ(view().m_breakPoints, BreakPointList{385});
    EXPECT_EQ(view().m_selectedBreakPoint, 385);
    const std::vector<std::string> lines = log();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Break point has been added at 385 F"), lines.end());
}

TEST_F(Input, PlainClickMovesTheCursorToThePointerFrame) {
    harness.click(QPoint(200, row));
    EXPECT_EQ(cursor(), 200);
    harness.press(QPoint(10, row));
    harness.move(QPoint(40, row));
    EXPECT_EQ(cursor(), 40); // the cursor follows while the button is held
    harness.release(QPoint(40, row));
    harness.click(QPoint(700, row)); // right of the last frame: F, one past the last frame
    EXPECT_NE(cursor(), 40);
}

TEST_F(Input, PressOnAButtonReleaseElsewhereActsAsAPlainClick) {
    view().replaceBreakPoints({100});
    paint();
    harness.press(QPoint(123, 80)); // 'R'
    EXPECT_FALSE(view().m_mouseDown);
    harness.release(QPoint(250, row));
    EXPECT_EQ(view().m_breakPoints, BreakPointList{100}); // no removal
    EXPECT_TRUE(log().empty());
    EXPECT_EQ(cursor(), 250);
}

TEST_F(Input, ReleaseOverAButtonWhileDraggingActsAndEndsTheDrag) {
    view().replaceBreakPoints({100, 200});
    paint();
    harness.press(QPoint(100, row));
    harness.move(QPoint(110, row));
    EXPECT_EQ(view().m_breakPoints, (BreakPointList{110, 200}));
    // The buttons are those of the last paint: 'R' of the break point at 200.
    harness.release(QPoint(223, 80));
    EXPECT_FALSE(view().m_dragging);
    EXPECT_FALSE(view().m_dragIt.has_value());
    EXPECT_EQ(view().m_breakPoints, BreakPointList{110});
    const std::vector<std::string> lines = log();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Break point at frame 200 F has been deleted!"),
              lines.end());
    EXPECT_EQ(lines.back(), "Break point has been moved to 110 F");
}

TEST_F(Input, ButtonsOfTheLastPaintOnly) {
    view().replaceBreakPoints({100});
    EXPECT_FALSE(view().hitButton(QPoint(123, 80)));
    paint();
    const auto hit = view().hitButton(QPoint(123, 80));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->letter, u'R');
    EXPECT_EQ(hit->breakPoint, 100);
    // Right and bottom edges excluded, left and top included.
    EXPECT_TRUE(view().hitButton(QPoint(105, 76)));
    EXPECT_FALSE(view().hitButton(QPoint(118, 80)));
    EXPECT_FALSE(view().hitButton(QPoint(110, 89)));
}

TEST_F(Input, HeldRightKeyNudgesOnceOnTheRealRelease) {
    view().replaceBreakPoints({100});
    view().m_selectedBreakPoint = 100;
    for (int i = 0; i < 5; ++i) {
        harness.keyRelease(Qt::Key_Right, true); // auto-repeat
    }
    harness.keyRelease(Qt::Key_Right);
    EXPECT_EQ(view().m_breakPoints, BreakPointList{101});
    EXPECT_EQ(log(), std::vector<std::string>{"Move break point from 100 to 101"});
    harness.keyRelease(Qt::Key_Left);
    EXPECT_EQ(view().m_breakPoints, BreakPointList{100});
    EXPECT_EQ(view().scrollFrame(), 0u);
}

TEST_F(Input, ArrowKeysScrollWhenTheSelectionIsNotInTheList) {
    harness.setLevels(std::vector<int>(5000, 0));
    view().replaceBreakPoints({100});
    view().m_selectedBreakPoint = 50;
    view().m_scrollFrame = 10;
    harness.keyRelease(Qt::Key_Right);
    EXPECT_EQ(view().scrollFrame(), 11u);
    harness.keyRelease(Qt::Key_Left);
    harness.keyRelease(Qt::Key_Left);
    EXPECT_EQ(view().scrollFrame(), 9u);
    EXPECT_EQ(view().m_breakPoints, BreakPointList{100});
}

TEST_F(Input, DeleteDeletesTheSelection) {
    view().replaceBreakPoints({100, 100});
    view().m_selectedBreakPoint = 100;
    for (int i = 0; i < 3; ++i) {
        harness.keyRelease(Qt::Key_Delete);
    }
    EXPECT_TRUE(view().m_breakPoints.empty());
    EXPECT_EQ(harness.frame.logLines(LogLevel::Error),
              std::vector<std::string>{"No break point has been selected, delete action canceled!"});
    EXPECT_EQ(sent(UM_REMOVE_BLOCK), 0u);
}

TEST_F(Input, ShiftDeleteAndShiftPAskTheMainWindowForTheEditCommands) {
    view().replaceBreakPoints({100});
    view().m_selectedBreakPoint = 100;
    harness.keyRelease(Qt::Key_Delete, false, Qt::ShiftModifier);
    EXPECT_EQ(sent(UM_REMOVE_BLOCK), 1u);
    EXPECT_EQ(view().m_breakPoints, BreakPointList{100}) << "Shift+Delete leaves the break point to Delete";
    harness.keyRelease(Qt::Key_Delete, true);
    harness.keyRelease(Qt::Key_P);
    EXPECT_EQ(sent(UM_REMOVE_BLOCK), 1u);
    EXPECT_EQ(sent(UM_PLAY_AROUND), 0u);
    harness.keyRelease(Qt::Key_P, false, Qt::ShiftModifier);
    EXPECT_EQ(sent(UM_PLAY_AROUND), 1u);
}

TEST_F(Input, KeyASendsAddBreakPointToTheMainWindow) {
    harness.keyRelease(Qt::Key_A);
    EXPECT_EQ(sent(UM_ADD_BREAKPOINT), 1u);
    harness.keyRelease(Qt::Key_A, true);
    harness.keyRelease(Qt::Key_B);
    EXPECT_EQ(sent(UM_ADD_BREAKPOINT), 1u);
}

TEST_F(Input, NoButtonActionWhileLoading) {
    view().replaceBreakPoints({100});
    harness.startLoading();
    view().viewLink().send(UM_BREAKPOINT_BUTTON, 'R', 100);
    harness.stopLoading();
    EXPECT_EQ(view().m_breakPoints, BreakPointList{100});
    view().viewLink().send(UM_BREAKPOINT_BUTTON, 'R', 100);
    EXPECT_TRUE(view().m_breakPoints.empty());
}

TEST_F(Input, HitTestsFindNothingWhileLoading) {
    view().replaceBreakPoints({100});
    harness.pointAt(QPoint(100, row));
    harness.startLoading();
    EXPECT_EQ(view().hitBreakPoint(), -1);
    EXPECT_EQ(view().pointerFrame(), -1);
}

TEST_F(Input, TooltipsNameTheButtonsAction) {
    view().replaceBreakPoints({100, 100});
    paint();
    struct Case {
        QPoint point;
        QString text;
    };
    for (const Case& c :
         {Case{{110, 80}, "Save the block from current break point to next"},
          Case{{125, 80}, "Remove the break point"}, Case{{140, 80}, "Play from the break point"}}) {
        QHelpEvent event(QEvent::ToolTip, c.point, view().mapToGlobal(c.point));
        QApplication::sendEvent(&view(), &event);
        EXPECT_TRUE(QToolTip::isVisible()) << c.text.toStdString();
        EXPECT_EQ(QToolTip::text(), c.text);
    }
    // Two stacked buttons of equal break points: the one drawn last, on top, answers.
    const auto hit = view().hitButton(QPoint(125, 80));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->area, view().buttons()[4]->area);
    // Away from the buttons the request is left unhandled.
    QHelpEvent away(QEvent::ToolTip, QPoint(300, row), view().mapToGlobal(QPoint(300, row)));
    QApplication::sendEvent(&view(), &away);
    EXPECT_FALSE(away.isAccepted());
}

// Marks 15 frames apart: the right mark's buttons and lines are drawn over the left mark's buttons.
// Whatever is drawn on top at a point is what the pointer reaches there: its highlight, its tooltip
// and its click.
TEST_F(Input, ButtonsAnswerInDrawingOrder) {
    view().replaceBreakPoints({100, 115});
    const QImage away = harness.render();
    const QImage over = harness.render(QPoint(125, 80)); // right 'S' (120..132) over left 'R' (121..133)
    // Only the top button is lit: the column of the left 'R' that stays visible keeps its colour.
    EXPECT_EQ(over.pixel(133, 80), away.pixel(133, 80));
    EXPECT_NE(over.pixel(121, 77), away.pixel(121, 77));
    struct Case {
        QPoint point;
        char16_t letter; // 0: no button
        int breakPoint;
        QString tooltip;
    };
    const Case cases[] = {
        {{125, 80}, u'S', 115, "Save the block from current break point to next"},
        {{133, 80}, u'R', 100, "Remove the break point"},
        {{140, 80}, u'R', 115, "Remove the break point"}, // over the left 'P' (137..149)
        // The right mark's lines over the left 'S': its frame and time, 114 x 1152 / 44100 s in.
        {{114, 80}, 0, -1, "BP: 115 F  0:00:02.978"},
        {{108, 80}, u'S', 100, "Save the block from current break point to next"},
    };
    for (const Case& c : cases) {
        const auto hit = view().hitButton(c.point);
        EXPECT_EQ(hit ? hit->letter : 0, c.letter) << c.point.x();
        EXPECT_EQ(hit ? hit->breakPoint : -1, c.breakPoint) << c.point.x();
        QHelpEvent event(QEvent::ToolTip, c.point, view().mapToGlobal(c.point));
        QApplication::sendEvent(&view(), &event);
        // Off the buttons, a mark's lines tell its frame (and its time, with a file's clock).
        EXPECT_EQ(QToolTip::text(), c.tooltip) << c.point.x();
    }
    // A click on the right mark's 'R' where it covers the left 'P' removes the right mark.
    harness.click(QPoint(140, 80));
    EXPECT_EQ(view().m_breakPoints, BreakPointList{100});
    // A press on the right mark's lines grabs that mark, not the left 'S' beneath.
    view().replaceBreakPoints({100, 115});
    harness.render();
    harness.press(QPoint(114, 80));
    EXPECT_EQ(view().m_selectedBreakPoint, 115);
    harness.release(QPoint(114, 80));
}

// Zoomed out to 259 frames per column, as on a 3-hour file: a press beside a mark's line and a small
// move leave it where it was, and a drag moves it by the pointer's movement, not to the pointer's column.
TEST_F(Input, ADragMovesTheMarkByThePointersMovement) {
    harness.setLevels(std::vector<int>(400'000, 0));
    view().zoomTo(259, 0);
    ASSERT_EQ(view().m_framesPerColumn, 259);
    view().replaceBreakPoints({25'900}); // column 100
    const int distance = QApplication::startDragDistance();
    ASSERT_GE(distance, 2);
    harness.frame.clearRecords();
    harness.press(QPoint(101, row));
    EXPECT_EQ(view().m_selectedBreakPoint, 25'900);
    harness.move(QPoint(102, row));
    harness.move(QPoint(101 + distance - 2, row));
    EXPECT_EQ(view().m_breakPoints, BreakPointList{25'900});
    harness.release(QPoint(101 + distance - 2, row));
    EXPECT_EQ(log().back(), "Break point has been moved to 25900 F");

    harness.render();
    harness.press(QPoint(101, row));
    harness.move(QPoint(101 + distance + 10, row));
    EXPECT_EQ(view().m_breakPoints, BreakPointList{25'900 + (distance + 10) * 259});
    harness.move(QPoint(91, row)); // 10 columns left of where it was grabbed
    EXPECT_EQ(view().m_breakPoints, BreakPointList{25'900 - 10 * 259});
    harness.release(QPoint(91, row));
    EXPECT_EQ(log().back(), "Break point has been moved to 23310 F");
}

TEST_F(Input, SpaceStartsPlaybackToTheEndOfTheFile) {
    view().m_playEnd = view().m_cursor;
    harness.keyRelease(Qt::Key_Space);
    // The output has no device, so nothing plays, but the stop position is the end of the file.
    EXPECT_TRUE(view().m_playEnd.atEnd());
    EXPECT_FALSE(view().player().isPlaying());
}

} // namespace

TEST_F(Input, TabKeepsTheFocusInTheView) {
    // Another widget that could take the focus.
    auto* other = new QLineEdit(&view());
    other->show();
    view().setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(view().hasFocus());
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        QTest::keyClick(&view(), key);
        EXPECT_TRUE(view().hasFocus()) << key;
    }
}
