#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace mp3 {

// Decoded PCM kept by default: about twelve minutes of stereo 44.1 kHz audio.
constexpr std::size_t kDefaultPcmBudget = std::size_t{128} << 20;

// Frames a loading scan indexes at most: frame numbers are 32-bit, and F itself (one past the last
// frame) must be one. The index costs about 22 bytes a frame, a fraction of the frame's own bytes,
// so memory bounds no file that fits the disk; running out of it ends a load with its own line.
constexpr int kMaxIndexedFrames = std::numeric_limits<int>::max();

// How much decoded PCM the cache may hold. A file whose PCM fits is kept whole; beyond that the cache
// keeps a window of recently used frames (the player keeps the frames it is about to play apart).
class PcmBudget {
public:
    explicit PcmBudget(std::size_t bytes = kDefaultPcmBudget) : m_bytes(bytes) {}

    std::size_t bytes() const { return m_bytes; }
    void setBytes(std::size_t bytes) { m_bytes = bytes; }
    bool admits(std::size_t held, std::size_t more) const { return held + more <= m_bytes; }

private:
    std::size_t m_bytes;
};

} // namespace mp3
