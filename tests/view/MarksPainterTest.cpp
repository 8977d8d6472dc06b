#include "ViewHarness.h"

#include "support/TestFiles.h"
#include "view/BreakPointsPainter.h"

#include <gtest/gtest.h>

namespace {

const DrawParameters kParams = defaultDrawParameters();

class MarkPixels : public ::testing::Test {
protected:
    MarkPixels() : harness(800, HEADER_HEIGHT + 500) {}

    QRgb at(const QImage& image, int x, int y) const { return image.pixel(x, y); }
    // Every pixel of the rectangle (inclusive rows and columns) has the colour.
    bool filled(const QImage& image, QRect rect, QRgb colour) const {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                if (image.pixel(x, y) != colour) {
                    return false;
                }
            }
        }
        return true;
    }

    ViewHarness harness;
    const int B = HEADER_HEIGHT + 500;
};

TEST_F(MarkPixels, BreakPointMarkGeometry) {
    harness.setLevels(std::vector<int>(800, 0));
    harness.view->replaceBreakPoints({300});
    const QImage image = harness.render();
    const QRgb mark = rgbOf(kParams.markColor);
    const QRgb black = rgbOf(kParams.backgroundColor);

    // Thin lines at x - 2 and x + 2 from row 69 (one above the wave area) to the bottom.
    EXPECT_TRUE(filled(image, QRect(QPoint(298, 69), QPoint(298, B - 1)), mark));
    EXPECT_TRUE(filled(image, QRect(QPoint(302, 69), QPoint(302, B - 1)), mark));
    EXPECT_NE(at(image, 298, 68), mark);
    // The 3-pixel band between them hides the waveform and the grid.
    EXPECT_TRUE(filled(image, QRect(QPoint(299, 69), QPoint(301, B - 1)), black));
    EXPECT_EQ(at(image, 297, HEADER_HEIGHT + 100), rgbOf(kParams.gridColor));

    // Buttons on rows 76 to 88: S green at x + 5, R red at x + 21, P yellow at x + 37, 13 pixels square,
    // each with its dark letter centred.
    struct Button {
        int left;
        ColorRef unlit;
        QString letter;
    };
    for (const Button& button :
         {Button{305, kParams.greenOffColor, "S"}, Button{321, kParams.redOffColor, "R"},
          Button{337, kParams.yellowOffColor, "P"}}) {
        const QRect rect(button.left, 76, 13, 13);
        const QImage expected = referenceText(rect.size(), button.letter, rgbOf(kParams.darkTextColor),
                                              rgbOf(button.unlit), Qt::AlignCenter);
        EXPECT_EQ(crop(image, rect), expected) << button.letter.toStdString();
        EXPECT_NE(at(image, button.left, 75), rgbOf(button.unlit));
        EXPECT_NE(at(image, button.left, 89), rgbOf(button.unlit));
    }
    // The text from row 92, x + 5, in the mark colour on an opaque black cell.
    const QFontMetrics metrics(fontFromLogFont(kParams.font));
    const QRect textRect(305, 92, metrics.horizontalAdvance("BP: 300 F"), metrics.height());
    EXPECT_EQ(crop(image, textRect), referenceText(textRect.size(), "BP: 300 F", mark, black, 0));

    // Three buttons were kept for hit tests, in the order S, R, P.
    ASSERT_EQ(harness.view->buttons().size(), 3u);
    EXPECT_EQ(harness.view->buttons()[0]->letter, u'S');
    EXPECT_EQ(harness.view->buttons()[2]->area, QRect(337, 76, 13, 13));
}

