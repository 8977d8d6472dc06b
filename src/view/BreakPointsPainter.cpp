#include "view/BreakPointsPainter.h"

#include "view/GdiDrawing.h"
#include "view/MarkLayout.h"

#include <QFontMetrics>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Right end of the buttons relative to the mark's column, and how far a mark's lines reach left of it.
constexpr int kButtonsEnd = 50;
constexpr int kLinesReach = 3;
constexpr int kTextOffset = 5;
// Qt::DotLine of a one-pixel cosmetic pen: one dot, two gaps, starting with a dot.
constexpr int kDotPeriod = 3;

struct VisibleMark {
    BreakPoint value;
    int x;
    QRgb state;
    bool selected;
    bool head; // draws its text and buttons
};

QString markText(BreakPoint b) {
    return QString::fromStdString("BP: " + std::to_string(b) + " F");
}

// Zoomed out, marks may lie closer than their texts and buttons are wide. Marks are drawn left to
// right, and a mark gets its text and buttons only when they end before the lines of the next mark
// to its right; of marks in one column only the first in list order may have them.
void chooseHeads(std::vector<VisibleMark>& marks, const QFontMetrics& metrics) {
    std::stable_sort(marks.begin(), marks.end(),
                     [](const VisibleMark& a, const VisibleMark& b) { return a.x < b.x; });
    for (std::size_t i = 0; i < marks.size(); ++i) {
        marks[i].head = false;
        const bool firstInColumn = i == 0 || marks[i - 1].x != marks[i].x;
        std::size_t next = i + 1;
        while (next < marks.size() && marks[next].x == marks[i].x) {
            ++next;
        }
        if (!firstInColumn) {
            continue;
        }
        if (next == marks.size()) {
            marks[i].head = true;
            continue;
        }
        const int room = marks[next].x - kLinesReach - marks[i].x;
        if (room < kButtonsEnd) {
            continue;
        }
        const int textEnd = kTextOffset + metrics.horizontalAdvance(markText(marks[i].value));
        marks[i].head = room >= textEnd;
    }
}

// The lines of every mark over the rows from `top` to `bottom`. Every row is one of two patterns
// (with or without the dots of the selection markers), built once with the marks written in
// drawing order, so a later mark covers an earlier one as drawing each mark in turn would.
void drawLineRows(QImage& image, const std::vector<VisibleMark>& marks, int top, int bottom, int v, QRgb band,
                  QRgb dot) {
    const int width = image.width();
    std::vector<QRgb> plain(static_cast<std::size_t>(width));
    std::vector<QRgb> dotted(static_cast<std::size_t>(width));
    std::vector<char> touched(static_cast<std::size_t>(width), 0);
    auto put = [&](std::vector<QRgb>& row, int x, QRgb pixel) {
        if (x >= 0 && x < width) {
            row[static_cast<std::size_t>(x)] = pixel;
            touched[static_cast<std::size_t>(x)] = 1;
        }
    };
    for (const VisibleMark& m : marks) {
        for (std::vector<QRgb>* row : {&plain, &dotted}) {
            put(*row, m.x - 2, m.state);
            put(*row, m.x - 1, band);
            put(*row, m.x, band);
            put(*row, m.x + 1, band);
            put(*row, m.x + 2, m.state);
        }
        if (m.selected) {
            put(dotted, m.x - 3, dot);
            put(dotted, m.x + 3, dot);
        }
    }
    // The same dots in a plain row leave the picture beneath: those columns are only dotted-row ones.
    std::vector<char> inPlain(static_cast<std::size_t>(width), 0);
    for (const VisibleMark& m : marks) {
        for (int x = m.x - 2; x <= m.x + 2; ++x) {
            if (x >= 0 && x < width) {
                inPlain[static_cast<std::size_t>(x)] = 1;
            }
        }
    }
    struct Run {
        int from;
        int to;
    };
    auto runsOf = [width](const std::vector<char>& mask) {
        std::vector<Run> runs;
        for (int x = 0; x < width;) {
            if (!mask[static_cast<std::size_t>(x)]) {
                ++x;
                continue;
            }
            const int from = x;
            while (x < width && mask[static_cast<std::size_t>(x)]) {
                ++x;
            }
            runs.push_back({from, x});
        }
        return runs;
    };
    const std::vector<Run> plainRuns = runsOf(inPlain);
    const std::vector<Run> dottedRuns = runsOf(touched);

    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const int lastRow = std::min(bottom, image.height());
    for (int y = std::max(top, 0); y < lastRow; ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        const bool dotRow = (y - v) % kDotPeriod == 0;
        const std::vector<QRgb>& pattern = dotRow ? dotted : plain;
        for (const Run& run : dotRow ? dottedRuns : plainRuns) {
            std::copy(pattern.begin() + run.from, pattern.begin() + run.to, row + run.from);
        }
    }
}

