#pragma once

#include "engine/Decoding.h"
#include "engine/FrameHeader.h"
#include "engine/FrameReader.h"
#include "engine/PcmBudget.h"
#include "engine/ScanParts.h"

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
    std::vector<int> rawLevels;       // before smoothing
    std::vector<float> rmsDb;         // RMS level in dBFS, for finding silences
    std::vector<std::uint16_t> peaks; // largest sample magnitude (0 to 32768), for gains that would clip
    FrameOffsets offsets;
    FrameLengths lengths;
    std::int64_t totalBytes = 0;
    // Frames that gave PCM: none means the file is no MPEG audio stream.
    std::int64_t framesWithPcm = 0;
    // The file has more frames than the scan may index; everything above is empty, and nothing was
    // decoded when the file's size could tell.
    bool tooManyFrames = false;
    // Parts decoded on cores of their own whose frames were kept (1: the file was decoded in order),
    // and whether a part was refused because it disagreed with its predecessor.
    int partsKept = 1;
    bool partRefused = false;
};

// What the scan keeps of one frame's PCM (`bytes` of it; a frame that gave none leaves the PCM of
// the frame before). Every frame of every part goes through here.
void measureFrame(LevelScan& scan, const std::uint8_t* pcm, std::size_t bytes);

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
    // Frame `frame` was measured; `rawLevel` is its level before smoothing. In file order.
    virtual void frameMeasured(int /*frame*/, int /*rawLevel*/) {}
};

// Scans every frame once, decoding each frame once (so the cache ends up holding the file while it
// fits the budget), and returns the smoothed levels with the frame offsets. The observer sees the
// frames in file order. A file of more than `maxFrames` frames is refused (LevelScan::tooManyFrames):
// when its size allows that many, its frames are counted before any is decoded.
//
// A long Layer III file is split into parts, each decoded on a thread with a decoder state of its
// own (see ScanPart). A part is kept only when the frames past its predecessor's end that both
// decoded agree byte for byte, the PCM left before its first frame agrees too, and every frame
// before it went whole through the synthesis filter; otherwise the rest of the file is decoded in
// file order. Either way the levels and the cached PCM are those of a decode in file order.
LevelScan scanLevels(const Decoding& decoding, const std::filesystem::path& path,
                     LevelScanObserver* observer = nullptr, const ParallelDecode& parallel = {},
                     int maxFrames = kMaxIndexedFrames);
// Only where the frames are, from their headers, with nothing decoded: the offsets, lengths and
// total bytes of the same frames scanLevels() finds, and no levels, RMS levels or peaks. The
// observer sees the frames in file order as there.
LevelScan scanFrameHeaders(const std::filesystem::path& path, LevelScanObserver* observer = nullptr,
                           int maxFrames = kMaxIndexedFrames);
// The same with the process's decoding and parts (defined with the wiring).
LevelScan scanLevels(const std::filesystem::path& path, LevelScanObserver* observer = nullptr);

} // namespace mp3
