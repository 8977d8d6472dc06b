#include "view/ChildView.h"

#include "output/SaveBlocks.h"
#include "playback/PortAudioOutput.h"
#include "settings/PreferencesFile.h"
#include "view/BreakPointsPainter.h"
#include "view/CursorPainter.h"
#include "view/DrawParameters.h"
#include "view/LabelPainter.h"
#include "view/LightPainter.h"
#include "view/PlayIndicatorPainter.h"
#include "view/WavePainter.h"

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

CChildView* g_view = nullptr;

namespace {

// The system's default device; without one, play logs that the output cannot be opened.
std::unique_ptr<SoundOutput> defaultSoundOutput() {
    return std::make_unique<PortAudioOutput>();
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
        saveBlockFromBreakPoint(*this, value);
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
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

void CChildView::stopPlayback() {
    m_player.stop();
}

// --- Scrolling

QRect CChildView::clientArea() const {
    // The bar is always shown (disabled when everything fits), so the client height is fixed by it.
    const int barHeight = m_scrollBar != nullptr ? m_scrollBar->sizeHint().height() : 0;
    return QRect(0, 0, width(), std::max(0, height() - barHeight));
}

void CChildView::setScrollFrame(long long frame) {
    m_scrollFrame = static_cast<std::uint32_t>(std::max(0LL, frame));
}

void CChildView::updateScrollBar() {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this] { updateScrollBar(); }, Qt::QueuedConnection);
        return;
    }
    if (isLoading()) {
        m_scrollBar->setRange(0, 0);
        m_scrollBar->setPageStep(0);
        m_scrollBar->setValue(0);
        m_scrollBar->setEnabled(false);
        return;
    }
    const long long f = frameCount();
    const long long w = clientArea().width();
    // Like a bar with range 0..F-1 and page W: the last position shows the last frame at the right edge.
    m_scrollBar->setRange(0, static_cast<int>(std::max(0LL, f - w)));
    m_scrollBar->setPageStep(static_cast<int>(std::max(1LL, w)));
    m_scrollBar->setSingleStep(1);
    m_scrollBar->setEnabled(f > w);
    if (static_cast<std::uint32_t>(f - m_scrollFrame) < static_cast<std::uint32_t>(w)) {
        setScrollFrame(f < w ? 0 : f - w);
    }
    m_scrollBar->setValue(static_cast<int>(m_scrollFrame));
}

void CChildView::setScrollPosition(int frame) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, frame] { setScrollPosition(frame); }, Qt::QueuedConnection);
        return;
    }
    setScrollFrame(frame);
    m_scrollBar->setValue(static_cast<int>(m_scrollFrame));
    update();
}

void CChildView::scrollLineLeft() {
    if (m_scrollFrame > 0) {
        --m_scrollFrame;
    }
}

void CChildView::scrollLineRight() {
    if (static_cast<long long>(m_scrollFrame) + clientArea().width() < shownFrameCount()) {
        ++m_scrollFrame;
    }
}

void CChildView::scrollPageLeft() {
    const long long w = clientArea().width();
    setScrollFrame(m_scrollFrame > w ? m_scrollFrame - w : 0);
}

void CChildView::scrollPageRight() {
    const long long f = shownFrameCount();
    const long long w = clientArea().width();
    const long long s = m_scrollFrame;
    if (f - s > 2 * w) {
        setScrollFrame(s + w);
    } else {
        setScrollFrame(f < w ? 0 : f - w);
    }
}

void CChildView::scrollToStart() {
    m_scrollFrame = 0;
}

void CChildView::scrollToEnd() {
    const long long f = shownFrameCount();
    const long long w = clientArea().width();
    setScrollFrame(w > f ? 0 : f - w);
}

void CChildView::scrollWheel(int delta) {
    const long long f = shownFrameCount();
    const long long w = clientArea().width();
    if (isLoading() || w >= f) {
        return;
    }
    const long long target = static_cast<long long>(m_scrollFrame) - static_cast<std::int16_t>(delta);
    setScrollFrame(std::clamp(target, 0LL, f - w));
    updateScrollBar();
    update();
}

void CChildView::onScrollAction(int action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        scrollLineLeft();
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        scrollLineRight();
        break;
    case QAbstractSlider::SliderPageStepSub:
        scrollPageLeft();
        break;
    case QAbstractSlider::SliderPageStepAdd:
        scrollPageRight();
        break;
    case QAbstractSlider::SliderMove:
        setScrollFrame(m_scrollBar->sliderPosition());
        break;
    case QAbstractSlider::SliderToMinimum:
        scrollToStart();
        break;
    case QAbstractSlider::SliderToMaximum:
        scrollToEnd();
        break;
    default:
        break;
    }
    // The bar shows our position, not the one it computed for the action.
    m_scrollBar->setSliderPosition(static_cast<int>(m_scrollFrame));
    update();
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
    const long long a = static_cast<long long>(m_scrollFrame) + clientPoint.x();
    return static_cast<int>(std::clamp(a, 0LL, f));
}

