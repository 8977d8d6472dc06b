#pragma once

#include "document/EditedStream.h"
#include "view/FrameScale.h"
#include "view/Painter.h"

#include <vector>

// A stretch of source frames [from, to) that the edited result leaves out.
struct RemovedStretch {
    int from = 0;
    int to = 0;
    bool operator==(const RemovedStretch&) const = default;
};

// The gaps of the edited stream in 0..frameCount: the removed blocks, neighbours joined.
std::vector<RemovedStretch> removedStretches(const std::vector<EditedRange>& stream, int frameCount);

// Removed blocks over the waveform: the wave area of their columns dimmed towards the background and
// hatched, so the frames still show beneath and the marks drawn later stay as they were. A column
// that holds any removed frame is drawn removed.
class RemovedBlocksPainter final : public Painter {
public:
    // How much of the background covers the wave (of 255), and the hatch's own colour.
    static constexpr int kDimAlpha = 170;
    static constexpr ColorRef kHatchColor = rgb(128, 128, 128);

    RemovedBlocksPainter(QPainter& dc, const QRect& area, const DrawParameters& params, WindowLink& frame,
                         const std::vector<RemovedStretch>& removed, FrameScale scale, int width)
        : Painter(dc, area, params, frame), removed(removed), scale(scale), width(width) {}

    void paint() override;

    // Dims and hatches columns [left, right] of rows [top, bottom) of any painter.
    static void paintColumns(QPainter& dc, int left, int right, int top, int bottom, QColor background);

    const std::vector<RemovedStretch>& removed;
    FrameScale scale;
    int width;
};
