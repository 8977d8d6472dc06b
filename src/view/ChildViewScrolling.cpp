// Scrolling, zoom and moving between break points: everything that changes which frames the view
// shows. Positions are frames; one step of scrolling is one column of frames.
#include "view/ChildView.h"

#include <QScrollBar>
#include <QThread>

#include <algorithm>

QRect CChildView::clientArea() const {
    // The bar is always shown (disabled when everything fits), so the client height is fixed by it.
    const int barHeight = m_scrollBar != nullptr ? m_scrollBar->sizeHint().height() : 0;
    return QRect(0, 0, width(), std::max(0, height() - barHeight));
}

void CChildView::setScrollFrame(long long frame) {
    m_scrollFrame = static_cast<std::uint32_t>(std::max(0LL, frame));
}

long long CChildView::visibleFrames() const {
    return static_cast<long long>(clientArea().width()) * m_framesPerColumn;
}

long long CChildView::lastScrollFrame() const {
    return std::max(0LL, scrollableFrameCount() - visibleFrames());
}

void CChildView::updateScrollBar() {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this] { updateScrollBar(); }, Qt::QueuedConnection);
        return;
    }
    if (isLoading()) {
        // The levels are being replaced: their summary is made again from the new ones, and a new
        // file starts at one frame per column. The frames scanned so far may be scrolled through.
        m_framesPerColumn = 1;
        m_levelSummary = LevelSummary();
        m_summarySource = nullptr;
        m_summarySize = 0;
        m_scaledSource = nullptr;
        const long long scanned = static_cast<long long>(loadingPreview().size());
        const long long w = visibleFrames();
        m_scrollBar->setRange(0, static_cast<int>(std::max(0LL, scanned - w)));
        m_scrollBar->setPageStep(static_cast<int>(scanned > w ? w : 0));
        m_scrollBar->setSingleStep(1);
        m_scrollBar->setEnabled(scanned > w);
        m_scrollBar->setValue(scanned > w ? static_cast<int>(m_scrollFrame) : 0);
        return;
    }
    std::vector<int>().swap(m_loadingPreview);
    m_framesPerColumn = std::min(m_framesPerColumn, maxFramesPerColumn());
    const long long f = frameCount();
    const long long w = visibleFrames();
    // Like a bar with range 0..F-1 and page W: the last position shows the last frame at the right edge.
    m_scrollBar->setRange(0, static_cast<int>(std::max(0LL, f - w)));
    m_scrollBar->setPageStep(static_cast<int>(std::max(1LL, w)));
    m_scrollBar->setSingleStep(m_framesPerColumn);
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
        setScrollFrame(static_cast<long long>(m_scrollFrame) - m_framesPerColumn);
    }
}

void CChildView::scrollLineRight() {
    if (static_cast<long long>(m_scrollFrame) + visibleFrames() < scrollableFrameCount()) {
        setScrollFrame(
            std::min(static_cast<long long>(m_scrollFrame) + m_framesPerColumn, lastScrollFrame()));
    }
}

void CChildView::scrollPageLeft() {
    const long long w = visibleFrames();
    setScrollFrame(m_scrollFrame > w ? m_scrollFrame - w : 0);
}

void CChildView::scrollPageRight() {
    const long long f = scrollableFrameCount();
    const long long w = visibleFrames();
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
    const long long f = scrollableFrameCount();
    const long long w = visibleFrames();
    setScrollFrame(w > f ? 0 : f - w);
}

