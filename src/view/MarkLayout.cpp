#include "view/MarkLayout.h"

#include "view/GdiDrawing.h"

#include <QImage>
#include <QString>

#include <algorithm>

QRgb quietLineColor(QRgb state, QRgb background) {
    return qRgb((qRed(state) + qRed(background)) / 2, (qGreen(state) + qGreen(background)) / 2,
                (qBlue(state) + qBlue(background)) / 2);
}

bool isLonely(const std::vector<MarkColumn>& columns, std::size_t index) {
    const int x = columns[index].x;
    const bool clearLeft = index == 0 || x - columns[index - 1].x >= kLonelyGap;
    const bool clearRight = index + 1 == columns.size() || columns[index + 1].x - x >= kLonelyGap;
    return clearLeft && clearRight;
}

QString markCountText(int count) {
    return QString::number(count) + QStringLiteral(" BP");
}

void drawColumnLines(QPainter& dc, const std::vector<MarkColumn>& columns, int top, int bottom,
                     QRgb background) {
    // The painter always draws into an image; the pixels beneath decide where a quiet line shows.
    const auto* beneath = dynamic_cast<const QImage*>(dc.device());
    QImage* const direct = gdi::directImage(dc);
    const int height = beneath != nullptr ? beneath->height() : bottom;
    const int width = beneath != nullptr ? beneath->width() : 0;
    const int from = std::max(top, 0);
    const int to = std::min(bottom, height);
    for (std::size_t index = 0; index < columns.size(); ++index) {
        const MarkColumn& column = columns[index];
        const bool front = column.emphasised || isLonely(columns, index);
        const QRgb line = front ? column.state : quietLineColor(column.state, background);
        if (front || beneath == nullptr) {
            gdi::solidLine(dc, {column.x, from}, {column.x, to}, 1, QColor::fromRgb(line));
            continue;
        }
        if (column.x < 0 || column.x >= width) {
            continue;
        }
        // Runs of rows whose pixel is the background's.
        for (int y = from; y < to;) {
            if (beneath->pixel(column.x, y) != background) {
                ++y;
                continue;
            }
            const int runTop = y;
            while (y < to && beneath->pixel(column.x, y) == background) {
                ++y;
            }
            if (direct != nullptr) {
                for (int row = runTop; row < y; ++row) {
                    reinterpret_cast<QRgb*>(direct->scanLine(row))[column.x] = line;
                }
            } else {
                gdi::solidLine(dc, {column.x, runTop}, {column.x, y}, 1, QColor::fromRgb(line));
            }
        }
    }
}
