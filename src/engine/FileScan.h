#pragma once

#include "engine/FrameHeader.h"
#include "engine/FrameReader.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace mp3 {

// "MP3 file basic info: %d Hz, %d channel(s), %d BPS" for the header of frame 0.
std::string streamInfoLine(const FrameHeader& header);

// What the loading scan learns of a file: one smoothed level and one offset per frame.
struct LevelScan {
    std::vector<int> levels;
    std::vector<int> rawLevels; // before smoothing
    FrameOffsets offsets;
    std::int64_t totalBytes = 0;
};

// Hooks into the loading scan, called on the scanning thread.
class LevelScanObserver {
public:
    virtual ~LevelScanObserver() = default;
    // The reader stands on frame 0 (or at its end); called before any frame is handled.
    virtual void streamOpened(const FrameReader& /*reader*/) {}
    // Before frame `framesHandled` is handled.
    virtual void frameStarting(int /*framesHandled*/) {}
    // After a frame; `bytesHandled` is the sum of the frame lengths so far.
    virtual void frameHandled(int /*framesHandled*/, std::int64_t /*bytesHandled*/) {}
};

// Scans every frame once, decoding each through framePcm (so PcmCache ends up holding the file),
// and returns the smoothed levels with the frame offsets.
LevelScan scanLevels(const std::filesystem::path& path, LevelScanObserver* observer = nullptr);

} // namespace mp3
