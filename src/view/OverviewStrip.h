#pragma once

#include <QWidget>

class CChildView;

// A strip under the view that shows the whole file: the loudest level of each column's frames, the
// break points as ticks above the levels, the frames the view shows as a frame, and the play cursor. Clicking
// or dragging in it scrolls the view so that the frame there lies in the middle of the view.
class COverviewStrip final : public QWidget {
    Q_OBJECT
public:
    explicit COverviewStrip(CChildView& view, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // The first frame shown by column x of the strip, and the column showing a frame.
    long long frameAt(int x) const;
    int columnOf(long long frame) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    long long frameCount() const;
    void scrollViewTo(int x);

    CChildView& m_view;
};
