#include "ViewHarness.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const DrawParameters kParams = defaultDrawParameters();

// Rows in the wave colour in column x of the wave area (the middle line cuts one out).
int waveHeight(const QImage& image, int x, int top, int bottom) {
    int rows = 0;
    for (int y = top; y < bottom; ++y) {
        rows += image.pixel(x, y) == rgbOf(kParams.waveColor) ? 1 : 0;
    }
    return rows;
}

// A wave area 400 rows high. Every frame at level 8000: A = 8000 / 32767 * 400 = 97 rows.
class LevelPaint : public ::testing::Test {
protected:
    LevelPaint() : harness(600, HEADER_HEIGHT + 400) {
        harness.setLevels(std::vector<int>(1200, 8000)); // two frames per column fit
        CChildView& view = *harness.view;
        view.m_sampleRate = 44100;
        view.m_samplesPerFrame = 1152;
        view.replaceBreakPoints({100, 200, 301});
    }
    int heightAt(const QImage& image, int frame) const {
        return waveHeight(image, frame, harness.top(), harness.bottom());
    }
    ViewHarness harness;
};

TEST_F(LevelPaint, ColumnsShowTheLevelsTheEditsMake) {
    CChildView& view = *harness.view;
    const QImage before = harness.render();
    EXPECT_EQ(heightAt(before, 151), 96); // 97 less the middle line's row

    view.setGain(1, 4);  // 2^(4/4): twice as loud
    view.setGain(2, -4); // half
    // Block 3 fades in over 12 granules (6 frames): silent, -40 steps; -36, -33; -29, -25; -22, -18;
    // -15, -11; -7, -4.
    BlockEdit fade = view.blockEdit(3);
    fade.fadeInMs = 157; // 157 ms at 44100 Hz: 12 granules of 576 samples
    view.setBlockEdit(3, fade);
    const QImage after = harness.render();
    // The frames checked lie clear of the break point marks and of the grid columns (multiples of
    // 25). Level 8000: 97 rows, 16000: 195, 4000: 48, each less the middle line.
    EXPECT_EQ(heightAt(after, 95), 96);
    EXPECT_EQ(heightAt(after, 151), 194);
    EXPECT_EQ(heightAt(after, 251), 47);
    // Frame 305: its louder granule at -11 steps, 8000 * 2^(-11/4) = 1189: 14 rows.
    EXPECT_EQ(heightAt(after, 305), 13);
    // Frame 306: -4 steps, half: 48 rows.
    EXPECT_EQ(heightAt(after, 306), 47);
    EXPECT_EQ(heightAt(after, 308), 96);

    // Undo takes the fade back, and the view follows.
    ASSERT_TRUE(view.undoEdit());
    EXPECT_EQ(heightAt(harness.render(), 305), 96);
}

TEST_F(LevelPaint, ZoomedOutColumnsShowTheLoudestChangedFrame) {
    CChildView& view = *harness.view;
    view.setGain(-1, -4); // the whole file at half
    view.zoomTo(2, 0);
    ASSERT_EQ(view.m_framesPerColumn, 2);
    const QImage image = harness.render();
    EXPECT_EQ(heightAt(image, 10), 47);
    view.setGain(2, 0); // frames 200..300 back as they were: columns 100..150
    const QImage after = harness.render();
    EXPECT_EQ(heightAt(after, 120), 96);
    EXPECT_EQ(heightAt(after, 10), 47);
}

} // namespace
