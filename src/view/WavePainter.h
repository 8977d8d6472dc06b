#pragma once

#include "engine/LevelSummary.h"
#include "view/FrameScale.h"
#include "view/Painter.h"

#include <vector>

// The bottom layer: background, the ten grid lines, one column per visible frame (or, zoomed out,
// the loudest of the column's frames) with the grid columns, and the middle line.
class WavePainter final : public Painter {
public:
    WavePainter(QPainter& dc, const QRect& area, const DrawParameters& params, WindowLink& frame,
                const std::vector<int>& levels, const LevelSummary& summary, FrameScale scale)
        : Painter(dc, area, params, frame), levels(levels), summary(summary), scale(scale) {}

    void paint() override;

    const std::vector<int>& levels;
    // The same levels, summarised for columns of several frames.
    const LevelSummary& summary;
    FrameScale scale;
};
