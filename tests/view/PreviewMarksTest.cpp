#include "ViewHarness.h"

#include "view/PreviewMarksPainter.h"

#include <gtest/gtest.h>

namespace {

const QRgb kPreview = rgbOf(PreviewMarksPainter::kColor);

// The rows of column x from the top of the wave area that have the preview colour.
std::vector<int> previewRows(const QImage& image, int x, int top) {
    std::vector<int> rows;
    for (int y = top; y < image.height(); ++y) {
        if (image.pixel(x, y) == kPreview) {
            rows.push_back(y - top);
        }
    }
    return rows;
}

TEST(PreviewMarks, DottedBandsOverTheListAndGoneWhenCleared) {
    ViewHarness harness(400, HEADER_HEIGHT + 40);
    harness.setLevels(std::vector<int>(400, 5000));
    harness.view->replaceBreakPoints({200});
    const QImage without = harness.render();

    harness.view->setPreviewBreakPoints({100, 200, 600});
    const QImage with = harness.render();
    std::vector<int> dots;
    for (int row = 0; row < 40; ++row) {
        if (row % 4 < 2) {
            dots.push_back(row);
        }
    }
    // Three columns around each proposal, two rows on and two off; one on an existing break point
    // covers its band; one beyond the file's width is not drawn.
    for (const int x : {99, 100, 101, 199, 200, 201}) {
        EXPECT_EQ(previewRows(with, x, HEADER_HEIGHT), dots) << "column " << x;
    }
    for (int y = 0; y < with.height(); ++y) {
        for (const int x : {98, 102, 198, 202}) {
            ASSERT_EQ(with.pixel(x, y), without.pixel(x, y)) << x << "," << y;
        }
    }
    // Between the dots the picture beneath shows; the header band is left alone.
    EXPECT_EQ(with.pixel(100, HEADER_HEIGHT + 2), without.pixel(100, HEADER_HEIGHT + 2));
    EXPECT_EQ(with.copy(0, 0, 400, HEADER_HEIGHT), without.copy(0, 0, 400, HEADER_HEIGHT));
    EXPECT_EQ(harness.view->m_breakPoints, BreakPointList{200}) << "a preview is no part of the list";

    harness.view->setPreviewBreakPoints({});
    EXPECT_EQ(harness.render(), without);
}

TEST(PreviewMarks, ZoomedOutProposalsLandInTheirColumns) {
    ViewHarness harness(400, HEADER_HEIGHT + 40);
    harness.setLevels(std::vector<int>(4000, 5000));
    harness.view->zoomTo(10, 0);
    harness.view->setPreviewBreakPoints({1000, 1004, 2509});
    const QImage image = harness.render();
    EXPECT_FALSE(previewRows(image, 100, HEADER_HEIGHT).empty());
    EXPECT_FALSE(previewRows(image, 250, HEADER_HEIGHT).empty());
    EXPECT_TRUE(previewRows(image, 175, HEADER_HEIGHT).empty());
}

} // namespace
