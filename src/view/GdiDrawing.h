#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QString>

// Drawing steps with the conventions the painters are written for: lines leave out their end point
// and wide pens are centred on the line; dotted lines fill their gaps with the background colour when
// the background mode is opaque; text is placed by its top-left corner or centred in a box. Qt's
// raster painter would draw the end point and place text by its baseline, so every painter draws
// through these helpers instead of calling QPainter directly.
namespace gdi {

// A solid horizontal or vertical line from `from` up to, not including, `to`, `width` pixels wide.
void solidLine(QPainter& dc, QPoint from, QPoint to, int width, const QColor& color);

// `count` (at most 16) adjacent one-pixel columns from `left`, rows `top` up to, not including,
// `bottom`, each in its colour: several vertical lines of the same height in one pass over the rows.
void solidColumns(QPainter& dc, int left, int top, int bottom, const QColor* colors, int count);

// The image behind the painter when plain pixel writes give what the painter would draw (no
// transform, no clip, 32-bit pixels, opaque colours); null otherwise. The raster engine draws thin
// vertical lines one span per row, which made wide views with many marks slow to paint.
QImage* directImage(QPainter& dc);

// A dotted one-pixel line (Qt::DotLine) from `from` up to, not including, `to`. With the painter's
// background mode opaque the gaps take its background colour, with transparent they are left alone.
void dottedLine(QPainter& dc, QPoint from, QPoint to, const QColor& color);

// Text with the top-left corner of its cell at `topLeft`, in the painter's font and `color`; with an
// opaque background mode the cell is first filled with the background colour.
void textAt(QPainter& dc, QPoint topLeft, const QString& text, const QColor& color);

// Text on one line inside `box`, clipped to it, with the alignment flags (Qt::AlignHCenter,
// Qt::AlignLeft, ... combined with Qt::AlignVCenter).
void textInBox(QPainter& dc, const QRect& box, int alignment, const QString& text, const QColor& color);

} // namespace gdi
