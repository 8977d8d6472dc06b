#include "view/WavePainter.h"

#include "view/GdiDrawing.h"

#include <algorithm>
#include <cstddef>

namespace {

// Column k covers rows spanTop[k] up to, not including, spanEnd[k]. Written row by row: the same
// pixels as drawing each column on its own, without a cache miss per pixel.
void drawColumnsByRows(QImage& image, int left, const std::vector<int>& spanTop,
                       const std::vector<int>& spanEnd, QRgb pixel) {
    const int columns = static_cast<int>(spanTop.size());
    const int firstColumn = std::max(0, -left);
    const int lastColumn = std::min(columns, image.width() - left);
    if (firstColumn >= lastColumn) {
        return;
    }
    int rowFrom = image.height();
    int rowTo = 0;
    for (int k = firstColumn; k < lastColumn; ++k) {
        if (spanEnd[k] > spanTop[k]) {
            rowFrom = std::min(rowFrom, spanTop[k]);
            rowTo = std::max(rowTo, spanEnd[k]);
        }
    }
    rowFrom = std::max(rowFrom, 0);
    rowTo = std::min(rowTo, image.height());
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (int y = rowFrom; y < rowTo; ++y) {
        QRgb* const row = reinterpret_cast<QRgb*>(bits + y * stride) + left;
        for (int k = firstColumn; k < lastColumn; ++k) {
            // Branch-free so that the compiler can do several columns at once.
            const bool inside =
                static_cast<unsigned>(y - spanTop[k]) < static_cast<unsigned>(spanEnd[k] - spanTop[k]);
            row[k] = inside ? pixel : row[k];
        }
    }
}

} // namespace

void WavePainter::paint() {
    const bool isFocused = focused();
    const QColor dim = color(params.dimColor);
    const QColor topGridColor = isFocused ? color(params.markColor) : dim;
    const QColor accentColor = isFocused ? color(params.gridColor) : dim;
    const QColor waveColor = isFocused ? color(params.waveColor) : dim;
    const QColor hundredColor = isFocused ? color(params.gridColor) : dim;
    const QColor background = color(params.backgroundColor);

    dc->fillRect(area, background);

    const int left = waveLeft();
    const int right = waveRight();
    const int top = waveTop();
    const int bottom = waveBottom();
    const int h = bottom - top;

    const int step = h / 10;
    for (int i = 0; i < 10; ++i) {
        const int y = top + i * step;
        if (i == 0) {
            gdi::solidLine(*dc, {left, y}, {right, y}, 3, topGridColor);
        } else {
            gdi::solidLine(*dc, {left, y}, {right, y}, 1, (i == 2 || i == 8) ? accentColor : dim);
        }
    }

    if (loading()) {
        return;
    }

    // At most one column per visible frame, whatever the length of the file.
    const long long frameCount = static_cast<long long>(levels.size());
    const int columns = static_cast<int>(std::clamp<long long>(frameCount - firstFrame, 0, right - left));
    std::vector<int> spanTop(static_cast<std::size_t>(columns));
    std::vector<int> spanEnd(static_cast<std::size_t>(columns));
    for (int k = 0; k < columns; ++k) {
        const int v = levels[static_cast<std::size_t>(firstFrame + k)];
        const int a = std::max(0, static_cast<int>(v / 32767.0 * h));
        spanTop[k] = top + (h - a) / 2 - 2;
        spanEnd[k] = spanTop[k] + a;
    }
    if (QImage* image = gdi::directImage(*dc)) {
        drawColumnsByRows(*image, left, spanTop, spanEnd, waveColor.rgb());
    } else {
        for (int k = 0; k < columns; ++k) {
            gdi::solidLine(*dc, {left + k, spanTop[k]}, {left + k, spanEnd[k]}, 1, waveColor);
        }
    }
    // The grid columns lie over the wave columns of their frames.
    for (int k = 0; k < columns; ++k) {
        const long long f = firstFrame + k;
        if (f % 25 == 0) {
            gdi::solidLine(*dc, {left + k, top}, {left + k, bottom}, 1, f % 100 == 0 ? hundredColor : dim);
        }
    }

    const int middle = top + h / 2 - 2;
    gdi::solidLine(*dc, {left, middle}, {right, middle}, 1, background);
}
