#pragma once

#include <cstddef>
#include <cstdint>

struct mpg123_handle_struct;

namespace mp3 {

// At most 1152 samples of 2 channels of 16 bits per frame.
constexpr std::size_t kMaxPcmBytes = 4608;

// Decodes one whole frame (header included) with the process's single decoder state, under
// g_audioLock. Writes at most kMaxPcmBytes into `out` and returns the count; 0 when the frame
// gives no PCM.
std::size_t decodeFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t* out);
// The same for a caller that already holds g_audioLock: the player's refill takes it without
// waiting, because stopping the player holds it while it waits for the refill to end.
std::size_t decodeFrameHoldingLock(const std::uint8_t* frame, std::size_t length, std::uint8_t* out);

// Forgets buffered input and the memory of earlier frames, so that what a file decodes to does not
// depend on the file decoded before it.
void resetDecoder();

// Number of decoder calls made so far, by any decoder state (lets tests show that a frame is decoded
// only once).
std::uint64_t decoderCallCount();

// A decoder state of its own, for decoding part of a file on a helper thread while the process's state
// decodes another part. Not shared, so it needs no lock.
class PrivateDecoder {
public:
    PrivateDecoder();
    ~PrivateDecoder();
    PrivateDecoder(const PrivateDecoder&) = delete;
    PrivateDecoder& operator=(const PrivateDecoder&) = delete;

    std::size_t decode(const std::uint8_t* frame, std::size_t length, std::uint8_t* out);

private:
    ::mpg123_handle_struct* m_handle;
};

} // namespace mp3
