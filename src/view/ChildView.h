#pragma once

#include "document/SplitDocument.h"
#include "engine/LevelSummary.h"
#include "playback/Player.h"
#include "view/ButtonPainter.h"
#include "view/FrameScale.h"
#include "view/LoadedFileClock.h"
#include "view/MarkHits.h"
#include "view/QtWindowLink.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QScrollBar;
class SoundOutput;

// Holds the view's own message link so that it exists before the document base that refers to it.
struct ChildViewLink {
    explicit ChildViewLink(QtWindowLink::Handler handler) : m_viewLink(nullptr, std::move(handler)) {}
    QtWindowLink m_viewLink;
};

// The waveform view: the central widget of the main window and the owner of the document. One
// pixel column shows one frame, or several when zoomed out; the top HEADER_HEIGHT rows hold the
// lights and labels.
class CChildView : public QWidget, private ChildViewLink, public SplitDocument {
    Q_OBJECT
public:
    CChildView(WindowLink& frame, UserPrompts& prompts, QWidget* parent = nullptr);
    // With a sound output of the caller's choice (tests, or a device picked by the shell).
    CChildView(WindowLink& frame, UserPrompts& prompts, std::unique_ptr<SoundOutput> output,
               QWidget* parent = nullptr);
    ~CChildView() override;

    // The link through which threads reach this view.
    WindowLink& viewLink() { return m_viewLink; }

    std::intptr_t handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    // The main window answers UM_QUERY_LOADING, UM_QUERY_LOADED and UM_QUERY_VIEW_FOCUS with this.
    std::intptr_t answerQuery(unsigned message) const;

    // Document hooks. Each may be called from a worker thread; the work is done on the GUI thread.
    void invalidateView() override;
    bool showsLoadingLevels() const override { return true; }
    void updateScrollBar() override;
    void setScrollPosition(int frame) override;
    void stopPlayback() override;
    bool dragInProgress() const override { return m_dragging; }

    // The client area: the widget without the scroll bar. W and H of the painters.
    QRect clientArea() const;

    // --- Scrolling (m_scrollFrame is the first visible frame)
    void scrollLineLeft();
    void scrollLineRight();
    void scrollPageLeft();
    void scrollPageRight();
    void scrollToStart();
    void scrollToEnd();
    // `delta` is the wheel distance, 120 per notch, positive away from the user.
    void scrollWheel(int delta);
    // Shows `frame` as the first visible frame, as far as the file allows.
    void scrollTo(long long frame);

    // --- Zoom: m_framesPerColumn frames per column, from 1 up to what fits the file in the width.
    int maxFramesPerColumn() const;
    // The frame at `anchorColumn` stays in that column.
    void zoomTo(int framesPerColumn, int anchorColumn);
    void zoomIn();
    void zoomOut();
    void zoomToWholeFile();
    void zoomToOneFramePerColumn();
    // Ctrl+wheel: in away from the user, out towards; the frame under the pointer stays there, unless
    // that would push a playing position off the screen. The other zoom commands zoom around the play
    // position while it plays on the screen.
    void zoomWheel(int delta, int pointerColumn);
    FrameScale frameScale() const { return {m_scrollFrame, m_framesPerColumn}; }
    // The frames the client area shows: its width in columns times the frames per column.
    long long visibleFrames() const;
    // The maximum pyramid of the shown levels; empty while loading.
    const LevelSummary& levelSummary();
    // The loaded levels as the block edits will make them: each frame scaled as its loudest granule
    // (ChildViewLevels.cpp). Hands the same change of level to the player (GUI thread).
    const std::vector<int>& shownLevels();

    // Break points a dialog proposes, drawn as dotted marks until it clears them (GUI thread). They
    // are no part of the list.
    void setPreviewBreakPoints(std::vector<int> frames);
    const std::vector<int>& previewBreakPoints() const { return m_previewBreakPoints; }

    // Ctrl+Left (-1) and Ctrl+Right (+1): selects the previous or next break point by value, from
    // the selected one or else from the play cursor, and scrolls it into view.
    void selectNeighbourBreakPoint(int direction);

    // The frame under the mouse pointer, read from the system at the time of the call and clamped to
    // 0..F (F when right of the last frame); -1 while loading or when F = 0.
    int pointerFrame() const;
    int pointerFrameAt(QPoint clientPoint) const;

