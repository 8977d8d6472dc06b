#include "view/ChildView.h"

#include "output/SaveBlocks.h"
#include "playback/PortAudioOutput.h"
#include "settings/PreferencesFile.h"
#include "view/BreakPointsPainter.h"
#include "view/CursorPainter.h"
#include "view/DrawParameters.h"
#include "view/EditKeys.h"
#include "view/LabelPainter.h"
#include "view/LightPainter.h"
#include "view/PlayFollower.h"
#include "view/PlayIndicatorPainter.h"
#include "view/PreviewMarksPainter.h"
#include "view/RemovedBlocksPainter.h"
#include "view/WavePainter.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThread>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>
#include <utility>

CChildView* g_view = nullptr;

namespace {

// The system's default device; without one, play logs that the output cannot be opened.
std::unique_ptr<SoundOutput> defaultSoundOutput() {
    return std::make_unique<PortAudioOutput>();
}

// While playing, the view turns a page once the play position has left the screen; not while the
// user holds the mouse button or the scroll bar's slider.
void followPlayback(CChildView& view, const QScrollBar& scrollBar) {
    if (!view.player().isPlaying() || view.m_mouseDown || view.m_loadThread.isSet() ||
        scrollBar.isSliderDown()) {
        return;
    }
    if (const auto first =
            followScroll(view.player().playPosition(), view.scrollFrame(), view.visibleFrames())) {
        view.scrollTo(*first);
    }
}

QString labelText(const char* format, int value) {
    return QString::asprintf(format, value);
}

} // namespace

CChildView::CChildView(WindowLink& frame, UserPrompts& prompts, QWidget* parent)
    : CChildView(frame, prompts, defaultSoundOutput(), parent) {}

CChildView::CChildView(WindowLink& frame, UserPrompts& prompts, std::unique_ptr<SoundOutput> output,
                       QWidget* parent)
    : QWidget(parent), ChildViewLink([this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
          return handleMessage(message, wParam, lParam);
      }),
      SplitDocument(frame, m_viewLink, prompts), m_player(*this, std::move(output)) {
    m_viewLink = QtWindowLink(this, [this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
        return handleMessage(message, wParam, lParam);
    });
    g_view = this;
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    // Every pixel is painted from the off-screen image; nothing is erased first, so nothing flickers.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setCursor(Qt::ArrowCursor);

    m_scrollBar = new QScrollBar(Qt::Horizontal, this);
    m_scrollBar->setFocusPolicy(Qt::NoFocus);
    connect(m_scrollBar, &QScrollBar::actionTriggered, this, &CChildView::onScrollAction);
    m_scrollBar->setGeometry(0, height() - m_scrollBar->sizeHint().height(), width(),
                             m_scrollBar->sizeHint().height());

    // An edit made while playing reaches the player when the program next goes idle.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { m_player.followEdits(); });
    }

    updateScrollBar();
    Preferences preferences = this->preferences();
    loadPreferences(preferencesPath(), preferences);
    setPreferences(preferences);
}

CChildView::~CChildView() {
    m_player.stop();
    savePreferences(preferencesPath(), preferences());
    m_cursor.close();
    if (g_view == this) {
        g_view = nullptr;
    }
}

// --- Messages

std::intptr_t CChildView::handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == UM_LOAD_DONE) {
        const std::intptr_t result = SplitDocument::handleMessage(message, wParam, lParam);
        BreakPointList marks;
        marks.swap(m_marksWhileLoading);
        if (wParam == 0 && !marks.empty()) {
            EditStep step(*this, "Add break points");
            for (const BreakPoint mark : marks) {
                addBreakPointAt(mark);
            }
        }
        return result;
    }
    if (message != UM_BREAKPOINT_BUTTON) {
        return SplitDocument::handleMessage(message, wParam, lParam);
    }
    // While loading, the list belongs to the loading thread.
    if (isLoading()) {
        return 0;
    }
    const int value = static_cast<int>(lParam);
    switch (wParam) {
    case 'P':
        m_player.playFromBreakPoint(value);
        break;
    case 'R':
        SplitDocument::handleMessage(message, wParam, lParam);
        break;
    case 'S':
        // A removed block is no part of the result: it is restored before it is saved alone.
        if (const int block = blockAt(value); block >= 0 && isBlockRemoved(block)) {
            log(LogLevel::Error, "The block from " + std::to_string(value) +
                                     " F has been removed, restore it before saving it!");
        } else {
            saveBlockFromBreakPoint(*this, value);
        }
        break;
    default:
        break;
    }
    return 0;
}

