#include "engine/Decoder.h"

#include "engine/AudioLock.h"

#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

namespace mp3 {
namespace {

struct HandleDeleter {
    void operator()(mpg123_handle* handle) const {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

std::atomic<std::uint64_t> g_decoderCalls{0};

// Feed mode, one frame in and that frame's PCM out: no read-ahead, the Info frame decoded like any
// other, no gapless trimming, always signed 16-bit at the stream's own rate and channel count.
Handle newHandle() {
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });
    int error = MPG123_OK;
    Handle h(mpg123_new(nullptr, &error));
    if (!h) {
        return h;
    }
    mpg123_param(h.get(), MPG123_FLAGS, MPG123_NO_READAHEAD | MPG123_IGNORE_INFOFRAME | MPG123_QUIET, 0.0);
    mpg123_param(h.get(), MPG123_RESYNC_LIMIT, -1, 0.0);
    mpg123_format_none(h.get());
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i) {
        mpg123_format(h.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    mpg123_open_feed(h.get());
    return h;
}

mpg123_handle* decoderState() {
    static const Handle handle = newHandle();
    return handle.get();
}

// Drops buffered input and the decoder's memory of earlier frames.
void restart(mpg123_handle* h) {
    mpg123_open_feed(h);
}

std::size_t decodeWith(mpg123_handle* h, const std::uint8_t* frame, std::size_t length, std::uint8_t* out) {
    g_decoderCalls.fetch_add(1, std::memory_order_relaxed);
    if (h == nullptr || length == 0) {
        return 0;
    }
    if (mpg123_feed(h, frame, length) != MPG123_OK) {
        return 0;
    }
    std::size_t produced = 0;
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        const int result = mpg123_decode_frame(h, &frameNumber, &audio, &bytes);
        if (result == MPG123_NEW_FORMAT) {
            continue;
        }
        if (result == MPG123_OK && audio != nullptr) {
            produced = std::min(bytes, kMaxPcmBytes);
            std::memcpy(out, audio, produced);
        }
        break;
    }
    // Bytes the decoder did not take (a frame cut short, or junk it could not place) would be glued
    // to the front of the next frame and spoil it.
    long fill = 0;
    double fillDouble = 0;
    if (mpg123_getstate(h, MPG123_BUFFERFILL, &fill, &fillDouble) == MPG123_OK && fill > 0) {
        restart(h);
    }
    return produced;
}

} // namespace

std::size_t decodeFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t* out) {
    const std::lock_guard<std::mutex> lock(g_audioLock);
    return decodeFrameHoldingLock(frame, length, out);
}

std::size_t decodeFrameHoldingLock(const std::uint8_t* frame, std::size_t length, std::uint8_t* out) {
    return decodeWith(decoderState(), frame, length, out);
}

void resetDecoder() {
    const std::lock_guard<std::mutex> lock(g_audioLock);
    if (mpg123_handle* h = decoderState()) {
        restart(h);
    }
}

std::uint64_t decoderCallCount() {
    return g_decoderCalls.load(std::memory_order_relaxed);
}

PrivateDecoder::PrivateDecoder() : m_handle(newHandle().release()) {}

PrivateDecoder::~PrivateDecoder() {
    HandleDeleter()(m_handle);
}

std::size_t PrivateDecoder::decode(const std::uint8_t* frame, std::size_t length, std::uint8_t* out) {
    return decodeWith(m_handle, frame, length, out);
}

} // namespace mp3
