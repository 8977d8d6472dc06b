#include "view/TimePane.h"

#include "view/ChildView.h"

#include <QCursor>

CTimePane::CTimePane(CChildView& view, QWidget* parent) : QLabel(parent), m_view(view) {
    setObjectName(QStringLiteral("TimePane"));
    setMinimumWidth(
        fontMetrics().horizontalAdvance(QStringLiteral("Cursor 0:00:00.000  Pointer 0:00:00.000")) + 12);
    connect(&view, &CChildView::painted, this, &CTimePane::refresh);
}

const std::optional<FrameClock>& CTimePane::clock() {
    const std::int64_t offset = m_view.m_frameOffsets.empty() ? -1 : m_view.m_frameOffsets.front();
    if (m_view.m_filePath != m_clockPath || offset != m_clockOffset || m_view.frameCount() != m_clockFrames) {
        m_clockPath = m_view.m_filePath;
        m_clockOffset = offset;
        m_clockFrames = m_view.frameCount();
        const std::size_t length = m_view.m_frameLengths.empty() ? 0 : m_view.m_frameLengths.front();
        m_clock = offset < 0 ? std::nullopt : readFrameClock(m_clockPath, offset, length);
    }
    return m_clock;
}

void CTimePane::refresh() {
    if (m_view.m_loadThread.isSet() || m_view.frameCount() == 0 || !clock()) {
        setText(QString());
        return;
    }
    const int cursor = m_view.player().playPosition();
    QString text =
        QStringLiteral("Cursor ") +
        QString::fromStdString(formatFrameTime(m_clock->startMs(cursor < 0 ? m_view.frameCount() : cursor)));
    if (m_view.clientArea().contains(m_view.mapFromGlobal(QCursor::pos()))) {
        text += QStringLiteral("  Pointer ") +
                QString::fromStdString(formatFrameTime(m_clock->startMs(m_view.pointerFrame())));
    }
    setText(text);
}
