#include "view/WavePainter.h"

#include "view/GdiDrawing.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

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

// Grid column spacings, finest first. At one frame per column the 25- and 100-frame columns are drawn;
// zoomed out, the finest spacing still at least kMinGridGap pixels wide and the next coarser one.
constexpr long long kGridSteps[] = {25, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
constexpr int kMinGridGap = 4;

// Whether a multiple of `step` lies among the frames from `from` up to, not including, `to`.
bool holdsMultiple(long long from, long long to, long long step) {
    return (from + step - 1) / step * step < to;
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

    // While loading, `levels` holds the frames scanned so far.
    // At most one column per visible column of frames, whatever the length of the file.
    const long long frameCount = static_cast<long long>(levels.size());
    const long long z = scale.framesPerColumn;
    const long long shownColumns = (frameCount - scale.first + z - 1) / z;
    const int columns = static_cast<int>(std::clamp<long long>(shownColumns, 0, right - left));
    std::vector<int> spanTop(static_cast<std::size_t>(columns));
    std::vector<int> spanEnd(static_cast<std::size_t>(columns));
    for (int k = 0; k < columns; ++k) {
        const long long f = scale.frameAt(k);
        const int v = z == 1 ? levels[static_cast<std::size_t>(f)]
                             : summary.maximum(static_cast<std::size_t>(f), static_cast<std::size_t>(f + z));
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
    const long long* minor = std::begin(kGridSteps);
    while (minor + 1 < std::end(kGridSteps) && *minor < kMinGridGap * z) {
        ++minor;
    }
    const long long minorStep = *minor;
    const long long majorStep = minor + 1 < std::end(kGridSteps) ? minor[1] : minorStep;
    for (int k = 0; k < columns; ++k) {
        const long long from = scale.frameAt(k);
        const long long to = std::min(from + z, frameCount);
        if (holdsMultiple(from, to, minorStep)) {
            const bool major = holdsMultiple(from, to, majorStep);
            gdi::solidLine(*dc, {left + k, top}, {left + k, bottom}, 1, major ? hundredColor : dim);
        }
    }

    const int middle = top + h / 2 - 2;
    gdi::solidLine(*dc, {left, middle}, {right, middle}, 1, background);
}
