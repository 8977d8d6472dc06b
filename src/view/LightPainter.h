#pragma once

#include "view/Painter.h"

#include <QString>

// A state light: a strip in the lit colour, one background column, and a box with the word, lit or
// unlit.
class LightPainter final : public Painter {
public:
    LightPainter(QPainter& dc, const QRect& area, const DrawParameters& params, WindowLink& frame, int kind,
                 bool lit, QString text)
        : Painter(dc, area, params, frame), kind(kind), lit(lit), text(std::move(text)) {}
    ~LightPainter() override = default;

    void paint() override;

    int kind;
    bool lit;
    QString text;
};
