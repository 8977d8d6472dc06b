#pragma once

#include <QColor>
#include <QPainter>

#include <cstddef>
#include <vector>

// Zoomed out, the marks of one column are drawn as one thin line: the first mark (in list order)
// stands for the others, and the line's state is the strongest of its marks'.
struct MarkColumn {
    int x = 0;
    int first = 0; // value of the first mark in list order
    int low = 0;   // the lowest and highest values of its marks
    int high = 0;
    int count = 0;
    QRgb state = 0;
    bool selected = false;
    bool emphasised = false; // selected or hovered: drawn over the wave
    bool head = false;       // room for its text (and, alone in its column, its buttons)
};

// A column's tick: where it starts below the row above the wave area, clear of the three rows of the
// top grid line so that a comb of ticks does not thicken that line, and how many rows it takes. The
// mark stays visible where the wave fills the column.
inline constexpr int kMarkTickTop = 4;
inline constexpr int kMarkTickRows = 10;

// The line colour of a mark that is neither selected nor hovered: its state colour halfway to the
// background, so that a dense run of lines behind the wave reads as a shade and not as a wall.
QRgb quietLineColor(QRgb state, QRgb background);

// A line with no other within this many columns either side is drawn in front of the wave: such lines
// cover at most one column in this many.
inline constexpr int kLonelyGap = 8;

// Whether the line of columns[index] (sorted by x) has no other line within kLonelyGap - 1 columns.
bool isLonely(const std::vector<MarkColumn>& columns, std::size_t index);

// The lines of the columns from row `top` to `bottom` (excluded). The line of an emphasised or a
// lonely column covers everything in its state colour; the others, quieter, only the `background`
// pixels, so that the waveform, the play line and a removed block's hatching stay whole however
// densely the marks lie. Reads the pixels beneath from the painter's image.
void drawColumnLines(QPainter& dc, const std::vector<MarkColumn>& columns, int top, int bottom,
                     QRgb background);

// The count text of a column of several marks.
QString markCountText(int count);
