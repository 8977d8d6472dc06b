#include "view/WavePainter.h"

#include "view/GdiDrawing.h"

#include <algorithm>
#include <cstddef>

namespace {

// Column k covers rows spanTop[k] up to, not including, spanEnd[k]. The columns are written in
// groups as wide as a cache line: the rows a group touches stay in the cache while its columns are
// filled, instead of a cache miss for every pixel of a one-pixel column.
void drawColumns(QImage& image, int left, const std::vector<int>& spanTop, const std::vector<int>& spanEnd,
                 QRgb pixel) {
    constexpr int kGroup = 16; // 64 bytes of 32-bit pixels
    const int columns = static_cast<int>(spanTop.size());
    const int firstColumn = std::max(0, -left);
    const int lastColumn = std::min(columns, image.width() - left);
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const int height = image.height();
    for (int group = firstColumn; group < lastColumn; group += kGroup) {
        const int groupEnd = std::min(lastColumn, group + kGroup);
        for (int k = group; k < groupEnd; ++k) {
            const int from = std::max(spanTop[k], 0);
            const int to = std::min(spanEnd[k], height);
            uchar* pixelAddress = bits + from * stride + static_cast<qsizetype>(left + k) * 4;
            for (int y = from; y < to; ++y, pixelAddress += stride) {
                *reinterpret_cast<QRgb*>(pixelAddress) = pixel;
            }
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
        drawColumns(*image, left, spanTop, spanEnd, waveColor.rgb());
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
