#include "app/AppIcon.h"

#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace {

QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(20, 40, 70));
    painter.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);
    painter.setPen(QPen(QColor(90, 220, 120), std::max(1.0, s / 24)));
    const int bars = 9;
    for (int i = 0; i < bars; ++i) {
        const double x = s * (0.14 + 0.72 * i / (bars - 1));
        const double h = s * (0.12 + 0.28 * std::fabs(std::sin(i * 1.7 + 0.4)));
        painter.drawLine(QPointF(x, s / 2 - h), QPointF(x, s / 2 + h));
    }
    painter.setPen(QPen(QColor(255, 90, 60), std::max(1.0, s / 16)));
    painter.drawLine(QPointF(s * 0.6, s * 0.12), QPointF(s * 0.6, s * 0.88));
    return pixmap;
}

} // namespace

QIcon appIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        icon.addPixmap(drawIcon(size));
    }
    return icon;
}
