#pragma once

#include "view/Painter.h"

#include <vector>

// The bottom layer: background, the ten grid lines, one column per visible frame with the 25- and
// 100-frame grid columns, and the middle line.
class WavePainter final : public Painter {
public:
    WavePainter(QPainter& dc, const QRect& area, const DrawParameters& params, WindowLink& frame,
                const std::vector<int>& levels, int firstFrame)
        : Painter(dc, area, params, frame), levels(levels), firstFrame(firstFrame) {}

    void paint() override;

    const std::vector<int>& levels;
    int firstFrame;
};
