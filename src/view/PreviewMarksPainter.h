#pragma once

#include "view/FrameScale.h"
#include "view/Painter.h"

#include <functional>
#include <vector>

class QPainter;

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

    // The proposals in the overview strip, wherever the view is: a tick of kTickRows at the top and
    // the bottom of every column that holds one, so the levels between stay visible.
    static constexpr int kTickRows = 7;
    static void paintOverviewTicks(QPainter& dc, const std::vector<int>& frames,
                                   const std::function<int(long long)>& columnOf, int width, int height);

    const std::vector<int>& frames;
    FrameScale scale;
    int width;
};
