#include "view/WavePainter.h"

#include "view/GdiDrawing.h"

#include <cstddef>

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
    for (long long k = 0; k < right - left && firstFrame + k < frameCount; ++k) {
        const long long f = firstFrame + k;
        const int x = left + static_cast<int>(k);
        const int v = levels[static_cast<std::size_t>(f)];
        const int a = static_cast<int>(v / 32767.0 * h);
        const int y0 = top + (h - a) / 2 - 2;
        gdi::solidLine(*dc, {x, y0}, {x, y0 + a}, 1, waveColor);
        if (f % 25 == 0) {
            gdi::solidLine(*dc, {x, top}, {x, bottom}, 1, f % 100 == 0 ? hundredColor : dim);
        }
    }

    const int middle = top + h / 2 - 2;
    gdi::solidLine(*dc, {left, middle}, {right, middle}, 1, background);
}
