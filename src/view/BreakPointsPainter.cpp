#include "view/BreakPointsPainter.h"

#include "view/GdiDrawing.h"

#include <QFontMetrics>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct ButtonPlace {
    char16_t letter;
    int kind;
    int offset; // left edge relative to the mark's column
};

constexpr ButtonPlace kButtons[] = {{u'S', 0, 5}, {u'R', 2, 21}, {u'P', 1, 37}};
constexpr int kButtonSize = 13;
// Qt::DotLine of a one-pixel cosmetic pen: one dot, two gaps, starting with a dot.
constexpr int kDotPeriod = 3;

struct VisibleMark {
    int x;
    QRgb state;
    bool selected;
};

} // namespace

void BreakPointsPainter::paint() {
    if (loading()) {
        return;
    }
    const bool isFocused = focused();
    const QFont previousFont = dc->font();
    dc->setFont(fontFromLogFont(params.font));

    const int top = waveTop();
    const int bottom = waveBottom();
    const int v = top - 1;
    const long long s = firstFrame;
    const QColor background = color(params.backgroundColor);
    const QColor dim = color(params.dimColor);
    const QColor marker = isFocused ? color(params.highlightColor) : dim;

    // Texts and buttons lie in the first rows of a mark; below them a mark is only its lines. With
    // direct pixel access the lower part of every mark is drawn afterwards in one pass over the rows,
    // in list order, which gives the same picture as drawing each mark to the bottom in turn.
    QImage* const image = gdi::directImage(*dc);
    const int headBottom =
        image != nullptr ? std::min(bottom, v + 23 + QFontMetrics(dc->font()).height()) : bottom;
    std::vector<VisibleMark> marks;

    for (const BreakPoint b : breakPoints) {
        if (b < s || b >= s + width) {
            continue;
        }
        const int x = static_cast<int>(b - s);
        QColor state = dim;
        if (isFocused) {
            state = color(b == selected  ? params.selectedColor
                          : b == hovered ? params.highlightColor
                                         : params.markColor);
        }

        // Two thin lines at x - 2 and x + 2 and the 3-pixel band between them.
        const QColor mark[] = {state, background, background, background, state};
        gdi::solidColumns(*dc, x - 2, v, headBottom, mark, 5);

        dc->setBackground(background);
        dc->setBackgroundMode(Qt::OpaqueMode);
        gdi::textAt(*dc, {x + 5, v + 23}, QString::fromStdString("BP: " + std::to_string(b) + " F"), state);

        for (const ButtonPlace& place : kButtons) {
            const QRect rect(x + place.offset, v + 7, kButtonSize, kButtonSize);
            auto button = std::make_unique<ButtonPainter>(*dc, rect, params, *m_frame, place.letter,
                                                          place.kind, pointer, b);
            button->paint();
            buttons.push_back(std::move(button));
        }

        if (b == selected) {
            // The buttons left the background mode transparent: these gaps show what lies beneath.
            gdi::dottedLine(*dc, {x - 3, v}, {x - 3, headBottom}, marker);
            gdi::dottedLine(*dc, {x + 3, v}, {x + 3, headBottom}, marker);
        }
        marks.push_back({x, state.rgb(), b == selected});
    }

    if (image != nullptr && headBottom < bottom && !marks.empty()) {
        const QRgb band = background.rgb();
        const QRgb dot = marker.rgb();
        const int imageWidth = image->width();
        const int lastRow = std::min(bottom, image->height());
        auto put = [imageWidth](QRgb* row, int x, QRgb pixel) {
            if (x >= 0 && x < imageWidth) {
                row[x] = pixel;
            }
        };
        // The painter is active on the image, so it is not shared and bits() does not copy it.
        uchar* const bits = image->bits();
        const qsizetype stride = image->bytesPerLine();
        for (int y = std::max(headBottom, 0); y < lastRow; ++y) {
            auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
            const bool dotRow = (y - v) % kDotPeriod == 0;
            for (const VisibleMark& m : marks) {
                put(row, m.x - 2, m.state);
                put(row, m.x - 1, band);
                put(row, m.x, band);
                put(row, m.x + 1, band);
                put(row, m.x + 2, m.state);
                if (m.selected && dotRow) {
                    put(row, m.x - 3, dot);
                    put(row, m.x + 3, dot);
                }
            }
        }
    }
    dc->setFont(previousFont);
}
