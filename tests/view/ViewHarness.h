#pragma once

#include "document/MessageQueueLink.h"
#include "support/RecordingPrompts.h"
#include "view/ChildView.h"
#include "view/NoSoundOutput.h"

#include <QImage>
#include <QPoint>

#include <atomic>
#include <filesystem>
#include <memory>
#include <vector>

// A shown view of a given client size, fed by hand, with a main-window stand-in that answers the
// painters' queries (the focus answer is under the test's control) and records every message.
class ViewHarness {
public:
    // Without a sound device unless the test hands in an output of its own.
    ViewHarness(int clientWidth, int clientHeight,
                std::unique_ptr<SoundOutput> output = std::make_unique<NoSoundOutput>());
    ~ViewHarness();

    // A file of `levels.size()` frames without audio: the cursor stays at its end.
    void setLevels(std::vector<int> levels);
    // A real file, scanned as the loading thread would, with the cursor on frame 0.
    void load(const std::filesystem::path& path);
    // Keeps the loading slot set until stopLoading().
    void startLoading();
    void stopLoading();

    QImage render(QPoint pointer = QPoint(-1000, -1000));
    // Puts the system pointer at a client point (pointerFrame reads it from there).
    void pointAt(QPoint clientPoint);

    // Mouse and key events as the system delivers them, the pointer moved there first.
    void press(QPoint p, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void move(QPoint p, Qt::MouseButtons buttons = Qt::LeftButton);
    void release(QPoint p, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void click(QPoint p, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void doubleClick(QPoint p);
    void keyRelease(Qt::Key key, bool autoRepeat = false, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    int top() const { return HEADER_HEIGHT; }
    int bottom() const { return view->clientArea().height(); }

    MessageQueueLink frame;
    RecordingPrompts prompts;
    bool focused = true;
    std::unique_ptr<CChildView> view;

private:
    std::atomic<bool> m_releaseLoading{false};
};

// Colour helpers for pixel checks.
QRgb rgbOf(ColorRef color);
// The label or text as the painters draw it: the text's pixels in `color` on `background`, `size` big.
QImage referenceText(QSize size, const QString& text, QRgb color, QRgb background, int alignment);
QImage crop(const QImage& image, const QRect& rect);