TEST_F(MarkPixels, MarkColoursBySelectionHoverAndFocus) {
    harness.setLevels(std::vector<int>(800, 0));
    harness.view->replaceBreakPoints({100, 200, 300, 400});
    harness.view->m_selectedBreakPoint = 200;
    harness.view->m_hoverBreakPoint = 300;
    // 400 is both selected and hovered in the second round: selected wins.
    for (const bool focused : {true, false}) {
        harness.focused = focused;
        const QImage image = harness.render();
        const QRgb dim = rgbOf(kParams.dimColor);
        EXPECT_EQ(at(image, 98, 300), focused ? rgbOf(kParams.markColor) : dim);
        EXPECT_EQ(at(image, 198, 300), focused ? rgbOf(kParams.selectedColor) : dim);
        EXPECT_EQ(at(image, 298, 300), focused ? rgbOf(kParams.highlightColor) : dim);
        // Buttons keep their colours without the focus.
        EXPECT_EQ(at(image, 105, 76), rgbOf(kParams.greenOffColor));
    }
    harness.focused = true;
    harness.view->m_selectedBreakPoint = 400;
    harness.view->m_hoverBreakPoint = 400;
    EXPECT_EQ(at(harness.render(), 398, 300), rgbOf(kParams.selectedColor));
}

TEST_F(MarkPixels, SelectionMarkersAreDottedAndTransparent) {
    std::vector<int> levels(800, 0);
    levels[197] = 32767; // the wave shows through the gaps of the left marker
    harness.setLevels(levels);
    harness.view->replaceBreakPoints({200});
    harness.view->m_selectedBreakPoint = 200;
    for (const bool focused : {true, false}) {
        harness.focused = focused;
        const QImage image = harness.render();
        const QRgb marker = focused ? rgbOf(kParams.highlightColor) : rgbOf(kParams.dimColor);
        const QRgb wave = focused ? rgbOf(kParams.waveColor) : rgbOf(kParams.dimColor);
        EXPECT_EQ(at(image, 197, 69), marker);
        EXPECT_EQ(at(image, 203, 69), marker);
        int dots = 0;
        int gaps = 0;
        for (int y = 69; y < B - 1; ++y) {
            if (at(image, 197, y) == marker) {
                ++dots;
            } else {
                ++gaps;
                if (y > HEADER_HEIGHT + 2 && y < B - 4 && y != HEADER_HEIGHT + 248) {
                    EXPECT_EQ(at(image, 197, y), wave) << "row " << y;
                }
            }
        }
        EXPECT_GT(dots, 100);
        // Without the focus the wave under the gaps is dim too.
        EXPECT_GT(gaps, focused ? 100 : 0);
    }
}

TEST_F(MarkPixels, RowWiseMarksMatchMarksDrawnOneByOne) {
    // Marks close enough to cover each other's texts, buttons and selection markers.
    std::vector<int> levels(800, 0);
    for (std::size_t i = 0; i < levels.size(); i += 3) {
        levels[i] = 30000;
    }
    harness.setLevels(levels);
    const QImage under = harness.render();
    const BreakPointList list = {100, 103, 110, 200, 200, 204, 450, 799, 0, 1};
    auto paintMarks = [&](bool clipped) {
        QImage image = under.copy();
        QPainter dc(&image);
        dc.setBackgroundMode(Qt::OpaqueMode);
        if (clipped) {
            dc.setClipRect(image.rect()); // no direct pixel access: every mark drawn through the painter
        }
        BreakPointsPainter::Buttons buttons;
        BreakPointsPainter(dc, image.rect(), kParams, harness.frame, list, 103, 200, FrameScale{0, 1},
                           image.width(), buttons, QPoint(112, 80))
            .paint();
        dc.end();
        return image;
    };
    for (const bool focused : {true, false}) {
        harness.focused = focused;
        const QImage direct = paintMarks(false);
        const QImage drawn = paintMarks(true);
        int differences = 0;
        for (int y = 0; y < direct.height(); ++y) {
            for (int x = 0; x < direct.width(); ++x) {
                if (direct.pixel(x, y) != drawn.pixel(x, y) && ++differences <= 5) {
                    ADD_FAILURE() << "focused " << focused << " at " << x << "," << y << ": " << std::hex
                                  << direct.pixel(x, y) << " vs " << drawn.pixel(x, y);
                }
            }
        }
        EXPECT_EQ(differences, 0);
    }
}

