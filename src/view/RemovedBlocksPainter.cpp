#include "view/RemovedBlocksPainter.h"

#include <QBrush>

#include <algorithm>

std::vector<RemovedStretch> removedStretches(const std::vector<EditedRange>& stream, int frameCount) {
    std::vector<RemovedStretch> gaps;
    int kept = 0;
    for (const EditedRange& range : stream) {
        if (range.from > kept) {
            gaps.push_back({kept, range.from});
        }
        kept = std::max(kept, range.to);
    }
    if (frameCount > kept) {
        gaps.push_back({kept, frameCount});
    }
    return gaps;
}

void RemovedBlocksPainter::paintColumns(QPainter& dc, int left, int right, int top, int bottom,
                                        QColor background) {
    if (left > right || top >= bottom) {
        return;
    }
    const QRect band(left, top, right - left + 1, bottom - top);
    background.setAlpha(kDimAlpha);
    dc.fillRect(band, background);
    // The hatch leaves the pixels between its lines alone, whatever background mode the paint uses.
    const Qt::BGMode previousMode = dc.backgroundMode();
    const QPoint previousOrigin = dc.brushOrigin();
    dc.setBackgroundMode(Qt::TransparentMode);
    dc.setBrushOrigin(0, top);
    dc.fillRect(band, QBrush(toQColor(kHatchColor), Qt::BDiagPattern));
    dc.setBrushOrigin(previousOrigin);
    dc.setBackgroundMode(previousMode);
}

void RemovedBlocksPainter::paint() {
    if (removed.empty() || loading()) {
        return;
    }
    for (const RemovedStretch& stretch : removed) {
        const int left = std::max(scale.columnOf(stretch.from), 0);
        const int right = std::min(scale.columnOf(stretch.to - 1), width - 1);
        paintColumns(*dc, waveLeft() + left, waveLeft() + right, waveTop(), waveBottom(),
                     color(params.backgroundColor));
    }
}
