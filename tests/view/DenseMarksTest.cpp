#include "ViewHarness.h"

#include "support/PacedSoundOutput.h"
#include "support/TestFiles.h"
#include "view/MarkLayout.h"
#include "view/OverviewStrip.h"
#include "view/RemovedBlocksPainter.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QToolTip>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <set>

namespace {

const DrawParameters kParams = defaultDrawParameters();

// A three-hour-like file: 400,000 frames whose levels change from column to column, with 1,566
// marks spread at random, in a view 1000 columns wide and 400 rows of wave.
class DenseMarks : public ::testing::Test {
protected:
    DenseMarks() : harness(1000, HEADER_HEIGHT + 400) {
        std::vector<int> levels(400'000);
        for (std::size_t i = 0; i < levels.size(); ++i) {
            levels[i] = static_cast<int>((i * 7919) % 26000) + 2000;
        }
        harness.setLevels(levels);
        std::mt19937 random(27);
        for (int i = 0; i < 1566; ++i) {
            marks.push_back(static_cast<int>(random() % 400'000));
        }
    }
    CChildView& view() { return *harness.view; }

    ViewHarness harness;
    BreakPointList marks;
    const int v = HEADER_HEIGHT - 1;
    // Below the texts and buttons of the marks that have room for them.
    const int belowHeads = HEADER_HEIGHT + 45;
};

// Lines closer than kLonelyGap columns to another lie behind the wave; a line with room around it
// is drawn in front, and such lines take at most one column in kLonelyGap.
TEST_F(DenseMarks, TheWaveStaysReadableUnderThousandsOfMarksAtEveryZoom) {
    const QRgb wave = rgbOf(kParams.waveColor);
    const QRgb mark = rgbOf(kParams.markColor);
    const QRgb quiet = quietLineColor(mark, rgbOf(kParams.backgroundColor));
    for (const int z : {2, 8, 64, 128, 400}) {
        view().m_breakPoints.clear();
        view().zoomTo(z, 0);
        view().scrollTo(100'000);
        const QImage bare = harness.render();
        view().m_breakPoints = marks;
        const QImage marked = harness.render();
        const FrameScale scale = view().frameScale();
        std::set<int> markedColumns;
        for (const BreakPoint b : marks) {
            const int x = scale.columnOf(b);
            if (x >= 0 && x < 1000) {
                markedColumns.insert(x);
            }
        }
        ASSERT_FALSE(markedColumns.empty());
        std::set<int> lonely;
        for (const int x : markedColumns) {
            const auto next = markedColumns.upper_bound(x);
            const auto at = markedColumns.find(x);
            const bool clearLeft = at == markedColumns.begin() || x - *std::prev(at) >= kLonelyGap;
            const bool clearRight = next == markedColumns.end() || *next - x >= kLonelyGap;
            if (clearLeft && clearRight) {
                lonely.insert(x);
            }
        }
        int wavePixels = 0;
        int lost = 0;
        for (int y = belowHeads; y < marked.height(); ++y) {
            for (int x = 0; x < marked.width(); ++x) {
                if (lonely.count(x)) {
                    ASSERT_EQ(marked.pixel(x, y), mark) << "1:" << z << " at " << x << "," << y;
                } else if (bare.pixel(x, y) == wave) {
                    ++wavePixels;
                    lost += marked.pixel(x, y) != wave ? 1 : 0;
                } else if (!markedColumns.count(x)) {
                    // Away from the marks' columns nothing changes at all.
                    ASSERT_EQ(marked.pixel(x, y), bare.pixel(x, y)) << "1:" << z << " at " << x << "," << y;
                }
            }
        }
        EXPECT_LE(static_cast<int>(lonely.size()) * kLonelyGap, 1000 + kLonelyGap) << "1:" << z;
        EXPECT_GT(wavePixels, 10'000) << "1:" << z;
        EXPECT_EQ(lost, 0) << "wave pixels covered by marks at 1:" << z;
        // Every column with marks has its tick, and a line where the wave leaves room.
        for (const int x : markedColumns) {
            ASSERT_EQ(marked.pixel(x, v + 5), mark) << "1:" << z << " column " << x;
            // A quiet line leaves a grid column's pixels as they were.
            const QRgb beneath = bare.pixel(x, marked.height() - 1);
            const QRgb expected = lonely.count(x)                             ? mark
                                  : beneath == rgbOf(kParams.backgroundColor) ? quiet
                                                                              : beneath;
            ASSERT_EQ(marked.pixel(x, marked.height() - 1), expected) << "1:" << z << " column " << x;
        }
        if (z >= 64) {
            EXPECT_LT(lonely.size(), markedColumns.size() / 4) << "1:" << z << ": the marks lie densely";
        }
    }
}

// The ticks hang below the three-row top line with a clear row between, so that at whole-file zoom,
// with a tick in nearly every column, the line still reads as a line and not as the top of a bar.
TEST_F(DenseMarks, TheTickCombStandsApartFromTheTopLine) {
    view().zoomToWholeFile();
    view().m_breakPoints.clear();
    const QImage bare = harness.render();
    view().m_breakPoints = marks;
    const QImage marked = harness.render();
    const QRgb mark = rgbOf(kParams.markColor);
    const FrameScale scale = view().frameScale();
    std::set<int> markedColumns;
    for (const BreakPoint b : marks) {
        markedColumns.insert(scale.columnOf(b));
    }
    ASSERT_GT(markedColumns.size(), 700u);
    for (int x = 0; x < 1000; ++x) {
        // The top line's rows v..v+2 and the row below them stay as without marks.
        for (int y = v; y <= v + 3; ++y) {
            ASSERT_EQ(marked.pixel(x, y), bare.pixel(x, y)) << x << "," << y;
        }
        if (markedColumns.count(x)) {
            ASSERT_EQ(marked.pixel(x, v + 5), mark) << x;
        }
    }
}

TEST_F(DenseMarks, MarksInOneColumnAreOneLineWithACount) {
    harness.setLevels(std::vector<int>(4000, 0));
    view().zoomTo(4, 0);
    // Three marks in column 100, one alone in column 200, in list order.
    view().m_breakPoints = {402, 800, 400, 401};
    const QImage image = harness.render();
    const QRgb mark = rgbOf(kParams.markColor);
    const QRgb black = rgbOf(kParams.backgroundColor);
    const QFontMetrics metrics(fontFromLogFont(kParams.font));
    const QRect count(105, v + 23, metrics.horizontalAdvance("3 BP"), metrics.height());
    EXPECT_EQ(crop(image, count), referenceText(count.size(), "3 BP", mark, black, 0));
    const QRect single(205, v + 23, metrics.horizontalAdvance("BP: 800 F"), metrics.height());
    EXPECT_EQ(crop(image, single), referenceText(single.size(), "BP: 800 F", mark, black, 0));
    // One thin line each, in front as they lie far apart: nothing drawn beside them.
    for (const int x : {100, 200}) {
        EXPECT_EQ(image.pixel(x, HEADER_HEIGHT + 300), mark) << x;
        EXPECT_EQ(image.pixel(x - 1, HEADER_HEIGHT + 300), black) << x;
        EXPECT_EQ(image.pixel(x + 1, HEADER_HEIGHT + 300), black) << x;
    }
    // Buttons act on one mark: only the lonely one has them.
    ASSERT_EQ(view().buttons().size(), 3u);
    EXPECT_EQ(view().buttons()[0]->breakPoint, 800);

    // Selected or hovered, a column's line is drawn over the wave in its state's colour.
    view().m_selectedBreakPoint = 401;
    view().m_hoverBreakPoint = 800;
    const QImage states = harness.render();
    EXPECT_EQ(states.pixel(100, HEADER_HEIGHT + 300), rgbOf(kParams.selectedColor));
    EXPECT_EQ(states.pixel(200, HEADER_HEIGHT + 300), rgbOf(kParams.highlightColor));
    // The dotted selection markers three columns to either side: one dot in every three rows.
    for (const int x : {97, 103}) {
        int dots = 0;
        for (int y = HEADER_HEIGHT + 300; y < HEADER_HEIGHT + 303; ++y) {
            dots += states.pixel(x, y) == rgbOf(kParams.highlightColor) ? 1 : 0;
        }
        EXPECT_EQ(dots, 1) << x;
    }
}

TEST_F(DenseMarks, TheOverviewDrawsTicksAboveTheLevels) {
    COverviewStrip overview(*harness.view);
    overview.resize(1000, 48);
    view().m_breakPoints.clear();
    const QImage bare = overview.grab().toImage().convertToFormat(QImage::Format_RGB32);
    view().m_breakPoints = marks;
    const QImage marked = overview.grab().toImage().convertToFormat(QImage::Format_RGB32);
    std::set<int> columns;
    for (const BreakPoint b : marks) {
        columns.insert(overview.columnOf(b));
    }
    for (int x = 0; x < 1000; ++x) {
        // The frame of the shown frames and the play cursor lie over the ticks at a few columns.
        if (bare.pixel(x, 2) == rgbOf(kParams.backgroundColor)) {
            ASSERT_EQ(marked.pixel(x, 2) == rgbOf(kParams.markColor), columns.count(x) == 1) << x;
        }
        // The levels' rows are the same with and without marks.
        for (int y = 8; y < 48; ++y) {
            ASSERT_EQ(marked.pixel(x, y), bare.pixel(x, y)) << x << "," << y;
        }
    }
    // The levels are there below the ticks.
    int levelPixels = 0;
    for (int x = 0; x < 1000; ++x) {
        levelPixels += marked.pixel(x, 27) == rgbOf(kParams.waveColor) ? 1 : 0;
    }
    EXPECT_GT(levelPixels, 900);
}

// The reported fault: at whole-file zoom a click between marks grabbed one of them.
TEST_F(DenseMarks, AtWholeFileZoomAClickOffTheLinesMovesTheCursor) {
    view().m_breakPoints = marks;
    view().zoomToWholeFile();
    harness.render();
    const FrameScale scale = view().frameScale();
    std::vector<int> perColumn(1000, 0);
    for (const BreakPoint b : marks) {
        ++perColumn[static_cast<std::size_t>(scale.columnOf(b))];
    }
    int tried = 0;
    for (int x = 2; x < 998 && tried < 20; ++x) {
        const bool free = perColumn[x - 1] == 0 && perColumn[x] == 0 && perColumn[x + 1] == 0;
        const bool crowded = perColumn[x] > 1;
        if (!free && !crowded) {
            continue;
        }
        ++tried;
        harness.click(QPoint(x, HEADER_HEIGHT + 200));
        EXPECT_EQ(view().m_selectedBreakPoint, -1) << "column " << x << " holds " << perColumn[x];
        EXPECT_EQ(view().m_cursor.frameNumber(), -1) << "no audio: the cursor stays at the end";
        EXPECT_EQ(view().m_breakPoints, marks);
    }
    EXPECT_GE(tried, 10);
}

// The ten-second fixture (385 frames) in a view 100 columns wide, at 3 frames per column from frame 30.
class ZoomedHits : public ::testing::Test {
protected:
    ZoomedHits() : harness(100, 400) {
        harness.load(testing_support::fixture("ten-seconds.mp3"));
        harness.view->zoomTo(3, 0);
        harness.view->scrollTo(30);
        harness.frame.clearRecords();
    }
    CChildView& view() { return *harness.view; }
    int cursor() { return view().m_cursor.frameNumber(); }

    ViewHarness harness;
    const int row = 300;
};

TEST_F(ZoomedHits, AMarkIsGrabbedOnlyOnItsLineAndACrowdedLineMovesTheCursor) {
    const struct {
        const char* what;
        BreakPointList marks;
        int x;
        int selected; // -1: the click moved the cursor to the column's first frame
    } cases[] = {
        {"on the line", {90}, 20, 90},
        {"a column right of it", {90}, 21, 90},
        {"a column left of it", {90}, 19, 90},
        {"two columns away", {90}, 22, -1},
        {"two marks in the column", {90, 91}, 20, -1},
        {"next to a column of two", {90, 92}, 21, -1},
        {"between two lines", {87, 93}, 20, -1},
        {"on one of two neighbouring lines", {87, 90}, 20, 90},
    };
    for (const auto& c : cases) {
        view().m_breakPoints = c.marks;
        view().m_selectedBreakPoint = -1;
        view().player().moveCursorTo(0);
        harness.render();
        harness.click(QPoint(c.x, row));
        EXPECT_EQ(view().m_selectedBreakPoint, c.selected) << c.what;
        EXPECT_EQ(cursor(), c.selected == -1 ? 30 + 3 * c.x : 0) << c.what;
        EXPECT_EQ(view().m_breakPoints, c.marks) << c.what;
    }
}

TEST_F(ZoomedHits, TooltipsGiveTheMarksTimes) {
    // Frame 90 starts 89 x 1152 / 44100 s in (frame 0 is the Info frame): 2.3249 s.
    view().m_breakPoints = {90, 93, 94};
    harness.render();
    EXPECT_EQ(view().markTooltip(view().topmostHit(QPoint(20, row))),
              QStringLiteral("BP: 90 F  0:00:02.325"));
    // 93 and 94 share column 21: 92 x 1152 / 44100 = 2.4033 s and 93 x 1152 / 44100 = 2.4294 s.
    const MarkHit crowded = view().topmostHit(QPoint(21, row));
    EXPECT_EQ(crowded.kind, MarkHit::Kind::Crowded);
    EXPECT_EQ(view().markTooltip(crowded), QStringLiteral("2 BP: 0:00:02.403 - 0:00:02.429"));
    EXPECT_TRUE(view().markTooltip(view().topmostHit(QPoint(60, row))).isEmpty());
}

// Zooming while the file plays: the play position keeps its place on the screen.
class PlayingZoom : public ::testing::Test {
protected:
    PlayingZoom() {
        auto owned = std::make_unique<PacedSoundOutput>();
        output = owned.get();
        harness = std::make_unique<ViewHarness>(100, 400, std::move(owned));
        harness->load(testing_support::fixture("ten-seconds.mp3"));
        output->setFreeRunning(false);
        view().zoomToWholeFile();
        view().player().moveCursorTo(50);
        view().player().playToEnd();
        output->release(15);
        EXPECT_TRUE(output->waitForPlayed(15));
        EXPECT_TRUE(output->waitForQuiet());
    }
    ~PlayingZoom() override {
        output->setFreeRunning(true);
        view().player().stop();
    }
    CChildView& view() { return *harness->view; }
    int playColumn() { return view().frameScale().columnOf(view().player().playPosition()); }

    PacedSoundOutput* output = nullptr;
    std::unique_ptr<ViewHarness> harness;
};

TEST_F(PlayingZoom, ZoomCommandsZoomAroundThePlayPosition) {
    ASSERT_TRUE(view().player().isPlaying());
    ASSERT_EQ(view().m_framesPerColumn, 4);
    const int column = playColumn();
    ASSERT_GE(column, 0);
    ASSERT_LT(column, 30) << "left of the middle, where zooming around the middle would lose it";
    view().zoomIn();
    EXPECT_EQ(view().m_framesPerColumn, 2);
    EXPECT_EQ(playColumn(), column);
    view().zoomToOneFramePerColumn();
    EXPECT_EQ(view().m_framesPerColumn, 1);
    EXPECT_EQ(playColumn(), column);
    view().zoomOut();
    EXPECT_EQ(playColumn(), column);
}

// Quiet lines fill only the background: the play line and the hatching of removed blocks show
// through marks in every column, as the wave does.
TEST_F(PlayingZoom, ThePlayLineAndTheHatchingShowThroughDenseMarks) {
    ASSERT_TRUE(view().player().isPlaying());
    BreakPointList everyColumn;
    for (int f = 1; f < 385; f += 4) {
        everyColumn.push_back(f);
    }
    view().replaceBreakPoints(everyColumn);
    // The blocks of frames 201..296 removed one by one: columns 50..73, a mark in each.
    for (int f = 201; f < 297; f += 4) {
        ASSERT_TRUE(view().removeBlock(view().blockAt(f))) << f;
    }
    const QImage marked = harness->render();

    const QRgb background = rgbOf(kParams.backgroundColor);
    const QRgb quiet = quietLineColor(rgbOf(kParams.markColor), background);
    const QRgb play = rgbOf(kParams.playLineColor);
    const QRgb hatch = rgbOf(RemovedBlocksPainter::kHatchColor);
    const int playColumn = view().frameScale().columnOf(view().player().playPosition());
    ASSERT_LT(playColumn, 45);
    int playPixels = 0;
    int quietPixels = 0;
    for (int y = HEADER_HEIGHT + 45; y < marked.height() - 20; ++y) {
        playPixels += marked.pixel(playColumn, y) == play ? 1 : 0;
        for (int x = 0; x < 96; ++x) {
            quietPixels += marked.pixel(x, y) == quiet ? 1 : 0;
        }
    }
    EXPECT_GT(playPixels, 200);
    EXPECT_GT(quietPixels, 5000);
    int hatchPixels = 0;
    for (int x = 50; x < 74; ++x) {
        for (int y = HEADER_HEIGHT + 45; y < marked.height() - 20; ++y) {
            hatchPixels += marked.pixel(x, y) == hatch ? 1 : 0;
        }
    }
    // The hatch's diagonals cross every column; in an unmarked picture they take 1 pixel in 8.
    EXPECT_GT(hatchPixels, 24 * 250 / 8 / 2);
}

TEST_F(PlayingZoom, CtrlWheelZoomsAroundThePointerButKeepsThePlayPositionOnScreen) {
    ASSERT_TRUE(view().player().isPlaying());
    const QPoint pointer(90, 200);
    harness->pointAt(pointer);
    const int pointerFrame = view().pointerFrame();
    QWheelEvent in(QPointF(pointer), QPointF(view().mapToGlobal(pointer)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view(), &in);
    EXPECT_EQ(view().m_framesPerColumn, 2);
    // Zoomed around the pointer, the play position would have left on the left: the view moved
    // only as far as it takes to keep it.
    EXPECT_GE(playColumn(), 0);
    EXPECT_LE(playColumn(), 2);
    EXPECT_LT(view().scrollFrame(), static_cast<std::uint32_t>(pointerFrame - 90 * 2));
}

} // namespace
