#pragma once

#include "view/FrameScale.h"
#include "view/Painter.h"

#include <vector>

// The break points a dialog proposes: a dotted band three pixels wide over the wave area in a colour
// of its own, drawn over the marks of the list so a proposal on an existing break point still shows.
class PreviewMarksPainter final : public Painter {
public:
    // Not one of the stored colours: the preview is no part of the preferences.
    static constexpr ColorRef kColor = rgb(255, 64, 255);
    // Rows on and off of the dots, from the top of the wave area.
    static constexpr int kDotRows = 2;
    static constexpr int kGapRows = 2;

    PreviewMarksPainter(QPainter& dc, const QRect& area, const DrawParameters& params, WindowLink& frame,
                        const std::vector<int>& frames, FrameScale scale, int width)
        : Painter(dc, area, params, frame), frames(frames), scale(scale), width(width) {}

    void paint() override;

    const std::vector<int>& frames;
    FrameScale scale;
    int width;
};
