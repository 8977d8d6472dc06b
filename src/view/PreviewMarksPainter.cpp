#include "view/PreviewMarksPainter.h"

#include <QBrush>
#include <QImage>
#include <QPainter>

#include <algorithm>

void PreviewMarksPainter::paint() {
    if (frames.empty() || loading()) {
        return;
    }
    std::vector<int> columns;
    columns.reserve(frames.size());
    for (const int frame : frames) {
        const int x = scale.columnOf(frame);
        if (x >= 0 && x < width) {
            columns.push_back(x);
        }
    }
    // Zoomed out, many proposals share a column: each column is drawn once.
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());

    // One tile of the dots, repeated down each band: a fill per mark instead of one per dot.
    QImage tile(3, kDotRows + kGapRows, QImage::Format_ARGB32);
    tile.fill(Qt::transparent);
    for (int y = 0; y < kDotRows; ++y) {
        for (int x = 0; x < 3; ++x) {
            tile.setPixel(x, y, color(kColor).rgb());
        }
    }
    const int top = waveTop();
    const int bottom = waveBottom();
    const QPoint previousOrigin = dc->brushOrigin();
    dc->setBrushOrigin(0, top);
    const QBrush dots(tile);
    for (const int x : columns) {
        dc->fillRect(QRect(x - 1, top, 3, bottom - top), dots);
    }
    dc->setBrushOrigin(previousOrigin);
}

void PreviewMarksPainter::paintOverviewTicks(QPainter& dc, const std::vector<int>& frames,
                                             const std::function<int(long long)>& columnOf, int width,
                                             int height) {
    if (frames.empty() || width <= 0) {
        return;
    }
    std::vector<char> marked(static_cast<std::size_t>(width), 0);
    for (const int frame : frames) {
        marked[static_cast<std::size_t>(std::clamp(columnOf(frame), 0, width - 1))] = 1;
    }
    const QColor ink = toQColor(kColor);
    const int rows = std::min(kTickRows, height / 2);
    for (int x = 0; x < width; ++x) {
        if (marked[static_cast<std::size_t>(x)]) {
            dc.fillRect(x, 0, 1, rows, ink);
            dc.fillRect(x, height - rows, 1, rows, ink);
        }
    }
}
