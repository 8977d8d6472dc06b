#include "view/LightPainter.h"

#include "view/GdiDrawing.h"

void LightPainter::paint() {
    const int left = area.left();
    const int top = area.top();
    const int right = area.left() + area.width();
    const int bottom = area.top() + area.height();
    if (const std::optional<QBrush> litBrush = kindBrush(params, kind, true)) {
        dc->fillRect(QRect(QPoint(left, top), QPoint(left + 4, bottom - 1)), *litBrush);
    }
    const QFont previousFont = dc->font();
    dc->setFont(fontFromLogFont(params.font));
    if (const std::optional<QBrush> brush = kindBrush(params, kind, lit)) {
        const QRect box(QPoint(left + 6, top), QPoint(right - 1, bottom - 1));
        dc->fillRect(box, *brush);
        dc->setBackgroundMode(Qt::TransparentMode);
        gdi::textInBox(*dc, box, Qt::AlignHCenter | Qt::AlignVCenter, text,
                       color(lit ? params.textColor : params.darkTextColor));
    }
    dc->setFont(previousFont);
}