TEST_F(MarkPixels, HoveredButtonIsLitWithALightLetter) {
    harness.setLevels(std::vector<int>(800, 0));
    harness.view->replaceBreakPoints({300});
    const QImage image = harness.render(QPoint(322, 80)); // over 'R'
    const QRect rect(321, 76, 13, 13);
    EXPECT_EQ(crop(image, rect), referenceText(rect.size(), "R", rgbOf(kParams.textColor),
                                               rgbOf(kParams.redOnColor), Qt::AlignCenter));
    EXPECT_EQ(at(image, 305, 76), rgbOf(kParams.greenOffColor));
    // Right and bottom edges are outside the button.
    EXPECT_EQ(at(harness.render(QPoint(334, 80)), 321, 76), rgbOf(kParams.redOffColor));
}

TEST_F(MarkPixels, OnlyVisibleBreakPointsAreDrawnAndGetButtons) {
    std::vector<int> levels(5000, 0);
    harness.setLevels(levels);
    harness.view->m_scrollFrame = 1000;
    harness.view->replaceBreakPoints({999, 1799, 1800, 1500, 1500, -4});
    const QImage image = harness.render();
    // 1799 sits on the right edge, cut off; 1800 and 999 are outside; 1500 twice gives six buttons.
    EXPECT_EQ(at(image, 797, 300), rgbOf(kParams.markColor));
    EXPECT_EQ(harness.view->buttons().size(), 9u);
    EXPECT_EQ(harness.view->buttons()[0]->breakPoint, 1799);
    EXPECT_EQ(harness.view->buttons()[3]->breakPoint, 1500);
    EXPECT_EQ(harness.view->buttons()[6]->breakPoint, 1500);
}

TEST_F(MarkPixels, PlayMarkerAndPointerLine) {
    harness.load(testing_support::fixture("ten-seconds.mp3"));
    harness.view->m_cursor.advance(50);
    for (const bool focused : {true, false}) {
        harness.focused = focused;
        const QImage image = harness.render(QPoint(400, 300));
        const QRgb line = focused ? rgbOf(kParams.playLineColor) : rgbOf(kParams.gridColor);
        // A 2-pixel solid line at the cursor frame, a dotted one three columns left of it.
        EXPECT_TRUE(filled(image, QRect(QPoint(49, HEADER_HEIGHT), QPoint(50, B - 1)), line));
        EXPECT_NE(at(image, 51, HEADER_HEIGHT + 10), line);
        const QRgb dotted = focused ? rgbOf(kParams.highlightColor) : rgbOf(kParams.gridColor);
        EXPECT_EQ(at(image, 47, HEADER_HEIGHT), dotted);
        // The pointer line: dotted with black gaps from row 70, only with the focus.
        if (focused) {
            EXPECT_EQ(at(image, 400, HEADER_HEIGHT), rgbOf(kParams.pointerLineColor));
            int dots = 0;
            for (int y = HEADER_HEIGHT; y < B; ++y) {
                const QRgb pixel = at(image, 400, y);
                EXPECT_TRUE(pixel == rgbOf(kParams.pointerLineColor) ||
                            pixel == rgbOf(kParams.backgroundColor))
                    << "row " << y;
                dots += pixel == rgbOf(kParams.pointerLineColor) ? 1 : 0;
            }
            EXPECT_GT(dots, 100);
        } else {
            EXPECT_NE(at(image, 400, HEADER_HEIGHT + 1), rgbOf(kParams.pointerLineColor));
            EXPECT_EQ(at(image, 400, HEADER_HEIGHT + 10), rgbOf(kParams.backgroundColor));
        }
    }
}

// Lights: a strip in the lit colour, a background column, the box lit or unlit with its word.
void expectLight(const QImage& image, int left, ColorRef on, ColorRef off, bool lit, const QString& word) {
    for (int x = left; x < left + 5; ++x) {
        EXPECT_EQ(image.pixel(x, 10), rgbOf(on)) << word.toStdString();
    }
    EXPECT_EQ(image.pixel(left + 5, 10), rgbOf(kParams.backgroundColor)) << word.toStdString();
    const QRect box(left + 6, 5, 54, 18);
    const QImage expected =
        referenceText(box.size(), word, rgbOf(lit ? kParams.textColor : kParams.darkTextColor),
                      rgbOf(lit ? on : off), Qt::AlignCenter);
    EXPECT_EQ(crop(image, box), expected) << word.toStdString();
}

