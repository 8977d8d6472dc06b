#include "view/PlayIndicatorPainter.h"

#include "view/GdiDrawing.h"

void PlayIndicatorPainter::paint() {
    if (loading() || !loaded()) {
        return;
    }
    // A position outside the visible frames lands outside the image and is simply not seen.
    const int x = scale.columnOf(playFrame);
    const bool isFocused = focused();
    const int top = waveTop();
    const int bottom = waveBottom();
    dc->setBackground(color(params.backgroundColor));
    gdi::dottedLine(*dc, {x - 3, top}, {x - 3, bottom},
                    color(isFocused ? params.highlightColor : params.gridColor));
    gdi::solidLine(*dc, {x, top}, {x, bottom}, 2, color(isFocused ? params.playLineColor : params.gridColor));
}
