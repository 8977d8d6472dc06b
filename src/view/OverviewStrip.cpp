#include "view/OverviewStrip.h"

#include "view/ChildView.h"
#include "view/DrawParameters.h"
#include "view/PreviewMarksPainter.h"
#include "view/RemovedBlocksPainter.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace {

constexpr int kHeight = 48;
// The break points are ticks in a band of their own at the top; the levels keep the rows below it,
// so however many marks there are, the levels show through none of them.
constexpr int kTickRows = 6;

} // namespace

COverviewStrip::COverviewStrip(CChildView& view, QWidget* parent) : QWidget(parent), m_view(view) {
    setObjectName(QStringLiteral("Overview"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(kHeight);
    // Whatever changes the view's picture may change this one.
    connect(&view, &CChildView::painted, this, qOverload<>(&QWidget::update));
}

QSize COverviewStrip::sizeHint() const {
    return {400, kHeight};
}

long long COverviewStrip::frameCount() const {
    // The loading thread owns the levels and the list while it runs.
    return m_view.m_loadThread.isSet() ? 0 : m_view.frameCount();
}

long long COverviewStrip::frameAt(int x) const {
    const long long w = std::max(1, width());
    return std::clamp<long long>(x, 0, w) * frameCount() / w;
}

int COverviewStrip::columnOf(long long frame) const {
    const long long f = frameCount();
    if (f == 0) {
        return 0;
    }
    // The last column whose first frame is not past `frame`, so that columnOf(frameAt(x)) is x.
    const long long w = std::max(1, width());
    return static_cast<int>(((std::max(frame, 0LL) + 1) * w - 1) / f);
}

void COverviewStrip::paintEvent(QPaintEvent*) {
    const DrawParameters params = defaultDrawParameters();
    QPainter dc(this);
    dc.fillRect(rect(), toQColor(params.backgroundColor));
    const long long f = frameCount();
    if (f == 0) {
        return;
    }
    const int w = width();
    const int h = height();

    const LevelSummary& summary = m_view.levelSummary();
    dc.setPen(toQColor(params.waveColor));
    const int levelsTop = kTickRows + 1;
    const int levelsHeight = h - levelsTop;
    for (int x = 0; x < w; ++x) {
        const long long from = frameAt(x);
        const long long to = std::max(from + 1, frameAt(x + 1));
        const int level = summary.maximum(static_cast<std::size_t>(from), static_cast<std::size_t>(to));
        const int a = std::clamp(static_cast<int>(level / 32767.0 * (levelsHeight - 1)), 0, levelsHeight - 1);
        if (a > 0) {
            const int top = levelsTop + (levelsHeight - a) / 2;
            dc.drawLine(x, top, x, top + a - 1);
        }
    }

    // Removed blocks as the view draws them: dimmed and hatched, their levels still faintly there.
    if (!m_view.m_blockEdits.empty()) {
        for (const RemovedStretch& stretch : removedStretches(m_view.editedStream(), static_cast<int>(f))) {
            RemovedBlocksPainter::paintColumns(dc, columnOf(stretch.from),
                                               std::min(columnOf(stretch.to - 1), w - 1), 0, h,
                                               toQColor(params.backgroundColor));
        }
    }

    // One tick per column however many break points share it: long lists cost no more to draw.
    std::vector<char> marked(static_cast<std::size_t>(w), 0);
    for (const BreakPoint b : m_view.m_breakPoints) {
        marked[static_cast<std::size_t>(std::clamp(columnOf(b), 0, w - 1))] = 1;
    }
    dc.setPen(toQColor(params.markColor));
    for (int x = 0; x < w; ++x) {
        if (marked[static_cast<std::size_t>(x)]) {
            dc.drawLine(x, 0, x, kTickRows - 1);
        }
    }

    PreviewMarksPainter::paintOverviewTicks(
        dc, m_view.previewBreakPoints(), [this](long long frame) { return columnOf(frame); }, w, h);

    // The frames the view shows, as a frame at least 3 pixels wide.
    const long long first = m_view.m_scrollFrame;
    const int left = columnOf(first);
    const int right = std::max(left + 2, columnOf(std::min(f, first + m_view.visibleFrames())) - 1);
    dc.setPen(toQColor(params.highlightColor));
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(QRect(QPoint(left, 0), QPoint(std::min(right, w - 1), h - 1)));

    const int cursor = m_view.player().playPosition();
    const int x = std::min(columnOf(cursor < 0 ? f : cursor), w - 1);
    dc.setPen(toQColor(params.playLineColor));
    dc.drawLine(x, 0, x, h - 1);
}

void COverviewStrip::scrollViewTo(int x) {
    if (frameCount() == 0) {
        return;
    }
    m_view.scrollTo(frameAt(x) - m_view.visibleFrames() / 2);
}

void COverviewStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        scrollViewTo(static_cast<int>(event->position().x()));
    }
}

void COverviewStrip::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons().testFlag(Qt::LeftButton)) {
        scrollViewTo(static_cast<int>(event->position().x()));
    }
}
