#pragma once

#include <QLabel>

class CChildView;

// The status-bar pane with the length of the loaded file, the time of the play cursor and, while the
// pointer is over the view, of the frame under it, counted from the start of the decoded audio.
class CTimePane final : public QLabel {
    Q_OBJECT
public:
    explicit CTimePane(CChildView& view, QWidget* parent = nullptr);

    // Reads the view's state again; the view's paints call it.
    void refresh();

private:
    CChildView& m_view;
};
