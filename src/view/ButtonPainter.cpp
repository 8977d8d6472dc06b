#include "view/ButtonPainter.h"

#include "view/GdiDrawing.h"

void ButtonPainter::paint() {
    const bool hover = contains(pointer);
    const std::optional<QBrush> brush = kindBrush(params, kind, hover);
    if (!brush) {
        return;
    }
    dc->fillRect(area, *brush);
    dc->setBackgroundMode(Qt::TransparentMode);
    gdi::textInBox(*dc, area, Qt::AlignHCenter | Qt::AlignVCenter, QString(QChar(letter)),
                   color(hover ? params.textColor : params.darkTextColor));
}
