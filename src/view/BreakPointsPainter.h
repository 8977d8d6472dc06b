#pragma once

#include "document/DocumentTypes.h"
#include "view/ButtonPainter.h"
#include "view/FrameScale.h"
#include "view/MarkHits.h"
#include "view/MarkLayout.h"
#include "view/Painter.h"

#include <memory>
#include <vector>

// The break point marks: two thin lines around a background band, the "BP: %d F" text, the 'S',
// 'R' and 'P' buttons (only the topmost button under the pointer is lit) and, on the selected one, the dotted
// selection markers. Refills `buttons`. Zoomed out, a column's marks are one thin line with a tick on
// top, drawn behind the wave unless selected or hovered, so that the waveform stays readable under
// any number of marks; only columns with room get a text (the count for several marks) and buttons
// (for a single mark).
class BreakPointsPainter final : public Painter {
public:
    using Buttons = std::vector<std::unique_ptr<ButtonPainter>>;

    BreakPointsPainter(QPainter& dc, const QRect& area, const DrawParameters& params, WindowLink& frame,
                       const BreakPointList& breakPoints, int selected, int hovered, FrameScale scale,
                       int width, Buttons& buttons, QPoint pointer, std::vector<DrawnMark>* drawn = nullptr)
        : Painter(dc, area, params, frame), breakPoints(breakPoints), selected(selected), hovered(hovered),
          scale(scale), width(width), buttons(buttons), pointer(pointer), drawn(drawn) {}

    void paint() override;

    const BreakPointList& breakPoints;
    int selected;
    int hovered;
    FrameScale scale;
    int width;
    Buttons& buttons;
    QPoint pointer;
    // Refilled with the marks in drawing order, for the hit tests, when given.
    std::vector<DrawnMark>* drawn;

private:
    void paintColumns(const std::vector<MarkColumn>& columns, const QColor& background, const QColor& marker);
};
