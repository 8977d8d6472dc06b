#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mp3 {

class FrameReader;
struct Decoding;

// The PCM of the reader's current frame: from the cache when it holds the frame, otherwise decoded
// and stored there. For a file beyond the cache's budget the decode is primed with the frames
// before it (unless the decoder just decoded its predecessor), so it gives the PCM of a decode in
// file order. `out` holds at least kMaxPcmBytes. Returns the byte count.
std::size_t framePcm(const Decoding& decoding, const FrameReader& reader, std::uint8_t* out);
// The same for a caller that holds the decoder's lock.
std::size_t framePcmHoldingLock(const Decoding& decoding, const FrameReader& reader, std::uint8_t* out);

// Absolute value of the first signed 16-bit sample of a PCM buffer (0 to 32768).
int frameLevel(const std::uint8_t* pcm);

// Limits each level's step from its predecessor and lifts it in proportion to its size.
void smoothLevels(std::vector<int>& levels);

} // namespace mp3
