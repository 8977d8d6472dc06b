#include "view/TimePane.h"

#include "view/ChildView.h"

#include <QCursor>

namespace {

QString timeText(std::int64_t milliseconds) {
    return QString::fromStdString(formatFrameTime(milliseconds));
}

} // namespace

CTimePane::CTimePane(CChildView& view, QWidget* parent) : QLabel(parent), m_view(view) {
    setObjectName(QStringLiteral("TimePane"));
    setMinimumWidth(fontMetrics().horizontalAdvance(
                        QStringLiteral("Length 0:00:00.000  Cursor 0:00:00.000  Pointer 0:00:00.000")) +
                    12);
    connect(&view, &CChildView::painted, this, &CTimePane::refresh);
}

void CTimePane::refresh() {
    const std::optional<FrameClock>& clock = m_view.fileClock();
    if (!clock) {
        setText(QString());
        return;
    }
    const int frames = m_view.frameCount();
    const int cursor = m_view.player().playPosition();
    // The length is always there, so the whole is in sight wherever the view is.
    QString text = QStringLiteral("Length ") + timeText(clock->startMs(frames)) +
                   QStringLiteral("  Cursor ") + timeText(clock->startMs(cursor < 0 ? frames : cursor));
    if (m_view.clientArea().contains(m_view.mapFromGlobal(QCursor::pos()))) {
        text += QStringLiteral("  Pointer ") + timeText(clock->startMs(m_view.pointerFrame()));
    }
    setText(text);
}