int CChildView::hitBreakPoint() const {
    if (shownFrameCount() == 0) {
        return -1;
    }
    return SplitDocument::hitBreakPoint(pointerFrame());
}

std::optional<CChildView::ButtonHit> CChildView::hitButton(QPoint clientPoint) const {
    for (const auto& button : m_buttons) {
        if (button->contains(clientPoint)) {
            return ButtonHit{button->letter, button->breakPoint, button->area};
        }
    }
    return std::nullopt;
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

// --- Painting

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

    // While loading, the loading thread owns the levels and the list: nothing of them is read.
    const bool loading = isLoading();
    static const std::vector<int> kNothing;
    const std::vector<int>& levels = loading ? kNothing : m_frameLevels;
    const BreakPointList& breakPoints = loading ? kNothing : m_breakPoints;

    const bool focus = hasFocus();
    if (!m_loaded && focus == m_cacheFocus && m_scrollFrame == m_cacheFrame && r == m_cacheRect &&
        !m_waveCache.isNull()) {
        dc.drawImage(0, 0, m_waveCache);
    } else {
        WavePainter(dc, r, params, frame, levels, static_cast<int>(m_scrollFrame)).paint();
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

    // The sound thread moves the cursor on while playing.
    const int playFrame = m_player.playPosition();
    PlayIndicatorPainter(dc, r, params, frame, static_cast<int>(m_scrollFrame), playFrame).paint();

    if (r.contains(pointer)) {
        CursorPainter(dc, r, params, frame, pointer.x()).paint();
    }

    m_buttons.clear();
    BreakPointsPainter(dc, r, params, frame, breakPoints, m_selectedBreakPoint, m_hoverBreakPoint,
                       static_cast<int>(m_scrollFrame), r.width(), m_buttons, pointer)
        .paint();

    LightPainter(dc, QRect(5, 5, 60, 18), params, frame, 2, loading, QStringLiteral("LOADING")).paint();
    LightPainter(dc, QRect(75, 5, 60, 18), params, frame, 1, m_player.isPlaying(), QStringLiteral("PLAYING"))
        .paint();
    const bool saving = m_saveAllThread.isSet() || m_wavThread.isSet() || m_blockThread.isSet();
    LightPainter(dc, QRect(145, 5, 60, 18), params, frame, 0, saving, QStringLiteral("SAVING")).paint();

    // The loading thread fills the levels in one step at its end; until then it counts its frames.
    const int total =
        loading ? m_framesLoaded.load(std::memory_order_relaxed) : static_cast<int>(levels.size());
    const int breakPointCount = static_cast<int>(breakPoints.size());
    const int rangeStart = loading ? 0 : static_cast<int>(m_scrollFrame);
    LabelPainter(dc, QRect(5, 53, 100, 12), params, frame, labelText("TOTAL: %d F", total)).paint();
    LabelPainter(dc, QRect(115, 53, 100, 12), params, frame,
                 labelText("CURSOR: %d F", pointerFrameAt(pointer)))
        .paint();
    LabelPainter(dc, QRect(225, 53, 150, 12), params, frame,
                 QString::asprintf("RANGE: %d F - %d F", rangeStart, rangeStart + r.width()))
        .paint();
    LabelPainter(dc, QRect(385, 53, 100, 12), params, frame, labelText("NUM OF BP: %d", breakPointCount))
        .paint();
    LabelPainter(dc, QRect(495, 53, 100, 12), params, frame, labelText("PLAYER: %d F", playFrame)).paint();
}

void CChildView::paintEvent(QPaintEvent*) {
    render(m_image, pointerInClient());
    if (m_image.isNull()) {
        return;
    }
    QPainter window(this);
    window.drawImage(0, 0, m_image);
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
    scrollWheel(event->angleDelta().y());
    event->accept();
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
    if (shownFrameCount() == 0) {
        m_selectedBreakPoint = -1;
    } else {
        selectBreakPoint(pointerFrame());
    }
    if (hit != -1) {
        beginDrag();
    }
    m_mouseDown = true;
    update();
}

void CChildView::mouseMoveEvent(QMouseEvent* event) {
    m_hoverBreakPoint = hitBreakPoint();
    if (m_mouseDown) {
        if (m_dragIt) {
            trackDrag(pointerFrame());
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
        endDrag();
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
    // Press and release of the first click have done their work already; this is no press.
    addBreakPointAt(pointerFrame());
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
        if (selectionInList()) {
            nudgeSelected(-1);
        } else {
            scrollLineLeft();
        }
        break;
    case Qt::Key_Right:
        if (selectionInList()) {
            nudgeSelected(+1);
        } else {
            scrollLineRight();
        }
        break;
    case Qt::Key_Delete:
        deleteSelected();
        break;
    case Qt::Key_A:
        m_frame.send(UM_ADD_BREAKPOINT, 0, 0);
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
        const std::optional<ButtonHit> button = hitButton(help->pos());
        if (!button) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        QToolTip::showText(help->globalPos(), buttonTooltip(button->letter), this, button->area);
        return true;
    }
    return QWidget::event(event);
}