std::intptr_t CChildView::answerQuery(unsigned message) const {
    switch (message) {
    case UM_QUERY_LOADING:
        return isLoading() ? 1 : 0;
    case UM_QUERY_LOADED:
        return shownFrameCount() >= 1 ? 1 : 0;
    case UM_QUERY_VIEW_FOCUS:
        return hasFocus() ? 1 : 0;
    default:
        return 0;
    }
}

void CChildView::invalidateView() {
    if (QThread::currentThread() == thread()) {
        update();
        return;
    }
    // The player asks from its thread after every buffer (the view follows the play position); the
    // loading thread asks every thousand frames (the bar then reaches the frames scanned since).
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isLoading()) {
                updateScrollBar();
            } else {
                followPlayback(*this, *m_scrollBar);
            }
            update();
        },
        Qt::QueuedConnection);
}

const std::vector<int>& CChildView::loadingPreview() {
    if (m_previewGeneration != m_loadingLevels.generation()) {
        m_loadingPreview.clear();
        m_marksWhileLoading.clear();
        m_previewGeneration = m_loadingLevels.generation();
    }
    m_loadingLevels.copyNew(m_loadingPreview);
    return m_loadingPreview;
}

void CChildView::stopPlayback() {
    m_player.stop();
}

// --- Pointer

QPoint CChildView::pointerInClient() const {
    return mapFromGlobal(QCursor::pos());
}

int CChildView::pointerFrame() const {
    return pointerFrameAt(pointerInClient());
}

int CChildView::pointerFrameAt(QPoint clientPoint) const {
    const long long f = shownFrameCount();
    if (f == 0) {
        return -1;
    }
    const long long a = frameScale().frameAt(clientPoint.x());
    return static_cast<int>(std::clamp(a, 0LL, f));
}

int CChildView::hitBreakPoint() const {
    if (shownFrameCount() == 0) {
        return -1;
    }
    // A mark drawn on top of the pointer is the one it reaches.
    const MarkHit drawn = topmostHit(pointerInClient());
    if (drawn.kind == MarkHit::Kind::Mark && !isLoading()) {
        return drawn.breakPoint;
    }
    if (m_framesPerColumn == 1) {
        return SplitDocument::hitBreakPoint(pointerFrame());
    }
    // Zoomed out, a mark is hit only on its line as drawn; a line of several marks is not one mark,
    // so a click there moves the cursor.
    return -1;
}

MarkHit CChildView::topmostHit(QPoint clientPoint) const {
    // A zoom or a scroll not painted yet: the marks are where the next paint will draw them.
    const FrameScale scale = frameScale();
    const bool painted =
        scale.first == m_drawnScale.first && scale.framesPerColumn == m_drawnScale.framesPerColumn;
    if (m_framesPerColumn > 1 && !isLoading()) {
        const int v = clientArea().top() + HEADER_HEIGHT - 1;
        const int bottom = clientArea().bottom() + 1;
        return columnMarkHit(painted ? m_drawnMarks : markColumns(m_breakPoints, scale, clientArea().width()),
                             v, bottom, clientPoint);
    }
    if (!painted || (m_buttons.empty() && m_drawnMarks.empty())) {
        return {};
    }
    return topmostMarkHit(m_drawnMarks, m_marksTop, m_marksBottom, clientPoint);
}

std::optional<CChildView::ButtonHit> CChildView::hitButton(QPoint clientPoint) const {
    const MarkHit hit = topmostHit(clientPoint);
    if (hit.kind != MarkHit::Kind::Button) {
        return std::nullopt;
    }
    return ButtonHit{hit.letter, hit.breakPoint, hit.area};
}

QString CChildView::buttonTooltip(char16_t letter) {
    switch (letter) {
    case u'P':
        return QStringLiteral("Play from the break point");
    case u'R':
        return QStringLiteral("Remove the break point");
    case u'S':
        return QStringLiteral("Save the block from current break point to next");
    default:
        return {};
    }
}

