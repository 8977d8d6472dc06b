#include "view/CursorPainter.h"

#include "view/GdiDrawing.h"

void CursorPainter::paint() {
    if (!loaded() || loading() || !focused()) {
        return;
    }
    dc->setBackground(color(params.backgroundColor));
    dc->setBackgroundMode(Qt::OpaqueMode);
    gdi::dottedLine(*dc, {x, HEADER_HEIGHT}, {x, area.top() + area.height()}, color(params.pointerLineColor));
}
