#pragma once

#include "view/Painter.h"

// The dotted line at the mouse pointer's column.
class CursorPainter final : public Painter {
public:
    CursorPainter(QPainter& dc, const QRect& area, const DrawParameters& params, WindowLink& frame, int x)
        : Painter(dc, area, params, frame), x(x) {}

    void paint() override;

    int x;
};