void CChildView::scrollWheel(int delta) {
    const long long f = scrollableFrameCount();
    const long long w = visibleFrames();
    if (w >= f) {
        return;
    }
    const long long columns = static_cast<std::int16_t>(delta);
    const long long target = static_cast<long long>(m_scrollFrame) - columns * m_framesPerColumn;
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

void CChildView::scrollTo(long long frame) {
    setScrollFrame(std::clamp(frame, 0LL, lastScrollFrame()));
    updateScrollBar();
    update();
}

// --- Zoom

int CChildView::maxFramesPerColumn() const {
    const long long f = shownFrameCount();
    const long long w = std::max(1, clientArea().width());
    return static_cast<int>(std::max(1LL, (f + w - 1) / w));
}

void CChildView::zoomTo(int framesPerColumn, int anchorColumn) {
    if (isLoading()) {
        return;
    }
    zoomKeeping(framesPerColumn, frameScale().frameAt(anchorColumn), anchorColumn);
}

void CChildView::zoomKeeping(int framesPerColumn, long long frame, int column) {
    if (isLoading()) {
        return;
    }
    const int z = std::clamp(framesPerColumn, 1, maxFramesPerColumn());
    m_framesPerColumn = z;
    scrollTo(frame - static_cast<long long>(column) * z);
}

std::optional<int> CChildView::playColumnOnScreen() const {
    if (!m_player.isPlaying()) {
        return std::nullopt;
    }
    const int x = frameScale().columnOf(m_player.playPosition());
    if (x < 0 || x >= clientArea().width()) {
        return std::nullopt;
    }
    return x;
}

void CChildView::zoomAroundPlayOrMiddle(int framesPerColumn) {
    // While playing, the play position stays where it is on the screen, so the ear and the eye agree.
    if (const std::optional<int> column = playColumnOnScreen()) {
        zoomKeeping(framesPerColumn, m_player.playPosition(), *column);
    } else {
        zoomTo(framesPerColumn, clientArea().width() / 2);
    }
}

void CChildView::zoomIn() {
    zoomAroundPlayOrMiddle(m_framesPerColumn / 2);
}

void CChildView::zoomOut() {
    zoomAroundPlayOrMiddle(m_framesPerColumn * 2);
}

void CChildView::zoomToWholeFile() {
    zoomTo(maxFramesPerColumn(), 0);
}

void CChildView::zoomToOneFramePerColumn() {
    zoomAroundPlayOrMiddle(1);
}

void CChildView::zoomWheel(int delta, int pointerColumn) {
    if (delta == 0) {
        return;
    }
    const bool playShown = playColumnOnScreen().has_value();
    zoomTo(delta > 0 ? m_framesPerColumn / 2 : m_framesPerColumn * 2, pointerColumn);
    // Around the pointer, but a play position that was on the screen stays on it: the view moves
    // only as far as that needs, instead of the player turning a page away from the pointer.
    if (playShown && !playColumnOnScreen()) {
        const long long play = m_player.playPosition();
        const long long margin = m_framesPerColumn;
        const long long first = static_cast<long long>(m_scrollFrame);
        scrollTo(play < first ? play - margin : play - visibleFrames() + 1 + margin);
    }
}

const LevelSummary& CChildView::levelSummary() {
    if (isLoading()) {
        static const LevelSummary kNone;
        return kNone;
    }
    // The levels are replaced as a whole when a file loads; their address and size tell a new list,
    // the version a new change of level.
    const std::vector<int>& levels = shownLevels();
    if (m_summarySource != levels.data() || m_summarySize != levels.size() ||
        m_summaryVersion != m_shownVersion) {
        m_levelSummary = LevelSummary(levels);
        m_summarySource = levels.data();
        m_summarySize = levels.size();
        m_summaryVersion = m_shownVersion;
    }
    return m_levelSummary;
}

// --- Moving between break points

void CChildView::selectNeighbourBreakPoint(int direction) {
    if (isLoading() || m_breakPoints.empty() || direction == 0) {
        return;
    }
    // From the selected break point, or else from the play cursor, which counts itself.
    const bool fromSelection = selectionInList();
    const int cursor = m_player.playPosition();
    const long long from = fromSelection ? m_selectedBreakPoint : cursor < 0 ? frameCount() : cursor;
    std::optional<BreakPoint> best;
    for (const BreakPoint b : m_breakPoints) {
        const bool beyond =
            direction > 0 ? (fromSelection ? b > from : b >= from) : (fromSelection ? b < from : b <= from);
        if (beyond && (!best || (direction > 0 ? b < *best : b > *best))) {
            best = b;
        }
    }
    if (!best) {
        return;
    }
    m_selectedBreakPoint = *best;
    const int x = frameScale().columnOf(*best);
    if (x < 0 || x >= clientArea().width()) {
        scrollTo(*best - static_cast<long long>(clientArea().width() / 2) * m_framesPerColumn);
    }
    update();
}
