#include "view/LabelPainter.h"

#include "view/GdiDrawing.h"

void LabelPainter::paint() {
    dc->fillRect(area, color(params.backgroundColor));
    const QFont previousFont = dc->font();
    dc->setFont(fontFromLogFont(params.font));
    gdi::textInBox(*dc, area, Qt::AlignLeft | Qt::AlignVCenter, text,
                   color(focused() ? params.textColor : params.dimColor));
    dc->setFont(previousFont);
}