QString CChildView::markTooltip(const MarkHit& hit) {
    if (hit.kind != MarkHit::Kind::Mark && hit.kind != MarkHit::Kind::Crowded) {
        return {};
    }
    const std::optional<FrameClock>& clock = fileClock();
    auto timeOf = [&](int frame) {
        return clock ? QString::fromStdString(formatFrameTime(clock->startMs(frame))) : QString();
    };
    if (hit.kind == MarkHit::Kind::Mark) {
        return QStringLiteral("BP: %1 F  %2").arg(hit.breakPoint).arg(timeOf(hit.breakPoint)).trimmed();
    }
    return QStringLiteral("%1 BP: %2 - %3").arg(hit.count).arg(timeOf(hit.lowValue), timeOf(hit.highValue));
}

// --- Painting

void CChildView::setPreviewBreakPoints(std::vector<int> frames) {
    m_previewBreakPoints = std::move(frames);
    update();
}

void CChildView::render(QImage& image, QPoint pointer) {
    const QRect r = clientArea();
    if (r.isEmpty()) {
        return;
    }
    if (image.size() != r.size() || image.format() != QImage::Format_RGB32) {
        image = QImage(r.size(), QImage::Format_RGB32);
    }
    const DrawParameters params = defaultDrawParameters();
    WindowLink& frame = m_frame;
    QPainter dc(&image);
    // The state a fresh device context starts with: opaque background mode, white background.
    dc.setBackgroundMode(Qt::OpaqueMode);
    dc.setBackground(Qt::white);

    // While loading, the loading thread owns the levels and the list: only the levels it has
    // published are drawn.
    const bool loading = isLoading();
    const std::vector<int>& levels = loading ? loadingPreview() : shownLevels();
    const BreakPointList& breakPoints = loading ? m_marksWhileLoading : m_breakPoints;

    const bool focus = hasFocus();
    if (!m_loaded && !loading && focus == m_cacheFocus && m_scrollFrame == m_cacheFrame && r == m_cacheRect &&
        !m_waveCache.isNull()) {
        dc.drawImage(0, 0, m_waveCache);
    } else {
        const FrameScale scale = frameScale();
        static const LevelSummary kNoSummary;
        const LevelSummary& summary = m_framesPerColumn > 1 && !loading ? levelSummary() : kNoSummary;
        WavePainter(dc, r, params, frame, levels, summary, scale).paint();
        m_cacheFrame = m_scrollFrame;
        m_cacheFocus = focus;
        m_cacheRect = r;
        // The picture is reused only before the first completed load, so only then is it kept.
        if (!m_loaded) {
            dc.end();
            m_waveCache = image.copy();
            dc.begin(&image);
            dc.setBackgroundMode(Qt::OpaqueMode);
            dc.setBackground(Qt::white);
        } else if (!m_waveCache.isNull()) {
            m_waveCache = QImage();
        }
    }

    // Over the wave, under everything else: the marks of a removed block stay as they were.
    if (!loading && !m_blockEdits.empty()) {
        const std::vector<RemovedStretch> removed = removedStretches(editedStream(), frameCount());
        RemovedBlocksPainter(dc, r, params, frame, removed, frameScale(), r.width()).paint();
    }

    // The sound thread moves the cursor on while playing.
    const int playFrame = m_player.playPosition();
    PlayIndicatorPainter(dc, r, params, frame, frameScale(), playFrame).paint();

    if (r.contains(pointer)) {
        CursorPainter(dc, r, params, frame, pointer.x()).paint();
    }

    m_buttons.clear();
    m_drawnMarks.clear();
    m_marksTop = r.top() + HEADER_HEIGHT - 1;
    m_marksBottom = r.top() + r.height();
    m_drawnScale = frameScale();
    BreakPointsPainter(dc, r, params, frame, breakPoints, m_selectedBreakPoint, m_hoverBreakPoint,
                       frameScale(), r.width(), m_buttons, pointer, &m_drawnMarks)
        .paint();
    PreviewMarksPainter(dc, r, params, frame, m_previewBreakPoints, frameScale(), r.width()).paint();

    LightPainter(dc, QRect(5, 5, 60, 18), params, frame, 2, loading, QStringLiteral("LOADING")).paint();
    LightPainter(dc, QRect(75, 5, 60, 18), params, frame, 1, m_player.isPlaying(), QStringLiteral("PLAYING"))
        .paint();
    const bool saving = m_saveAllThread.isSet() || m_wavThread.isSet() || m_blockThread.isSet();
    LightPainter(dc, QRect(145, 5, 60, 18), params, frame, 0, saving, QStringLiteral("SAVING")).paint();

    // The loading thread fills the levels in one step at its end; until then it counts its frames.
    const int total =
        loading ? m_framesLoaded.load(std::memory_order_relaxed) : static_cast<int>(levels.size());
    const int breakPointCount = static_cast<int>(breakPoints.size());
    // While loading, the view can be no further than the frames scanned so far.
    const int rangeStart =
        static_cast<int>(loading ? std::min<long long>(m_scrollFrame, lastScrollFrame()) : m_scrollFrame);
    // The range ends where the frames on the screen end, never past the last frame of a short file.
    const long long rangeEnd = std::min<long long>(rangeStart + visibleFrames(), total);
    LabelPainter(dc, QRect(5, 53, 100, 12), params, frame, labelText("TOTAL: %d F", total)).paint();
    LabelPainter(dc, QRect(115, 53, 100, 12), params, frame,
                 labelText("CURSOR: %d F", pointerFrameAt(pointer)))
        .paint();
    LabelPainter(dc, QRect(225, 53, 150, 12), params, frame,
                 QString::asprintf("RANGE: %d F - %d F", rangeStart, static_cast<int>(rangeEnd)))
        .paint();
    LabelPainter(dc, QRect(385, 53, 100, 12), params, frame, labelText("NUM OF BP: %d", breakPointCount))
        .paint();
    LabelPainter(dc, QRect(495, 53, 100, 12), params, frame, labelText("PLAYER: %d F", playFrame)).paint();
    if (m_framesPerColumn > 1) {
        LabelPainter(dc, QRect(605, 53, 100, 12), params, frame, labelText("ZOOM: 1:%d", m_framesPerColumn))
            .paint();
    }
}

