#include "view/LoadedFileClock.h"

#include "view/ChildView.h"

const std::optional<FrameClock>& LoadedFileClock::of(const CChildView& view) {
    static const std::optional<FrameClock> kNone;
    if (view.m_loadThread.isSet() || view.frameCount() == 0) {
        return kNone;
    }
    const std::int64_t offset = view.m_frameOffsets.empty() ? -1 : view.m_frameOffsets.front();
    if (view.m_filePath != m_path || offset != m_offset || view.frameCount() != m_frames) {
        m_path = view.m_filePath;
        m_offset = offset;
        m_frames = view.frameCount();
        const std::size_t length = view.m_frameLengths.empty() ? 0 : view.m_frameLengths.front();
        m_clock = offset < 0 ? std::nullopt : readFrameClock(m_path, offset, length);
    }
    return m_clock;
}
