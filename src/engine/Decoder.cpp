#include "engine/Decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace mp3 {
namespace {

std::atomic<std::uint64_t> g_decoderCalls{0};
thread_local std::uint64_t t_decoderCalls = 0;

// Feed mode, one frame in and that frame's PCM out: no read-ahead, the Info frame decoded like any
// other, no gapless trimming, always signed 16-bit at the stream's own rate and channel count.
mpg123_handle* newHandle() {
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });
    int error = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &error);
    if (h == nullptr) {
        return h;
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
    return h;
}

DecodeResult failure(DecodeResult::Outcome outcome, int code = MPG123_OK) {
    DecodeResult result;
    result.outcome = outcome;
    result.decoderCode = code;
    return result;
}

} // namespace

std::string DecodeResult::reason() const {
    switch (outcome) {
    case Outcome::Pcm:
        return "decoded";
    case Outcome::NoDecoder:
        return "no decoder state";
    case Outcome::EmptyInput:
        return "no input";
    case Outcome::FeedRefused:
        return std::string("input refused: ") + mpg123_plain_strerror(decoderCode);
    case Outcome::NoPcm:
        return decoderCode == MPG123_NEED_MORE ? "the decoder needs more data"
                                               : std::string("no PCM: ") + mpg123_plain_strerror(decoderCode);
    case Outcome::InputLeftOver:
        return "input left over";
    }
    return "unknown";
}

DecoderState::DecoderState() : m_handle(newHandle()) {}

DecoderState::~DecoderState() {
    if (m_handle != nullptr) {
        mpg123_close(m_handle);
        mpg123_delete(m_handle);
    }
}

void DecoderState::restart() {
    if (m_handle != nullptr) {
        mpg123_open_feed(m_handle);
    }
}

DecodeResult DecoderState::decode(const std::uint8_t* frame, std::size_t length, std::uint8_t* out) {
    g_decoderCalls.fetch_add(1, std::memory_order_relaxed);
    ++t_decoderCalls;
    if (m_handle == nullptr) {
        return failure(DecodeResult::Outcome::NoDecoder);
    }
    if (length == 0) {
        return failure(DecodeResult::Outcome::EmptyInput);
    }
    if (const int fed = mpg123_feed(m_handle, frame, length); fed != MPG123_OK) {
        return failure(DecodeResult::Outcome::FeedRefused, fed);
    }
    DecodeResult result = failure(DecodeResult::Outcome::NoPcm);
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        const int code = mpg123_decode_frame(m_handle, &frameNumber, &audio, &bytes);
        if (code == MPG123_NEW_FORMAT) {
            continue;
        }
        if (code == MPG123_OK && audio != nullptr) {
            result.bytes = std::min(bytes, kMaxPcmBytes);
            result.outcome = DecodeResult::Outcome::Pcm;
            std::memcpy(out, audio, result.bytes);
        } else {
            result.decoderCode = code;
        }
        break;
    }
    // Bytes the decoder did not take (a frame cut short, or junk it could not place) would be glued
    // to the front of the next frame and spoil it.
    long fill = 0;
    double fillDouble = 0;
    if (mpg123_getstate(m_handle, MPG123_BUFFERFILL, &fill, &fillDouble) == MPG123_OK && fill > 0) {
        restart();
        if (!result.failed()) {
            result.outcome = DecodeResult::Outcome::InputLeftOver;
        }
    }
    return result;
}

DecodeResult SharedDecoder::decode(const std::uint8_t* frame, std::size_t length, std::uint8_t* out,
                                   DecoderPlace place) {
    const std::lock_guard<std::mutex> lock(m_lock);
    return decodeHoldingLock(frame, length, out, std::move(place));
}

DecodeResult SharedDecoder::decodeHoldingLock(const std::uint8_t* frame, std::size_t length,
                                              std::uint8_t* out, DecoderPlace place) {
    m_place = std::move(place);
    return m_state.decode(frame, length, out);
}

void SharedDecoder::reset() {
    const std::lock_guard<std::mutex> lock(m_lock);
    resetHoldingLock();
}

void SharedDecoder::resetHoldingLock() {
    m_state.restart();
    m_place = {};
}

bool SharedDecoder::continuesHoldingLock(const std::string& path, int frame) const {
    return frame > 0 && m_place.frame == frame - 1 && m_place.path == path;
}

std::uint64_t decoderCallCount() {
    return g_decoderCalls.load(std::memory_order_relaxed);
}

std::uint64_t decoderCallCountOnThisThread() {
    return t_decoderCalls;
}

} // namespace mp3
