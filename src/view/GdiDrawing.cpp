#include "view/GdiDrawing.h"

#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPen>
#include <QStaticText>

#include <algorithm>
#include <cmath>

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

} // namespace

QImage* directImage(QPainter& dc) {
    if (dc.paintEngine() == nullptr || dc.paintEngine()->type() != QPaintEngine::Raster) {
        return nullptr;
    }
    auto* image = dynamic_cast<QImage*>(dc.device());
    if (image == nullptr || image->devicePixelRatio() != 1.0 || dc.hasClipping() ||
        dc.worldTransform().type() != QTransform::TxNone ||
        dc.compositionMode() != QPainter::CompositionMode_SourceOver) {
        return nullptr;
    }
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied) {
        return nullptr;
    }
    return image;
}

namespace {

void fillDirect(QImage& image, const QRect& rect, QRgb pixel) {
    const QRect clipped = rect.intersected(image.rect());
    if (clipped.isEmpty()) {
        return;
    }
    // The painter is active on the image, so it is not shared and bits() does not copy it.
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            row[x] = pixel;
        }
    }
}

} // namespace

void solidLine(QPainter& dc, QPoint from, QPoint to, int width, const QColor& color) {
    const QRect rect = lineRect(from, to, width);
    if (rect.isEmpty()) {
        return;
    }
    if (QImage* image = directImage(dc); image != nullptr && color.alpha() == 255) {
        fillDirect(*image, rect, color.rgb());
        return;
    }
    dc.fillRect(rect, color);
}

void solidColumns(QPainter& dc, int left, int top, int bottom, const QColor* colors, int count) {
    if (bottom <= top || count <= 0) {
        return;
    }
    QImage* image = directImage(dc);
    if (image == nullptr) {
        for (int i = 0; i < count; ++i) {
            dc.fillRect(QRect(left + i, top, 1, bottom - top), colors[i]);
        }
        return;
    }
    const QRect clipped = QRect(left, top, count, bottom - top).intersected(image->rect());
    if (clipped.isEmpty()) {
        return;
    }
    QRgb pixels[16];
    const int first = clipped.left() - left;
    const int width = std::min(clipped.width(), 16);
    for (int i = 0; i < width; ++i) {
        pixels[i] = colors[first + i].rgb();
    }
    uchar* const bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride) + clipped.left();
        for (int i = 0; i < width; ++i) {
            row[i] = pixels[i];
        }
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
    // A flat cap leaves the end point out, as the line drawing of the painters expects.
    dc.drawLine(from, to);
    dc.setBackgroundMode(mode);
    dc.setPen(previous);
}

namespace {

// Laid-out texts by font and string. Marks repeat the same few texts on every paint, and shaping
// each one anew cost more than all the rest of a paint.
const QStaticText& staticText(const QFont& font, const QString& text) {
    static QFont cachedFont;
    static QHash<QString, QStaticText> cache;
    if (!(font == cachedFont) || cache.size() > 4096) {
        cache.clear();
        cachedFont = font;
    }
    auto found = cache.find(text);
    if (found == cache.end()) {
        QStaticText laidOut(text);
        laidOut.setTextFormat(Qt::PlainText);
        laidOut.prepare(QTransform(), font);
        found = cache.insert(text, laidOut);
    }
    return *found;
}

// Draws a laid-out text with its top-left corner at `topLeft`, leaving the background alone.
void drawTransparent(QPainter& dc, QPoint topLeft, const QStaticText& text, const QColor& color) {
    const QPen previous = dc.pen();
    const Qt::BGMode mode = dc.backgroundMode();
    dc.setBackgroundMode(Qt::TransparentMode);
    dc.setPen(color);
    dc.drawStaticText(topLeft, text);
    dc.setBackgroundMode(mode);
    dc.setPen(previous);
}

} // namespace

void textAt(QPainter& dc, QPoint topLeft, const QString& text, const QColor& color) {
    const QFontMetrics metrics(dc.font());
    const QStaticText& laidOut = staticText(dc.font(), text);
    if (dc.backgroundMode() == Qt::OpaqueMode) {
        const int width = static_cast<int>(std::ceil(laidOut.size().width()));
        dc.fillRect(QRect(topLeft.x(), topLeft.y(), width, metrics.height()), dc.background().color());
    }
    drawTransparent(dc, topLeft, laidOut, color);
}

void textInBox(QPainter& dc, const QRect& box, int alignment, const QString& text, const QColor& color) {
    const QFontMetrics metrics(dc.font());
    const QStaticText& laidOut = staticText(dc.font(), text);
    const int width = static_cast<int>(std::ceil(laidOut.size().width()));
    const int height = metrics.height();
    int x = box.left();
    if (alignment & Qt::AlignHCenter) {
        x = box.left() + (box.width() - width) / 2;
    } else if (alignment & Qt::AlignRight) {
        x = box.left() + box.width() - width;
    }
    int y = box.top();
    if (alignment & Qt::AlignVCenter) {
        y = box.top() + (box.height() - height) / 2;
    } else if (alignment & Qt::AlignBottom) {
        y = box.top() + box.height() - height;
    }
    const QRect cell(x, y, width, height);
    const bool clip = !box.contains(cell);
    if (clip) {
        dc.save();
        dc.setClipRect(box, Qt::IntersectClip);
    }
    if (dc.backgroundMode() == Qt::OpaqueMode) {
        dc.fillRect(cell.intersected(box), dc.background().color());
    }
    drawTransparent(dc, cell.topLeft(), laidOut, color);
    if (clip) {
        dc.restore();
    }
}

} // namespace gdi
