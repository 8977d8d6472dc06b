#pragma once

#include "view/Painter.h"

// The play position: a dotted line three columns left of a 2-pixel solid line at the cursor frame.
class PlayIndicatorPainter final : public Painter {
public:
    PlayIndicatorPainter(QPainter& dc, const QRect& area, const DrawParameters& params, WindowLink& frame,
                         int firstFrame, int playFrame)
        : Painter(dc, area, params, frame), firstFrame(firstFrame), playFrame(playFrame) {}

    void paint() override;

    int firstFrame;
    int playFrame;
};