void expectLabel(const QImage& image, const QRect& rect, const QString& text, bool focused) {
    const QImage expected =
        referenceText(rect.size(), text, rgbOf(focused ? kParams.textColor : kParams.dimColor),
                      rgbOf(kParams.backgroundColor), Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_EQ(crop(image, rect), expected) << text.toStdString();
}

TEST_F(MarkPixels, EmptyViewLightsAndLabels) {
    for (const bool focused : {true, false}) {
        harness.focused = focused;
        const QImage image = harness.render(QPoint(100, 300));
        expectLight(image, 5, kParams.redOnColor, kParams.redOffColor, false, "LOADING");
        expectLight(image, 75, kParams.yellowOnColor, kParams.yellowOffColor, false, "PLAYING");
        expectLight(image, 145, kParams.greenOnColor, kParams.greenOffColor, false, "SAVING");
        expectLabel(image, QRect(5, 53, 100, 12), "TOTAL: 0 F", focused);
        expectLabel(image, QRect(115, 53, 100, 12), "CURSOR: -1 F", focused);
        // The range ends at the last frame of a file shorter than the view: here there is none.
        expectLabel(image, QRect(225, 53, 150, 12), "RANGE: 0 F - 0 F", focused);
        expectLabel(image, QRect(385, 53, 100, 12), "NUM OF BP: 0", focused);
        expectLabel(image, QRect(495, 53, 100, 12), "PLAYER: -1 F", focused);
        // Black elsewhere in the header band.
        EXPECT_EQ(image.pixel(700, 30), rgbOf(kParams.backgroundColor));
    }
}

TEST_F(MarkPixels, LoadingLightsAndLabels) {
    // The previous file's levels and list are still there: the loading thread owns them now, so
    // they are not read. The total is the thread's count of frames handled so far.
    harness.setLevels(std::vector<int>(5000, 0));
    harness.view->replaceBreakPoints({10, 20});
    harness.view->m_scrollFrame = 1000;
    harness.startLoading();
    harness.view->m_framesLoaded = 1234;
    const QImage image = harness.render(QPoint(100, 300));
    expectLight(image, 5, kParams.redOnColor, kParams.redOffColor, true, "LOADING");
    expectLight(image, 145, kParams.greenOnColor, kParams.greenOffColor, false, "SAVING");
    expectLabel(image, QRect(5, 53, 100, 12), "TOTAL: 1234 F", true);
    expectLabel(image, QRect(115, 53, 100, 12), "CURSOR: -1 F", true);
    expectLabel(image, QRect(225, 53, 150, 12), "RANGE: 0 F - 800 F", true);
    expectLabel(image, QRect(385, 53, 100, 12), "NUM OF BP: 0", true);
    // No marks, no buttons, no pointer line while loading.
    EXPECT_TRUE(harness.view->buttons().empty());
    EXPECT_EQ(image.pixel(100, HEADER_HEIGHT + 10), rgbOf(kParams.backgroundColor));
}

TEST_F(MarkPixels, LoadedFileLabelsAndSavingLight) {
    harness.load(testing_support::fixture("ten-seconds.mp3"));
    harness.view->m_cursor.advance(7);
    harness.view->replaceBreakPoints({100, 200, 300});
    std::atomic<bool> done{false};
    harness.view->m_wavThread.start([&done] {
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const QImage image = harness.render(QPoint(120, 300));
    done = true;
    harness.view->m_wavThread.clear();
    expectLight(image, 145, kParams.greenOnColor, kParams.greenOffColor, true, "SAVING");
    expectLight(image, 5, kParams.redOnColor, kParams.redOffColor, false, "LOADING");
    expectLabel(image, QRect(5, 53, 100, 12), "TOTAL: 385 F", true);
    expectLabel(image, QRect(115, 53, 100, 12), "CURSOR: 120 F", true);
    expectLabel(image, QRect(225, 53, 150, 12), "RANGE: 0 F - 385 F", true);
    expectLabel(image, QRect(385, 53, 100, 12), "NUM OF BP: 3", true);
    expectLabel(image, QRect(495, 53, 100, 12), "PLAYER: 7 F", true);
}

} // namespace
