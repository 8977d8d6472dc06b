#include "view/GdiDrawing.h"

#include <QFontMetrics>
#include <QPen>

#include <algorithm>

namespace gdi {

namespace {

// The pixels a line covers, end point left out: a rectangle of `width` centred on the line.
QRect lineRect(QPoint from, QPoint to, int width) {
    const int before = width / 2;
    if (from == to || width < 1) {
        return {};
    }
    if (from.x() == to.x()) {
        const int top = std::min(from.y(), to.y() + 1);
        const int bottom = std::max(from.y(), to.y() - 1);
        return QRect(QPoint(from.x() - before, top), QPoint(from.x() - before + width - 1, bottom));
    }
    if (from.y() == to.y()) {
        const int left = std::min(from.x(), to.x() + 1);
        const int right = std::max(from.x(), to.x() - 1);
        return QRect(QPoint(left, from.y() - before), QPoint(right, from.y() - before + width - 1));
    }
    return {};
}

// The last point a line actually covers.
QPoint lastPoint(QPoint from, QPoint to) {
    if (from.x() == to.x()) {
        return {to.x(), to.y() > from.y() ? to.y() - 1 : to.y() + 1};
    }
    return {to.x() > from.x() ? to.x() - 1 : to.x() + 1, to.y()};
}

} // namespace

void solidLine(QPainter& dc, QPoint from, QPoint to, int width, const QColor& color) {
    const QRect rect = lineRect(from, to, width);
    if (!rect.isEmpty()) {
        dc.fillRect(rect, color);
    }
}

void dottedLine(QPainter& dc, QPoint from, QPoint to, const QColor& color) {
    if (from == to || (from.x() != to.x() && from.y() != to.y())) {
        return;
    }
    if (dc.backgroundMode() == Qt::OpaqueMode) {
        dc.fillRect(lineRect(from, to, 1), dc.background().color());
    }
    const QPen previous = dc.pen();
    QPen pen(color, 1, Qt::DotLine);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    dc.setPen(pen);
    const Qt::BGMode mode = dc.backgroundMode();
    dc.setBackgroundMode(Qt::TransparentMode);
    const QPoint last = lastPoint(from, to);
    if (last == from) {
        dc.drawPoint(from);
    } else {
        dc.drawLine(from, last);
    }
    dc.setBackgroundMode(mode);
    dc.setPen(previous);
}

void textAt(QPainter& dc, QPoint topLeft, const QString& text, const QColor& color) {
    const QFontMetrics metrics(dc.font());
    if (dc.backgroundMode() == Qt::OpaqueMode) {
        dc.fillRect(QRect(topLeft.x(), topLeft.y(), metrics.horizontalAdvance(text), metrics.height()),
                    dc.background().color());
    }
    const QPen previous = dc.pen();
    const Qt::BGMode mode = dc.backgroundMode();
    dc.setBackgroundMode(Qt::TransparentMode);
    dc.setPen(color);
    dc.drawText(QPoint(topLeft.x(), topLeft.y() + metrics.ascent()), text);
    dc.setBackgroundMode(mode);
    dc.setPen(previous);
}

void textInBox(QPainter& dc, const QRect& box, int alignment, const QString& text, const QColor& color) {
    const int flags = alignment | Qt::TextSingleLine;
    if (dc.backgroundMode() == Qt::OpaqueMode) {
        dc.fillRect(dc.boundingRect(box, flags, text).intersected(box), dc.background().color());
    }
    const QPen previous = dc.pen();
    const Qt::BGMode mode = dc.backgroundMode();
    dc.setBackgroundMode(Qt::TransparentMode);
    dc.setPen(color);
    dc.drawText(box, flags, text);
    dc.setBackgroundMode(mode);
    dc.setPen(previous);
}

} // namespace gdi
