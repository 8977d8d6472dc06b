#pragma once

#include "view/Painter.h"

#include <QString>

// A status label: its box cleared to the background and the text left-aligned in it.
class LabelPainter final : public Painter {
public:
    LabelPainter(QPainter& dc, const QRect& area, const DrawParameters& params, WindowLink& frame,
                 QString text)
        : Painter(dc, area, params, frame), text(std::move(text)) {}
    ~LabelPainter() override = default;

    void paint() override;

    QString text;
};