// Zoomed out: the marks, sorted by column with chooseHeads, become one line per column.
std::vector<MarkColumn> columnsOf(const std::vector<VisibleMark>& marks, int selected, int hovered,
                                  bool isFocused) {
    std::vector<MarkColumn> columns;
    for (const VisibleMark& m : marks) {
        if (columns.empty() || columns.back().x != m.x) {
            columns.push_back({m.x, m.value, m.value, m.value, 0, m.state, false, false, m.head});
        }
        MarkColumn& column = columns.back();
        column.low = std::min(column.low, m.value);
        column.high = std::max(column.high, m.value);
        ++column.count;
        column.selected = column.selected || m.value == selected;
        column.emphasised = column.emphasised || m.value == selected || m.value == hovered;
        // Selected wins over hovered, hovered over the rest, as for a single mark.
        if (isFocused && (m.value == selected || (m.value == hovered && !column.selected))) {
            column.state = m.state;
        }
    }
    return columns;
}

} // namespace

void BreakPointsPainter::paint() {
    // While loading, the view hands over only the marks placed in the part already scanned.
    const bool isFocused = focused();
    const QFont previousFont = dc->font();
    dc->setFont(fontFromLogFont(params.font));

    const int top = waveTop();
    const int bottom = waveBottom();
    const int v = top - 1;
    const bool zoomed = scale.framesPerColumn > 1;
    const QColor background = color(params.backgroundColor);
    const QColor dim = color(params.dimColor);
    const QColor marker = isFocused ? color(params.highlightColor) : dim;

    std::vector<VisibleMark> marks;
    for (const BreakPoint b : breakPoints) {
        const int x = scale.columnOf(b);
        if (x < 0 || x >= width) {
            continue;
        }
        QColor state = dim;
        if (isFocused) {
            state = color(b == selected  ? params.selectedColor
                          : b == hovered ? params.highlightColor
                                         : params.markColor);
        }
        marks.push_back({b, x, state.rgb(), b == selected, true});
    }
    if (zoomed) {
        chooseHeads(marks, QFontMetrics(dc->font()));
        paintColumns(columnsOf(marks, selected, hovered, isFocused), background, marker);
        dc->setFont(previousFont);
        return;
    }

    // Texts and buttons lie in the first rows of a mark; below them a mark is only its lines. With
    // direct pixel access the lines below the heads, which may cover each other, are drawn in one
    // pass over the rows.
    QImage* const image = gdi::directImage(*dc);
    int linesTop = bottom;
    if (image != nullptr) {
        linesTop = std::min(bottom, v + 23 + QFontMetrics(dc->font()).height());
    }
    if (image != nullptr && linesTop < bottom && !marks.empty()) {
        drawLineRows(*image, marks, linesTop, bottom, v, background.rgb(), marker.rgb());
    }

    std::vector<DrawnMark> drawnMarks;
    drawnMarks.reserve(marks.size());
    for (const VisibleMark& m : marks) {
        drawnMarks.push_back({m.value, m.x, m.head});
    }
    // Buttons overlap when marks lie close: only the one on top reaches the pointer, so only it is lit.
    const MarkHit lit = topmostMarkHit(drawnMarks, v, bottom, pointer);
    const QPoint away(-1'000'000, -1'000'000);

    for (std::size_t index = 0; index < marks.size(); ++index) {
        const VisibleMark& m = marks[index];
        const int x = m.x;
        const QColor state = QColor::fromRgb(m.state);
        if (linesTop > v) {
            // Two thin lines at x - 2 and x + 2 and the 3-pixel band between them.
            const QColor mark[] = {state, background, background, background, state};
            gdi::solidColumns(*dc, x - 2, v, linesTop, mark, 5);
        }
        if (m.head) {
            dc->setBackground(background);
            dc->setBackgroundMode(Qt::OpaqueMode);
            gdi::textAt(*dc, {x + kTextOffset, v + 23}, markText(m.value), state);
            for (const MarkButtonPlace& place : kMarkButtons) {
                const bool isLit = lit.kind == MarkHit::Kind::Button &&
                                   lit.markIndex == static_cast<int>(index) && lit.letter == place.letter;
                auto button = std::make_unique<ButtonPainter>(*dc, markButtonRect(x, v, place), params,
                                                              *m_frame, place.letter, place.kind,
                                                              isLit ? pointer : away, m.value);
                button->paint();
                buttons.push_back(std::move(button));
            }
        }
        if (m.selected && linesTop > v) {
            // Transparent, as the buttons leave it: these gaps show what lies beneath.
            dc->setBackgroundMode(Qt::TransparentMode);
            gdi::dottedLine(*dc, {x - 3, v}, {x - 3, linesTop}, marker);
            gdi::dottedLine(*dc, {x + 3, v}, {x + 3, linesTop}, marker);
        }
    }
    dc->setFont(previousFont);
    if (drawn != nullptr) {
        *drawn = std::move(drawnMarks);
    }
}

