#include "ViewHarness.h"

#include <gtest/gtest.h>

namespace {

const DrawParameters kParams = defaultDrawParameters();

// A wave area 500 rows high (T = 70, B = 570) and 800 columns wide.
class WavePixels : public ::testing::Test {
protected:
    WavePixels() : harness(800, HEADER_HEIGHT + 500) {}

    QRgb at(const QImage& image, int x, int y) const { return image.pixel(x, y); }

    ViewHarness harness;
    const int T = HEADER_HEIGHT;
    const int B = HEADER_HEIGHT + 500;
};

// Rows covered by the wave colour in column x, from `from` to `to` inclusive.
std::vector<int> waveRows(const QImage& image, int x, int from, int to) {
    std::vector<int> rows;
    for (int y = from; y <= to; ++y) {
        if (image.pixel(x, y) == rgbOf(kParams.waveColor)) {
            rows.push_back(y);
        }
    }
    return rows;
}

TEST_F(WavePixels, ColumnHeightFollowsTheLevel) {
    std::vector<int> levels(400, 0);
    levels[1] = 16384;
    levels[3] = 32767;
    levels[104] = 37767;
    levels[110] = 37767;
    harness.setLevels(levels);
    const QImage image = harness.render();
    const int middle = T + 500 / 2 - 2;

    // Level 16384: A = 250, y0 = T + 123, rows T+123 .. T+372, cut by the middle line.
    std::vector<int> half = waveRows(image, 1, 0, B - 1);
    std::vector<int> expected;
    for (int y = T + 123; y <= T + 372; ++y) {
        if (y != middle) {
            expected.push_back(y);
        }
    }
    EXPECT_EQ(half, expected);
    EXPECT_EQ(at(image, 1, middle), rgbOf(kParams.backgroundColor));

    // Level 32767: from T - 2 to B - 2, the end row left out, over the 3-pixel top grid line.
    const std::vector<int> full = waveRows(image, 3, 0, B - 1);
    ASSERT_FALSE(full.empty());
    EXPECT_EQ(full.front(), T - 2);
    EXPECT_EQ(full.back(), B - 3);
    EXPECT_EQ(full.size(), 500u - 1u);

    // Level 37767: y0 = T - 40. Column 110 lies between two labels and shows through the header
    // band from row 30; column 104 lies in the first label's box, which covers rows 53 to 64.
    const std::vector<int> between = waveRows(image, 110, 0, T);
    ASSERT_FALSE(between.empty());
    EXPECT_EQ(between.front(), T - 40);
    EXPECT_EQ(waveRows(image, 110, 53, 64).size(), 12u);
    EXPECT_TRUE(waveRows(image, 104, 53, 64).empty());
    EXPECT_EQ(waveRows(image, 104, 30, 52).size(), 23u);
    EXPECT_EQ(waveRows(image, 104, 65, 69).size(), 5u);
    // A level of 0 draws nothing.
    EXPECT_TRUE(waveRows(image, 2, 0, B - 1).empty());
}

TEST_F(WavePixels, GridLinesInBothFocusStates) {
    harness.setLevels({});
    const int step = 50;
    for (const bool focused : {true, false}) {
        harness.focused = focused;
        const QImage image = harness.render();
        const QRgb dim = rgbOf(kParams.dimColor);
        const QRgb top = focused ? rgbOf(kParams.markColor) : dim;
        const QRgb accent = focused ? rgbOf(kParams.gridColor) : dim;
        // The top line is 3 pixels wide, centred on the top edge of the wave area.
        for (int y : {T - 1, T, T + 1}) {
            EXPECT_EQ(at(image, 400, y), top) << "row " << y;
        }
        EXPECT_EQ(at(image, 400, T + 2), rgbOf(kParams.backgroundColor));
        for (int i = 1; i < 10; ++i) {
            const QRgb expected = (i == 2 || i == 8) ? accent : dim;
            EXPECT_EQ(at(image, 0, T + i * step), expected) << "line " << i;
            EXPECT_EQ(at(image, 799, T + i * step), expected) << "line " << i;
            EXPECT_EQ(at(image, 400, T + i * step + 1), rgbOf(kParams.backgroundColor)) << "line " << i;
        }
        // No line at the bottom edge.
        EXPECT_EQ(at(image, 400, B - 1), rgbOf(kParams.backgroundColor));
    }
}

TEST_F(WavePixels, GridColumnsEvery25And100Frames) {
    harness.setLevels(std::vector<int>(400, 16384));
    for (const bool focused : {true, false}) {
        harness.focused = focused;
        const QImage image = harness.render();
        const QRgb dim = rgbOf(kParams.dimColor);
        const QRgb hundred = focused ? rgbOf(kParams.gridColor) : dim;
        const QRgb wave = focused ? rgbOf(kParams.waveColor) : dim;
        struct Case {
            int frame;
            QRgb colour;
        };
        // Frame 0 is a multiple of 100 as well, so it takes the 100-frame pen.
        for (const Case& c : {Case{0, hundred}, Case{25, dim}, Case{50, dim}, Case{75, dim},
                              Case{100, hundred}, Case{200, hundred}, Case{225, dim}}) {
            // Full height over the wave column, end row left out.
            EXPECT_EQ(at(image, c.frame, T + 10), c.colour) << "frame " << c.frame;
            EXPECT_EQ(at(image, c.frame, T + 210), c.colour) << "frame " << c.frame;
            EXPECT_EQ(at(image, c.frame, B - 1), c.colour) << "frame " << c.frame;
        }
        EXPECT_EQ(at(image, 26, T + 210), wave);
        EXPECT_EQ(at(image, 26, T + 10), rgbOf(kParams.backgroundColor));
    }
}

TEST_F(WavePixels, ColumnsStopAfterTheLastFrame) {
    harness.setLevels(std::vector<int>(300, 16384));
    const QImage image = harness.render();
    EXPECT_EQ(at(image, 299, T + 210), rgbOf(kParams.waveColor));
    // Frame 300 does not exist: no column, and no 25-frame grid column either.
    for (int x : {300, 301, 799}) {
        EXPECT_EQ(at(image, x, T + 210), rgbOf(kParams.backgroundColor)) << x;
        EXPECT_EQ(at(image, x, T + 10), rgbOf(kParams.backgroundColor)) << x;
    }
    // The horizontal grid goes on.
    EXPECT_EQ(at(image, 500, T + 100), rgbOf(kParams.gridColor));
}

TEST_F(WavePixels, ScrolledColumnsShowTheirOwnFrames) {
    std::vector<int> levels(5000, 0);
    levels[1003] = 16384;
    harness.setLevels(levels);
    harness.view->m_scrollFrame = 1000;
    const QImage image = harness.render();
    EXPECT_EQ(at(image, 3, T + 210), rgbOf(kParams.waveColor));
    EXPECT_EQ(at(image, 0, T + 10), rgbOf(kParams.gridColor)); // frame 1000
    EXPECT_EQ(at(image, 25, T + 10), rgbOf(kParams.dimColor)); // frame 1025
}

TEST_F(WavePixels, WhileLoadingOnlyBackgroundAndGrid) {
    harness.setLevels(std::vector<int>(400, 16384));
    harness.startLoading();
    const QImage image = harness.render();
    for (int x : {0, 1, 100, 200}) {
        EXPECT_EQ(at(image, x, T + 210), rgbOf(kParams.backgroundColor)) << x;
    }
    EXPECT_EQ(at(image, 100, T + 100), rgbOf(kParams.gridColor));
    EXPECT_EQ(at(image, 100, T), rgbOf(kParams.markColor));
}

TEST_F(WavePixels, EmptyFileShowsBackgroundAndGridOnly) {
    const QImage image = harness.render();
    for (int x : {0, 25, 100, 799}) {
        EXPECT_EQ(at(image, x, T + 210), rgbOf(kParams.backgroundColor)) << x;
        EXPECT_EQ(at(image, x, T + 248), rgbOf(kParams.backgroundColor)) << x;
    }
    EXPECT_EQ(at(image, 10, T + 150), rgbOf(kParams.dimColor));
}

} // namespace