    // --- Hit tests
    using SplitDocument::hitBreakPoint;
    // The first break point in list order within 6 frames of pointerFrame(); zoomed out, the mark whose
    // line the last paint drew under the pointer, alone in its column. -1 while loading, when F = 0 or
    // when none is near.
    int hitBreakPoint() const;
    struct ButtonHit {
        char16_t letter;
        int breakPoint;
        QRect area;
    };
    // The button of the last paint drawn on top at the point; none when a later mark's lines cover it.
    std::optional<ButtonHit> hitButton(QPoint clientPoint) const;
    // What the last paint drew on top at the point among the marks and their buttons.
    MarkHit topmostHit(QPoint clientPoint) const;
    // The tooltip text of a button letter; empty for any other letter.
    static QString buttonTooltip(char16_t letter);
    // The tooltip of a mark's line: its frame and time, or for a line of several marks their count
    // and the times of the first and the last.
    QString markTooltip(const MarkHit& hit);
    // The clock of the loaded file; empty while loading or without frames.
    const std::optional<FrameClock>& fileClock() { return m_fileClock.of(*this); }

    // Runs the paint pipeline into `image` (resized to the client area) with the pointer at `pointer`
    // in client coordinates. paintEvent uses it and copies the image to the window in one step.
    void render(QImage& image, QPoint pointer);

    Player& player() { return m_player; }
    const Player& player() const { return m_player; }
    std::uint32_t scrollFrame() const { return m_scrollFrame; }
    const std::vector<std::unique_ptr<ButtonPainter>>& buttons() const { return m_buttons; }

    // --- Mouse state: the break point under the pointer, the press and the drag.
    int m_hoverBreakPoint = -1;
    bool m_mouseDown = false;
    bool m_dragging = false;
    // Index of the element being dragged; empty when none.
    std::optional<std::size_t> m_dragIt;

    // --- Painting state
    std::uint32_t m_scrollFrame = 0;
    int m_framesPerColumn = 1;
    QImage m_waveCache;
    std::uint32_t m_cacheFrame = 0;
    bool m_cacheFocus = false;
    QRect m_cacheRect{0, 0, 0, 0};
    std::vector<std::unique_ptr<ButtonPainter>> m_buttons;
    // The marks of the last paint in drawing order, and the rows their lines cover.
    std::vector<DrawnMark> m_drawnMarks;
    int m_marksTop = 0;
    int m_marksBottom = 0;
    FrameScale m_drawnScale;
    // Where the dragged mark was grabbed, its value then, and whether the pointer has left the spot.
    QPoint m_grabPoint;
    int m_grabValue = 0;
    bool m_dragMoved = false;

signals:
    // After every paint: what the view shows, its cursor or its pointer may have changed.
    void painted();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // The time pane shows the pointer's time only while the pointer is over the view.
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void onScrollAction(int action);
    void applyScrollBar();
    void setScrollFrame(long long frame);
    long long lastScrollFrame() const;
    bool isLoading() const { return m_loadThread.isSet(); }
    // F as the GUI thread may read it: 0 while the loading thread owns the levels.
    int shownFrameCount() const { return isLoading() ? 0 : frameCount(); }
    // The frames the user may scroll through: while loading, those the scan has published so far.
    long long scrollableFrameCount() const {
        return isLoading() ? static_cast<long long>(m_loadingPreview.size()) : frameCount();
    }
    // While loading: the levels the scan has published, brought up to date (GUI thread).
    const std::vector<int>& loadingPreview();
    // The user may move the play cursor: a file with frames, no load, and not playing unless Ctrl is held.
    bool mayMoveCursor() const;
    // The column of the play position while playing and on the screen.
    std::optional<int> playColumnOnScreen() const;
    // Zooms with `frame` staying in `column`.
    void zoomKeeping(int framesPerColumn, long long frame, int column);
    // The zoom commands keep the play position in its column while it plays on the screen, else the
    // frame in the middle column.
    void zoomAroundPlayOrMiddle(int framesPerColumn);
    bool selectionInList() const;
    QPoint pointerInClient() const;

    QScrollBar* m_scrollBar = nullptr;
    LevelSummary m_levelSummary;
    const int* m_summarySource = nullptr;
    std::size_t m_summarySize = 0;
    // A copy of what m_loadingLevels has published of the load under way, and of which load.
    std::vector<int> m_loadingPreview;
    unsigned m_previewGeneration = 0;
    // Marks placed in the scanned part during a load: the list belongs to the loading thread until
    // it is done, so they join it then, as one step.
    BreakPointList m_marksWhileLoading;
    std::uint64_t m_summaryVersion = 0;
    // What shownLevels() last gave: the change it applied, the loaded levels it scaled, and a count
    // that moves on with every change.
    mp3::LevelMap m_shownMap;
    std::vector<int> m_scaledLevels;
    const int* m_scaledSource = nullptr;
    std::size_t m_scaledSize = 0;
    std::uint64_t m_shownVersion = 0;
    QImage m_image;
    std::vector<int> m_previewBreakPoints;
    LoadedFileClock m_fileClock;
    Player m_player;
};

// The one view of the process.
extern CChildView* g_view;
