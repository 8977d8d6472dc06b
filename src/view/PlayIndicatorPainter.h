#pragma once

#include "view/FrameScale.h"
#include "view/Painter.h"

// The play position: a dotted line three columns left of a 2-pixel solid line at the cursor frame.
class PlayIndicatorPainter final : public Painter {
public:
    PlayIndicatorPainter(QPainter& dc, const QRect& area, const DrawParameters& params, WindowLink& frame,
                         FrameScale scale, int playFrame)
        : Painter(dc, area, params, frame), scale(scale), playFrame(playFrame) {}

    void paint() override;

    FrameScale scale;
    int playFrame;
};