void CChildView::paintEvent(QPaintEvent*) {
    render(m_image, pointerInClient());
    if (m_image.isNull()) {
        return;
    }
    QPainter window(this);
    window.drawImage(0, 0, m_image);
    emit painted();
}

void CChildView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int barHeight = m_scrollBar->sizeHint().height();
    m_scrollBar->setGeometry(0, height() - barHeight, width(), barHeight);
    updateScrollBar();
}

void CChildView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void CChildView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

// --- Input

bool CChildView::mayMoveCursor() const {
    const bool ctrl = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    return shownFrameCount() >= 1 && (!m_player.isPlaying() || ctrl);
}

bool CChildView::selectionInList() const {
    if (isLoading()) {
        return false;
    }
    return std::find(m_breakPoints.begin(), m_breakPoints.end(), m_selectedBreakPoint) != m_breakPoints.end();
}

void CChildView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        zoomWheel(event->angleDelta().y(), static_cast<int>(event->position().x()));
        event->accept();
        return;
    }
    scrollWheel(event->angleDelta().y());
    event->accept();
}

void CChildView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    update();
}

void CChildView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // Qt grabs the mouse for the widget that took the press until the release.
    setFocus(Qt::MouseFocusReason);
    if (hitButton(event->position().toPoint())) {
        return; // a button acts on release
    }
    const int hit = hitBreakPoint();
    m_selectedBreakPoint = hit;
    if (hit != -1) {
        m_dragIt = beginDrag();
        m_dragging = m_dragIt.has_value();
        // The mark stays put until the pointer has moved a drag's distance, then follows the movement.
        m_grabPoint = event->position().toPoint();
        m_grabValue = hit;
        m_dragMoved = false;
    }
    m_mouseDown = true;
    update();
}

void CChildView::mouseMoveEvent(QMouseEvent* event) {
    m_hoverBreakPoint = hitBreakPoint();
    if (m_mouseDown) {
        if (m_dragIt) {
            const QPoint moved = event->position().toPoint() - m_grabPoint;
            m_dragMoved = m_dragMoved || moved.manhattanLength() >= QApplication::startDragDistance();
            if (m_dragMoved) {
                const long long frame = m_grabValue + static_cast<long long>(moved.x()) * m_framesPerColumn;
                trackDrag(*m_dragIt, static_cast<int>(std::clamp<long long>(frame, 0, shownFrameCount())));
            }
        } else if (mayMoveCursor()) {
            m_player.moveCursorTo(pointerFrame());
        }
    }
    update();
    event->accept();
}

