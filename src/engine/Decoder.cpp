#include "engine/Decoder.h"

#include "engine/AudioLock.h"

#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

namespace mp3 {
namespace {

struct HandleDeleter {
    void operator()(mpg123_handle* handle) const {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};

std::atomic<std::uint64_t> g_decoderCalls{0};

// Feed mode, one frame in and that frame's PCM out: no read-ahead, the Info frame decoded like any
// other, no gapless trimming, always signed 16-bit at the stream's own rate and channel count.
mpg123_handle* decoderState() {
    static const std::unique_ptr<mpg123_handle, HandleDeleter> handle = [] {
        mpg123_init();
        int error = MPG123_OK;
        mpg123_handle* h = mpg123_new(nullptr, &error);
        if (h == nullptr) {
            return std::unique_ptr<mpg123_handle, HandleDeleter>();
        }
        mpg123_param(h, MPG123_FLAGS, MPG123_NO_READAHEAD | MPG123_IGNORE_INFOFRAME | MPG123_QUIET, 0.0);
        mpg123_param(h, MPG123_RESYNC_LIMIT, -1, 0.0);
        mpg123_format_none(h);
        const long* rates = nullptr;
        std::size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (std::size_t i = 0; i < rateCount; ++i) {
            mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        }
        mpg123_open_feed(h);
        return std::unique_ptr<mpg123_handle, HandleDeleter>(h);
    }();
    return handle.get();
}

// Drops buffered input and the decoder's memory of earlier frames.
void restart(mpg123_handle* h) {
    mpg123_open_feed(h);
}

} // namespace

std::size_t decodeFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t* out) {
    const std::lock_guard<std::mutex> lock(g_audioLock);
    g_decoderCalls.fetch_add(1, std::memory_order_relaxed);
    mpg123_handle* h = decoderState();
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

void resetDecoder() {
    const std::lock_guard<std::mutex> lock(g_audioLock);
    if (mpg123_handle* h = decoderState()) {
        restart(h);
    }
}

std::uint64_t decoderCallCount() {
    return g_decoderCalls.load(std::memory_order_relaxed);
}

} // namespace mp3
