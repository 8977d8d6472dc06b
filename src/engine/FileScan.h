#pragma once

#include "engine/Decoding.h"
#include "engine/FrameHeader.h"
#include "engine/FrameReader.h"
#include "engine/PcmBudget.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace mp3 {

// "MP3 file basic info: %d Hz, %d channel(s), %d BPS" for the header of frame 0.
std::string streamInfoLine(const FrameHeader& header);

// Byte length of every frame as the reader holds it (a frame is at most a few KB).
using FrameLengths = std::vector<std::uint16_t>;

// What the loading scan learns of a file: one smoothed level, one RMS level, one offset and one length
// per frame.
struct LevelScan {
    std::vector<int> levels;
    std::vector<int> rawLevels; // before smoothing
    std::vector<float> rmsDb;   // RMS level in dBFS, for finding silences
    FrameOffsets offsets;
    FrameLengths lengths;
    std::int64_t totalBytes = 0;
    // The file has more frames than the scan may index; everything above is empty.
    bool tooManyFrames = false;
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

// How the loading scan may spread its decoding over two cores: a file of at least `minimumFrames`
// frames has its second half decoded on a helper thread with a decoder state of its own, starting
// `primingFrames` early so that its decoder state has caught up with the sequential one by the split.
// Off by default (a negative `minimumFrames`): the levels come out identical, but libmpg123 can carry
// state further than any priming, so a few samples of some low-bitrate streams differ from a
// decode in file order, and the cache would then not hold what the player and WAV writer expect.
struct ParallelDecode {
    int minimumFrames = -1;
    int primingFrames = 32;
};

// Scans every frame once, decoding each frame once (so the cache ends up holding the file), and
// returns the smoothed levels with the frame offsets. The observer sees the frames in file order.
// A file of more than `maxFrames` frames is refused (see LevelScan::tooManyFrames).
LevelScan scanLevels(const Decoding& decoding, const std::filesystem::path& path,
                     LevelScanObserver* observer = nullptr, const ParallelDecode& parallel = {},
                     int maxFrames = kMaxIndexedFrames);
// The same with the process's decoding (defined with the wiring).
LevelScan scanLevels(const std::filesystem::path& path, LevelScanObserver* observer = nullptr);

} // namespace mp3