void BreakPointsPainter::paintColumns(const std::vector<MarkColumn>& columns, const QColor& background,
                                      const QColor& marker) {
    const int v = waveTop() - 1;
    const int bottom = waveBottom();
    const int tickTop = v + kMarkTickTop;
    const int tickEnd = tickTop + kMarkTickRows;
    drawColumnLines(*dc, columns, tickEnd, bottom, background.rgb());

    std::vector<DrawnMark> drawnMarks;
    drawnMarks.reserve(columns.size());
    for (const MarkColumn& column : columns) {
        // Buttons act on one mark: a line that stands for several has none.
        drawnMarks.push_back({column.first, column.x, column.head && column.count == 1, column.count,
                              column.low, column.high});
    }
    const MarkHit lit = columnMarkHit(drawnMarks, v, bottom, pointer);
    const QPoint away(-1'000'000, -1'000'000);
    for (std::size_t index = 0; index < columns.size(); ++index) {
        const MarkColumn& column = columns[index];
        const QColor state = QColor::fromRgb(column.state);
        gdi::solidLine(*dc, {column.x, tickTop}, {column.x, tickEnd}, 1, state);
        if (column.head) {
            dc->setBackground(background);
            dc->setBackgroundMode(Qt::OpaqueMode);
            const QString text = column.count == 1 ? markText(column.first) : markCountText(column.count);
            gdi::textAt(*dc, {column.x + kTextOffset, v + 23}, text, state);
        }
        if (drawnMarks[index].head) {
            for (const MarkButtonPlace& place : kMarkButtons) {
                const bool isLit = lit.kind == MarkHit::Kind::Button &&
                                   lit.markIndex == static_cast<int>(index) && lit.letter == place.letter;
                auto button = std::make_unique<ButtonPainter>(*dc, markButtonRect(column.x, v, place), params,
                                                              *m_frame, place.letter, place.kind,
                                                              isLit ? pointer : away, column.first);
                button->paint();
                buttons.push_back(std::move(button));
            }
        }
        if (column.selected) {
            dc->setBackgroundMode(Qt::TransparentMode);
            gdi::dottedLine(*dc, {column.x - 3, v}, {column.x - 3, bottom}, marker);
            gdi::dottedLine(*dc, {column.x + 3, v}, {column.x + 3, bottom}, marker);
        }
    }
    if (drawn != nullptr) {
        *drawn = std::move(drawnMarks);
    }
}