void CChildView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const std::optional<ButtonHit> button = hitButton(event->position().toPoint());
    if (button) {
        m_viewLink.send(UM_BREAKPOINT_BUTTON, button->letter, button->breakPoint);
    }
    m_mouseDown = false;
    if (m_dragging) {
        endDrag(*m_dragIt);
        m_dragIt.reset();
        m_dragging = false;
    } else if (!button && mayMoveCursor()) {
        m_player.moveCursorTo(pointerFrame());
    }
    update();
}

void CChildView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    if (isLoading()) {
        // A mark in the part scanned so far waits for the end of the load.
        const long long at = frameScale().frameAt(pointerInClient().x());
        if (at >= 0 && at < static_cast<long long>(m_loadingPreview.size())) {
            m_marksWhileLoading.push_back(static_cast<BreakPoint>(at));
            m_selectedBreakPoint = static_cast<int>(at);
            m_hoverBreakPoint = static_cast<int>(at);
        }
        update();
        return;
    }
    // Press and release of the first click have done their work already; this is no press.
    const int frame = pointerFrame();
    const std::size_t count = isLoading() ? 0 : m_breakPoints.size();
    addBreakPointAt(frame);
    // The new mark is drawn as under the pointer, as the selection it already is.
    if (!isLoading() && m_breakPoints.size() > count) {
        m_hoverBreakPoint = frame;
    }
    update();
}

void CChildView::keyReleaseEvent(QKeyEvent* event) {
    // One action per release: releases generated by a held key's auto-repeat do nothing.
    if (event->isAutoRepeat()) {
        event->ignore();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
        if (m_player.isPlaying()) {
            m_viewLink.post(UM_STOP_PLAYBACK, 0, 0);
        } else {
            m_player.playToEnd();
        }
        break;
    case Qt::Key_PageUp:
        scrollPageLeft();
        break;
    case Qt::Key_PageDown:
        scrollPageRight();
        break;
    case Qt::Key_End:
        scrollToEnd();
        break;
    case Qt::Key_Home:
        scrollToStart();
        break;
    case Qt::Key_Left:
        if (event->modifiers().testFlag(Qt::ControlModifier)) {
            selectNeighbourBreakPoint(-1);
        } else if (selectionInList()) {
            nudgeSelected(-1);
        } else {
            scrollLineLeft();
        }
        break;
    case Qt::Key_Right:
        if (event->modifiers().testFlag(Qt::ControlModifier)) {
            selectNeighbourBreakPoint(+1);
        } else if (selectionInList()) {
            nudgeSelected(+1);
        } else {
            scrollLineRight();
        }
        break;
    case Qt::Key_Delete:
        // Delete keeps deleting the selected break point; Shift+Delete removes the selected block.
        if (event->modifiers().testFlag(Qt::ShiftModifier)) {
            m_frame.send(UM_REMOVE_BLOCK, 0, 0);
        } else {
            deleteSelected();
        }
        break;
    case Qt::Key_P:
        if (event->modifiers().testFlag(Qt::ShiftModifier)) {
            m_frame.send(UM_PLAY_AROUND, 0, 0);
        }
        break;
    case Qt::Key_A:
        m_frame.send(UM_ADD_BREAKPOINT, 0, 0);
        break;
    // One gain step on the selected block or the whole file; with Ctrl they zoom.
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_Minus:
        if (!event->modifiers().testFlag(Qt::ControlModifier)) {
            stepGain(event->key() == Qt::Key_Minus ? -1 : +1);
        }
        break;
    default:
        break;
    }
    updateScrollBar();
    update();
    QWidget::keyReleaseEvent(event);
}

bool CChildView::event(QEvent* event) {
    // Tab is a key like any other here: it must not take the focus (and with it the colours) away.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const MarkHit hit = isLoading() ? MarkHit{} : topmostHit(help->pos());
        if (hit.kind == MarkHit::Kind::Button) {
            QToolTip::showText(help->globalPos(), buttonTooltip(hit.letter), this, hit.area);
            return true;
        }
        const QString text = markTooltip(hit);
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}
