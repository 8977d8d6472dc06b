#include "ViewHarness.h"

#include "view/BreakPointsPainter.h"

#include <QFontMetrics>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

const DrawParameters kParams = defaultDrawParameters();

// A wave area 400 rows high (T = 70, B = 470) and 800 columns wide.
class ZoomPixels : public ::testing::Test {
protected:
    ZoomPixels() : harness(800, HEADER_HEIGHT + 400) {}

    CChildView& view() { return *harness.view; }
    // The rows of column x in the wave colour, above the middle line.
    int waveRowsAbove(const QImage& image, int x) const {
        int rows = 0;
        for (int y = T; y < middle; ++y) {
            rows += image.pixel(x, y) == rgbOf(kParams.waveColor) ? 1 : 0;
        }
        return rows;
    }

    ViewHarness harness;
    const int T = HEADER_HEIGHT;
    const int middle = HEADER_HEIGHT + 200 - 2;
};

void expectLabel(const QImage& image, const QRect& rect, const QString& text) {
    const QImage expected = referenceText(rect.size(), text, rgbOf(kParams.textColor),
                                          rgbOf(kParams.backgroundColor), Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_EQ(crop(image, rect), expected) << text.toStdString();
}

// Levels that differ from frame to frame, so that a column showing the wrong frame of its pair shows.
std::vector<int> steppedLevels(int frames) {
    std::vector<int> levels(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        levels[static_cast<std::size_t>(i)] = (i * 7919) % 30011;
    }
    return levels;
}

// Rows of wave colour above the middle line for a level, counted like the pixels (the top grid line
// is 3 rows wide and lies under the wave columns).
int rowsAbove(int level, int top, int middle) {
    const int h = 400;
    const int a = static_cast<int>(level / 32767.0 * h);
    const int y0 = top + (h - a) / 2 - 2;
    return std::max(0, std::min(middle, y0 + a) - std::max(top, y0));
}

TEST_F(ZoomPixels, TwoFramesPerColumnShowTheLouderOfThePair) {
    const std::vector<int> levels = steppedLevels(1700);
    harness.setLevels(levels);
    view().zoomTo(2, 0);
    ASSERT_EQ(view().m_framesPerColumn, 2);
    view().scrollTo(50);
    const QImage image = harness.render();
    for (int x = 0; x < 800; ++x) {
        const long long f = 50 + 2LL * x;
        const bool grid = (f + 24) / 25 * 25 < f + 2;
        if (grid) {
            // A grid column lies over the wave: 100-frame ones in the grid colour, the others dim.
            const bool hundred = (f + 99) / 100 * 100 < f + 2;
            EXPECT_EQ(image.pixel(x, T + 10), rgbOf(hundred ? kParams.gridColor : kParams.dimColor)) << x;
            continue;
        }
        const int level =
            std::max(levels[static_cast<std::size_t>(f)], levels[static_cast<std::size_t>(f + 1)]);
        ASSERT_EQ(waveRowsAbove(image, x), rowsAbove(level, T, middle)) << "column " << x;
    }
    expectLabel(image, QRect(225, 53, 150, 12), "RANGE: 50 F - 1650 F");
    expectLabel(image, QRect(605, 53, 100, 12), "ZOOM: 1:2");
}

TEST_F(ZoomPixels, WholeFileFitsWithTheCoarserGrid) {
    std::vector<int> levels(5000, 0);
    levels[4999] = 30000; // the last frame shows in the last column of the file
    levels[1234] = 20000;
    harness.setLevels(levels);
    view().zoomToWholeFile();
    // 800 columns of 7 frames hold 5600 frames: the file fits, 6 frames per column would not.
    ASSERT_EQ(view().m_framesPerColumn, 7);
    EXPECT_EQ(view().scrollFrame(), 0u);
    const QImage image = harness.render();
    EXPECT_EQ(waveRowsAbove(image, 4999 / 7), rowsAbove(30000, T, middle));
    EXPECT_EQ(waveRowsAbove(image, 1234 / 7), rowsAbove(20000, T, middle));
    // 25 frames would be under 4 pixels apart: the grid falls every 100 frames, brighter every 1000.
    const int gridRow = T + 10;
    EXPECT_EQ(image.pixel(25 / 7, gridRow), rgbOf(kParams.backgroundColor));
    EXPECT_EQ(image.pixel(100 / 7, gridRow), rgbOf(kParams.dimColor));
    EXPECT_EQ(image.pixel(1000 / 7, gridRow), rgbOf(kParams.gridColor));
    EXPECT_EQ(image.pixel(0, gridRow), rgbOf(kParams.gridColor));
    // Right of the file's last column only the horizontal grid lines are drawn.
    for (int x = 4999 / 7 + 1; x < 800; ++x) {
        ASSERT_EQ(image.pixel(x, gridRow), rgbOf(kParams.backgroundColor)) << x;
    }
    expectLabel(image, QRect(225, 53, 150, 12), "RANGE: 0 F - 5000 F");
    expectLabel(image, QRect(605, 53, 100, 12), "ZOOM: 1:7");
    // The zoom label is not drawn at one frame per column.
    view().zoomToOneFramePerColumn();
    const QImage one = harness.render();
    for (int x = 605; x < 705; ++x) {
        ASSERT_EQ(one.pixel(x, 58), rgbOf(kParams.backgroundColor)) << x;
    }
}

// The rectangle a mark's text and buttons take, from its column.
QRect headOf(int x, BreakPoint value) {
    const QFontMetrics metrics(fontFromLogFont(kParams.font));
    const int textWidth = metrics.horizontalAdvance(QString("BP: %1 F").arg(value));
    return QRect(QPoint(x + 5, HEADER_HEIGHT - 1 + 7),
                 QPoint(x + std::max(50, 5 + textWidth) - 1, HEADER_HEIGHT + 40));
}

TEST_F(ZoomPixels, ThousandMarksAtWholeFileZoomNeverCoverEachOther) {
    harness.setLevels(std::vector<int>(300'000, 25000));
    std::mt19937 random(12);
    BreakPointList list;
    for (int i = 0; i < 1000; ++i) {
        list.push_back(static_cast<int>(random() % 300'000));
    }
    // A run of close marks, duplicates, and lonely ones with room to spare.
    for (const int b : {1000, 1000, 1100, 1200, 150'000, 290'000}) {
        list.push_back(b);
    }
    view().m_breakPoints = list;
    view().zoomToWholeFile();
    const FrameScale scale = view().frameScale();
    ASSERT_GT(scale.framesPerColumn, 300);
    const QImage image = harness.render();

    // Group the buttons of the last paint into strips by break point.
    const auto& buttons = view().buttons();
    ASSERT_EQ(buttons.size() % 3, 0u);
    ASSERT_FALSE(buttons.empty());
    std::vector<QRect> heads;
    for (std::size_t i = 0; i < buttons.size(); i += 3) {
        const BreakPoint b = buttons[i]->breakPoint;
        const int x = scale.columnOf(b);
        EXPECT_EQ(buttons[i]->area, QRect(x + 5, HEADER_HEIGHT + 6, 13, 13));
        EXPECT_EQ(buttons[i + 2]->area, QRect(x + 37, HEADER_HEIGHT + 6, 13, 13));
        heads.push_back(headOf(x, b));
    }
    for (std::size_t i = 0; i < heads.size(); ++i) {
        for (std::size_t j = i + 1; j < heads.size(); ++j) {
            ASSERT_FALSE(heads[i].intersects(heads[j]))
                << buttons[3 * i]->breakPoint << " and " << buttons[3 * j]->breakPoint << " at "
                << heads[i].x() << " " << heads[j].x();
        }
        // No mark's lines run through a text or a button.
        for (const BreakPoint b : list) {
            const int x = scale.columnOf(b);
            ASSERT_FALSE(heads[i].intersects(QRect(x - 3, HEADER_HEIGHT - 1, 7, 400))) << "mark " << b;
        }
    }
    // The lonely mark at 150000 has its buttons, and a hit test finds them where they are drawn.
    const int lonely = scale.columnOf(150'000);
    const bool lonelyHasRoom = std::none_of(list.begin(), list.end(), [&](BreakPoint b) {
        const int x = scale.columnOf(b);
        return b != 150'000 && x > lonely - 4 && x < lonely + 60;
    });
    if (lonelyHasRoom) {
        const auto hit = view().hitButton(QPoint(lonely + 40, HEADER_HEIGHT + 10));
        ASSERT_TRUE(hit.has_value());
        EXPECT_EQ(hit->letter, u'P');
        EXPECT_EQ(hit->breakPoint, 150'000);
    }
    // Every mark gets its tick over the wave.
    for (const BreakPoint b : list) {
        ASSERT_EQ(image.pixel(scale.columnOf(b), HEADER_HEIGHT + 4), rgbOf(kParams.markColor)) << b;
    }
}

// With direct pixel access and through the painter alone, zoomed-out marks give the same picture.
TEST_F(ZoomPixels, ZoomedMarksDrawnDirectlyEqualThePainter) {
    std::vector<int> levels(800, 0);
    for (std::size_t i = 0; i < levels.size(); i += 3) {
        levels[i] = 30000;
    }
    harness.setLevels(levels);
    const QImage under = harness.render();
    const BreakPointList list = {100, 103, 110, 200, 200, 204, 450, 799, 0, 1, 2000, 2300};
    for (const bool focused : {true, false}) {
        harness.focused = focused;
        QImage pictures[2];
        for (const bool clipped : {false, true}) {
            QImage image = under.copy();
            QPainter dc(&image);
            dc.setBackgroundMode(Qt::OpaqueMode);
            if (clipped) {
                dc.setClipRect(image.rect());
            }
            BreakPointsPainter::Buttons buttons;
            BreakPointsPainter(dc, image.rect(), kParams, harness.frame, list, 103, 200, FrameScale{0, 4},
                               image.width(), buttons, QPoint(112, 80))
                .paint();
            dc.end();
            pictures[clipped ? 1 : 0] = image;
        }
        int differences = 0;
        for (int y = 0; y < pictures[0].height(); ++y) {
            for (int x = 0; x < pictures[0].width(); ++x) {
                if (pictures[0].pixel(x, y) != pictures[1].pixel(x, y) && ++differences <= 5) {
                    ADD_FAILURE() << "focused " << focused << " at " << x << "," << y << ": " << std::hex
                                  << pictures[0].pixel(x, y) << " vs " << pictures[1].pixel(x, y);
                }
            }
        }
        EXPECT_EQ(differences, 0);
    }
}

} // namespace
