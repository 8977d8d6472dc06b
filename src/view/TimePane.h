#pragma once

#include "document/FrameTime.h"

#include <QLabel>

#include <filesystem>
#include <optional>

class CChildView;

// The status-bar pane with the time of the play cursor and, while the pointer is over the view, of
// the frame under it, counted from the start of the decoded audio.
class CTimePane final : public QLabel {
    Q_OBJECT
public:
    explicit CTimePane(CChildView& view, QWidget* parent = nullptr);

    // Reads the view's state again; the view's paints call it.
    void refresh();

private:
    const std::optional<FrameClock>& clock();

    CChildView& m_view;
    // The clock of the loaded file, read from its first frame once per loaded file.
    std::optional<FrameClock> m_clock;
    std::filesystem::path m_clockPath;
    std::int64_t m_clockOffset = -1;
    int m_clockFrames = -1;
};
