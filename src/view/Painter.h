#pragma once

#include "document/WindowLink.h"
#include "view/DrawParameters.h"

#include <QPainter>
#include <QRect>

// Rows 0..69 are the header band with the lights and labels; the wave area starts below it.
constexpr int HEADER_HEIGHT = 70;

// Base of the painters. A painter is made for one paint with the off-screen painter of that paint,
// its area in client coordinates and its own copy of the colours, and `paint` is called once.
// Painters have no pointer to the view: they ask the main window whether a file is loading, loaded
// and whether the view has the focus.
class Painter {
public:
    Painter(QPainter& dc, const QRect& area, const DrawParameters& params, WindowLink& frame)
        : dc(&dc), area(area), params(params), m_frame(&frame) {}
    virtual ~Painter() = default;
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    virtual void paint() = 0;

    // Valid only during the paint that made the painter.
    QPainter* dc;
    QRect area;
    DrawParameters params;

protected:
    bool loading() const { return m_frame->send(UM_QUERY_LOADING, 0, 0) != 0; }
    bool loaded() const { return m_frame->send(UM_QUERY_LOADED, 0, 0) != 0; }
    bool focused() const { return m_frame->send(UM_QUERY_VIEW_FOCUS, 0, 0) != 0; }
    // Edges of the wave area (the area below the header band); right and bottom are exclusive.
    int waveLeft() const { return area.left(); }
    int waveRight() const { return area.left() + area.width(); }
    int waveTop() const { return area.top() + HEADER_HEIGHT; }
    int waveBottom() const { return area.top() + area.height(); }
    QColor color(ColorRef value) const { return toQColor(value); }

    WindowLink* m_frame;
};
