#pragma once

#include "document/FrameTime.h"

#include <cstdint>
#include <filesystem>
#include <optional>

class CChildView;

// The clock of the loaded file, read from its first frame once per loaded file, for everything in
// the window that shows a time (the time pane, the marks' tooltips).
class LoadedFileClock {
public:
    // Empty while loading, without frames, or when the first frame cannot be read.
    const std::optional<FrameClock>& of(const CChildView& view);

private:
    std::optional<FrameClock> m_clock;
    std::filesystem::path m_path;
    std::int64_t m_offset = -1;
    int m_frames = -1;
};
