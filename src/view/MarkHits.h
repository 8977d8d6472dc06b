#pragma once

#include "view/FrameScale.h"

#include <QPoint>
#include <QRect>

#include <vector>

// A break point mark as the last paint drew it; the marks are kept in drawing order, so a later one
// lies on top of an earlier one.
struct DrawnMark {
    int value = 0;
    int x = 0;         // the column of its middle line
    bool head = false; // drawn with its text and buttons
    // Zoomed out, one drawn line stands for every mark of its column: how many, and the lowest and
    // highest of their values.
    int count = 1;
    int lowValue = 0;
    int highValue = 0;
};

struct MarkButtonPlace {
    char16_t letter;
    int kind;
    int offset; // left edge relative to the mark's column
};

inline constexpr MarkButtonPlace kMarkButtons[] = {{u'S', 0, 5}, {u'R', 2, 21}, {u'P', 1, 37}};
inline constexpr int kMarkButtonSize = 13;
// The buttons' top relative to the row above the wave area.
inline constexpr int kMarkButtonTop = 7;
// How far a mark's drawn lines reach to either side of its column.
inline constexpr int kMarkLinesReach = 2;

QRect markButtonRect(int x, int v, const MarkButtonPlace& place);

// What a click at a point reaches: a button, the lines of a mark, a line that stands for several
// marks (a click there moves the cursor), or neither.
struct MarkHit {
    enum class Kind { None, Button, Mark, Crowded };
    Kind kind = Kind::None;
    int markIndex = -1; // into the drawn marks
    int breakPoint = -1;
    char16_t letter = 0;
    QRect area;
    int count = 0; // marks under the line
    int lowValue = -1;
    int highValue = -1;
};

// The topmost thing drawn at `point` of the marks drawn from row `v` down to `bottom` (excluded):
// marks are tried from the last drawn back, each with its buttons before its lines.
MarkHit topmostMarkHit(const std::vector<DrawnMark>& marks, int v, int bottom, QPoint point);

// The same zoomed out, where every drawn mark is one thin line per column: a button of a mark with
// its head, else the line in the pointer's column, else the line in a column next to it when only
// one of the two holds one (a one-pixel target is hard to hit). A line of several marks is Crowded.
MarkHit columnMarkHit(const std::vector<DrawnMark>& marks, int v, int bottom, QPoint point);

// The marks of `list` in columns 0..width-1 of `scale`, one per column in column order, without
// heads: the lines a zoomed-out paint draws.
std::vector<DrawnMark> markColumns(const std::vector<int>& list, const FrameScale& scale, int width);
