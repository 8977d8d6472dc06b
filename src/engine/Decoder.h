#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

struct mpg123_handle_struct;

namespace mp3 {

// At most 1152 samples of 2 channels of 16 bits per frame.
constexpr std::size_t kMaxPcmBytes = 4608;

// What one decoder call gave: the PCM byte count, and when that is 0 (or input was left over), why.
struct DecodeResult {
    enum class Outcome {
        Pcm,          // the frame gave PCM
        NoDecoder,    // the decoder state could not be created
        EmptyInput,   // no bytes were given
        FeedRefused,  // the decoder did not take the bytes
        NoPcm,        // the decoder took the frame but gave no PCM (it wants more data, or failed)
        InputLeftOver // the decoder left bytes unused; it was restarted so they cannot spoil the next frame
    };
    std::size_t bytes = 0;
    Outcome outcome = Outcome::NoPcm;
    int decoderCode = 0; // libmpg123's own result of the failing call

    bool failed() const { return outcome != Outcome::Pcm; }
    std::string reason() const;
};

// One libmpg123 state in feed mode: one whole frame in, that frame's PCM out. Not shared: the owner
// serialises its calls.
class DecoderState {
public:
    DecoderState();
    ~DecoderState();
    DecoderState(const DecoderState&) = delete;
    DecoderState& operator=(const DecoderState&) = delete;

    // Writes at most kMaxPcmBytes into `out`.
    DecodeResult decode(const std::uint8_t* frame, std::size_t length, std::uint8_t* out);
    // Forgets buffered input and the memory of earlier frames.
    void restart();

private:
    ::mpg123_handle_struct* m_handle;
};

// Where a decoder state stands: the last frame it decoded, so a caller can tell whether the next
// frame it wants continues the decode in file order.
struct DecoderPlace {
    std::string path;
    int frame = -1;
};

// A decoder state shared by several threads, each call serialised by a lock that others (stopping
// the player) take too.
class SharedDecoder {
public:
    explicit SharedDecoder(std::mutex& lock) : m_lock(lock) {}

    std::mutex& lock() { return m_lock; }
    DecodeResult decode(const std::uint8_t* frame, std::size_t length, std::uint8_t* out,
                        DecoderPlace place = {});
    // The same for a caller that already holds lock(): the player's refill takes it without
    // waiting, because stopping the player holds it while it waits for the refill to end.
    DecodeResult decodeHoldingLock(const std::uint8_t* frame, std::size_t length, std::uint8_t* out,
                                   DecoderPlace place = {});
    // So that what a file decodes to does not depend on the file decoded before it.
    void reset();
    void resetHoldingLock();
    // True when the last frame decoded was `frame - 1` of `path` (holding lock()).
    bool continuesHoldingLock(const std::string& path, int frame) const;

private:
    std::mutex& m_lock;
    DecoderState m_state;
    DecoderPlace m_place;
};

// Number of decoder calls made so far, by any decoder state (lets tests show that a frame is decoded
// only once).
std::uint64_t decoderCallCount();
// The same, made by the calling thread (lets tests show which thread decodes).
std::uint64_t decoderCallCountOnThisThread();

} // namespace mp3
