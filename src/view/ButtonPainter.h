#pragma once

#include "view/Painter.h"

#include <QPoint>

// One of the three small buttons of a break point mark. Made by the break point painter; the view
// keeps it after the paint for hit tests and tooltips until the next paint.
class ButtonPainter final : public Painter {
public:
    ButtonPainter(QPainter& dc, const QRect& area, const DrawParameters& params, WindowLink& frame,
                  char16_t letter, int kind, QPoint pointer, int breakPoint)
        : Painter(dc, area, params, frame), letter(letter), kind(kind), pointer(pointer),
          breakPoint(breakPoint) {}

    void paint() override;

    // Left and top edges included, right and bottom excluded.
    bool contains(QPoint point) const { return area.contains(point); }

    char16_t letter;
    int kind;
    QPoint pointer;
    int breakPoint;
};
