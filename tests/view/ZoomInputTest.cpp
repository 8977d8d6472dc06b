#include "ViewHarness.h"

#include "support/TestFiles.h"
#include "view/OverviewStrip.h"
#include "view/TimePane.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <functional>

namespace {

void wheel(CChildView& view, QPoint p, int delta, Qt::KeyboardModifiers modifiers) {
    QWheelEvent event(QPointF(p), QPointF(view.mapToGlobal(p)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &event);
}

void ctrlKey(CChildView& view, Qt::Key key) {
    QKeyEvent event(QEvent::KeyRelease, key, Qt::ControlModifier);
    QApplication::sendEvent(&view, &event);
}

// The ten-second fixture (385 frames) in a view 100 columns wide: up to 4 frames per column.
class ZoomedInput : public ::testing::Test {
protected:
    ZoomedInput() : harness(100, 400) {
        harness.load(testing_support::fixture("ten-seconds.mp3"));
        harness.frame.clearRecords();
    }

    CChildView& view() { return *harness.view; }
    int cursor() { return view().m_cursor.frameNumber(); }

    ViewHarness harness;
    const int row = 300;
};

TEST_F(ZoomedInput, ClicksTakeTheFirstFrameOfTheirColumn) {
    EXPECT_EQ(view().maxFramesPerColumn(), 4);
    view().zoomTo(3, 0);
    view().scrollTo(30);
    harness.click(QPoint(10, row));
    EXPECT_EQ(cursor(), 60);
    harness.doubleClick(QPoint(20, row));
    EXPECT_EQ(view().m_breakPoints, BreakPointList{90});
    EXPECT_EQ(view().m_selectedBreakPoint, 90);
    EXPECT_EQ(view().m_hoverBreakPoint, 90);
    EXPECT_EQ(harness.frame.logLines().back(), "Break point has been added at 90 F");
}

TEST_F(ZoomedInput, MarksAreHitOnTheirLineAndDraggedAColumnAtATime) {
    view().zoomTo(3, 0);
    view().scrollTo(30);
    view().m_breakPoints = {90}; // column 20
    harness.render();
    harness.click(QPoint(22, row));
    EXPECT_EQ(view().m_selectedBreakPoint, -1);
    harness.render();
    harness.press(QPoint(21, row));
    EXPECT_EQ(view().m_selectedBreakPoint, 90);
    // Grabbed a column right of its line, the mark does not jump to the pointer; it moves by the
    // pointer's movement once that passes the drag distance.
    const int distance = QApplication::startDragDistance();
    harness.move(QPoint(21 + distance - 1, row));
    EXPECT_EQ(view().m_breakPoints, BreakPointList{90});
    harness.move(QPoint(21 + distance + 1, row));
    EXPECT_EQ(view().m_breakPoints, BreakPointList{90 + (distance + 1) * 3});
    harness.move(QPoint(33, row));
    EXPECT_EQ(view().m_breakPoints, BreakPointList{126});
    harness.release(QPoint(38, row));
    EXPECT_EQ(harness.frame.logLines().back(), "Break point has been moved to 126 F");
    // An arrow key still moves the selected break point by one frame.
    harness.keyRelease(Qt::Key_Right);
    EXPECT_EQ(view().m_breakPoints, BreakPointList{127});
}

TEST_F(ZoomedInput, ScrollingMovesInColumns) {
    view().zoomTo(2, 0);
    ASSERT_EQ(view().visibleFrames(), 200);
    struct Step {
        const char* what;
        std::function<void()> act;
        std::uint32_t scrollFrame;
    };
    const Step steps[] = {
        {"start", [&] { view().scrollTo(30); }, 30},
        {"Right", [&] { harness.keyRelease(Qt::Key_Right); }, 32},
        {"Left", [&] { harness.keyRelease(Qt::Key_Left); }, 30},
        {"small wheel", [&] { wheel(view(), QPoint(50, row), -3, Qt::NoModifier); }, 36},
        {"Page Down", [&] { harness.keyRelease(Qt::Key_PageDown); }, 185},
        {"Page Up", [&] { harness.keyRelease(Qt::Key_PageUp); }, 0},
        {"End", [&] { harness.keyRelease(Qt::Key_End); }, 185},
        {"wheel notch", [&] { wheel(view(), QPoint(50, row), 120, Qt::NoModifier); }, 0},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(view().scrollFrame(), step.scrollFrame) << step.what;
    }
}

// A long file of synthetic levels in a view 800 columns wide.
class LongFile : public ::testing::Test {
protected:
    LongFile() : harness(800, 300) { harness.setLevels(std::vector<int>(100'000, 1000)); }
    CChildView& view() { return *harness.view; }
    ViewHarness harness;
};

TEST_F(LongFile, CtrlWheelKeepsTheFrameUnderThePointer) {
    view().scrollTo(50'000);
    const QPoint pointer(300, 200);
    harness.pointAt(pointer);
    ASSERT_EQ(view().pointerFrame(), 50'300);
    // Towards the user zooms out, away from the user zooms in.
    const struct {
        int delta;
        int framesPerColumn;
    } turns[] = {{-120, 2}, {-120, 4}, {-120, 8}, {120, 4}, {-240, 8},
                 {120, 4},  {120, 2},  {120, 1},  {120, 1}};
    for (const auto& turn : turns) {
        wheel(view(), pointer, turn.delta, Qt::ControlModifier);
        EXPECT_EQ(view().m_framesPerColumn, turn.framesPerColumn);
        EXPECT_EQ(view().pointerFrame(), 50'300) << "at 1:" << turn.framesPerColumn;
    }
    // Zooming out to the whole file ends at the start of the file, where the pointer's frame cannot stay.
    for (int i = 0; i < 10; ++i) {
        wheel(view(), pointer, -120, Qt::ControlModifier);
    }
    EXPECT_EQ(view().m_framesPerColumn, view().maxFramesPerColumn());
    EXPECT_EQ(view().m_framesPerColumn, 125);
    EXPECT_EQ(view().scrollFrame(), 0u);
}

TEST_F(LongFile, CtrlArrowsSelectTheNeighbourBreakPointAndShowIt) {
    view().m_breakPoints = {5'000, 90'000, 100, 50'000, 50'000};
    // No selection, and the cursor is at the end: Ctrl+Left starts from the end of the file.
    const struct {
        Qt::Key key;
        int selected;
    } presses[] = {{Qt::Key_Right, -1},    {Qt::Key_Left, 90'000},  {Qt::Key_Left, 50'000},
                   {Qt::Key_Left, 5'000},  {Qt::Key_Left, 100},     {Qt::Key_Left, 100},
                   {Qt::Key_Right, 5'000}, {Qt::Key_Right, 50'000}, {Qt::Key_Right, 90'000}};
    for (const auto& press : presses) {
        ctrlKey(view(), press.key);
        EXPECT_EQ(view().m_selectedBreakPoint, press.selected);
        if (press.selected >= 0) {
            const int x = view().frameScale().columnOf(press.selected);
            EXPECT_TRUE(x >= 0 && x < 800) << press.selected << " at column " << x;
        }
    }
    // The list itself is untouched.
    EXPECT_EQ(view().m_breakPoints, (BreakPointList{5'000, 90'000, 100, 50'000, 50'000}));
}

TEST_F(LongFile, OverviewClickAndDragScrollTheView) {
    COverviewStrip overview(*harness.view);
    overview.resize(1000, 48);
    // Column 500 of 1000 shows frame 50000: the view shows it in its middle.
    QTest::mousePress(&overview, Qt::LeftButton, Qt::NoModifier, QPoint(500, 20));
    EXPECT_EQ(view().scrollFrame(), 50'000u - 400u);
    QMouseEvent drag(QEvent::MouseMove, QPointF(2, 20), QPointF(overview.mapToGlobal(QPoint(2, 20))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&overview, &drag);
    EXPECT_EQ(view().scrollFrame(), 0u);
    view().zoomTo(8, 0);
    QTest::mousePress(&overview, Qt::LeftButton, Qt::NoModifier, QPoint(999, 20));
    EXPECT_EQ(view().scrollFrame(), 100'000u - 6'400u);
    EXPECT_EQ(overview.columnOf(50'000), 500);
}

// A 12-hour file (607,621 frames) in a strip 997 columns wide: the frames per column are no whole
// number, so a column's first frame is x * F / w, rounded down, not x * (F / w).
TEST(OverviewStrip, ColumnsOfALongFileSpreadEveryFrame) {
    ViewHarness harness(800, 300);
    constexpr long long kFrames = 607'621;
    harness.setLevels(std::vector<int>(kFrames, 1000));
    COverviewStrip overview(*harness.view);
    overview.resize(997, 48);
    const struct {
        int x;
        long long frame;
    } cases[] = {{0, 0}, {1, 609}, {498, 303'505}, {996, 607'011}, {997, kFrames}, {5000, kFrames}};
    for (const auto& c : cases) {
        EXPECT_EQ(overview.frameAt(c.x), c.frame) << c.x;
        if (c.x > 0 && c.x < 997) {
            // A column's first frame is drawn in that column, and the frame before it in the one before.
            EXPECT_EQ(overview.columnOf(c.frame), c.x) << c.x;
            EXPECT_EQ(overview.columnOf(c.frame - 1), c.x - 1) << c.x;
        }
    }
    EXPECT_EQ(overview.columnOf(kFrames - 1), 996);
    // A click on the last column centres its first frame.
    QTest::mousePress(&overview, Qt::LeftButton, Qt::NoModifier, QPoint(996, 20));
    EXPECT_EQ(harness.view->scrollFrame(), 607'011u - 400u);
}

// The time pane for a file opening with an Info frame (44.1 kHz, 1152 samples per frame) and for
// one without (22.05 kHz MPEG-2, 576 samples per frame), to the nearest millisecond: frame 39 starts
// 38 x 1152 / 44100 = 992.65 ms and 39 x 576 / 22050 = 1018.78 ms in. The lengths are the audio
// frames ffprobe counts (78 and 79) times the same: 2037.55 ms and 2063.67 ms.
TEST(TimePane, CountsFromTheFirstFrameOfAudio) {
    const struct {
        const char* file;
        const char* cursorAt39;
        const char* pointerAt10;
        const char* cursorAt0;
    } cases[] = {
        {"cbr128.mp3", "Length 0:00:02.038  Cursor 0:00:00.993", "Pointer 0:00:00.235",
         "Length 0:00:02.038  Cursor 0:00:00.000"},
        {"mpeg2-mono.mp3", "Length 0:00:02.064  Cursor 0:00:01.019", "Pointer 0:00:00.261",
         "Length 0:00:02.064  Cursor 0:00:00.000"},
    };
    for (const auto& c : cases) {
        ViewHarness harness(800, 300);
        harness.load(testing_support::fixture(c.file));
        CTimePane pane(*harness.view);
        harness.view->player().moveCursorTo(0);
        harness.pointAt(QPoint(-50, -50));
        pane.refresh();
        EXPECT_EQ(pane.text().toStdString(), c.cursorAt0) << c.file;
        harness.view->player().moveCursorTo(39);
        pane.refresh();
        EXPECT_EQ(pane.text().toStdString(), c.cursorAt39) << c.file;
        harness.pointAt(QPoint(10, 200));
        pane.refresh();
        EXPECT_EQ(pane.text().toStdString(), std::string(c.cursorAt39) + "  " + c.pointerAt10) << c.file;
    }
}

} // namespace
