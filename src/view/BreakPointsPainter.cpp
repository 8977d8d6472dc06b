#include "view/BreakPointsPainter.h"

#include "view/GdiDrawing.h"

#include <string>

namespace {

struct ButtonPlace {
    char16_t letter;
    int kind;
    int offset; // left edge relative to the mark's column
};

constexpr ButtonPlace kButtons[] = {{u'S', 0, 5}, {u'R', 2, 21}, {u'P', 1, 37}};
constexpr int kButtonSize = 13;

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

        // Two thin lines at x - 2 and x + 2 and the 3-pixel band between them, in one pass.
        const QColor mark[] = {state, background, background, background, state};
        gdi::solidColumns(*dc, x - 2, v, bottom, mark, 5);

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
            const QColor marker = isFocused ? color(params.highlightColor) : dim;
            gdi::dottedLine(*dc, {x - 3, v}, {x - 3, bottom}, marker);
            gdi::dottedLine(*dc, {x + 3, v}, {x + 3, bottom}, marker);
        }
    }
    dc->setFont(previousFont);
}
