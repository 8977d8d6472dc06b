#pragma once

#include "document/formats/FrameTimeline.h"

#include <QDialog>

#include <optional>

class IntegerEdit;
class ShellPrompts;

// Asks for the position of a new break point: a frame number (a bare integer, or one ending in "f")
// or a time ("1:02:03.5", "62.5s"), which becomes the frame starting nearest to it on `timeline`.
// Any frame is accepted as typed; the arrows stay within 0..maxFrame.
class CAddBreakPointDialog : public QDialog {
    Q_OBJECT
public:
    CAddBreakPointDialog(int initialFrame, int maxFrame, ShellPrompts& prompts, QWidget* parent = nullptr,
                         std::optional<FrameTimeline> timeline = std::nullopt);

    // The value read when the dialog closed with OK.
    int frame() const { return m_frame; }

    void accept() override;

private:
    ShellPrompts& m_prompts;
    IntegerEdit* m_edit;
    std::optional<FrameTimeline> m_timeline;
    int m_frame;
};
