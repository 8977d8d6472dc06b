#include "engine/FramePcm.h"

#include "engine/Decoder.h"
#include "engine/Decoding.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <mutex>
#include <string>

namespace mp3 {

namespace {

// Frames decoded before the one wanted when a windowed file's decode does not continue from its
// predecessor: they refill the bit reservoir (main data may begin up to 511 bytes back), the
// overlap of the previous granule and the synthesis filter's history, so the frame decodes to the
// same PCM as in a decode in file order.
constexpr int kPrimingFrames = 16;
// libmpg123's synthesis filter keeps a ring of 16 positions that every granule moves on, and where
// it stands changes how samples round: priming starts at a multiple of 16 frames, where the ring
// stands as in a decode from frame 0.
constexpr int kSynthesisPhases = 16;

void primeHoldingLock(SharedDecoder& decoder, const FrameReader& reader, const std::string& key) {
    decoder.resetHoldingLock();
    FrameReader primer(reader);
    const int first = std::max(0, reader.frameNumber() - kPrimingFrames);
    primer.stepBack(reader.frameNumber() - (first - first % kSynthesisPhases));
    std::array<std::uint8_t, kMaxPcmBytes> scratch{};
    while (!primer.atEnd() && primer.frameNumber() < reader.frameNumber()) {
        decoder.decodeHoldingLock(primer.frameData(), static_cast<std::size_t>(primer.frameLength()),
                                  scratch.data(), {key, primer.frameNumber()});
        primer.readNext();
    }
}

// Takes the decoder's lock for a decode unless the caller holds it already.
std::size_t obtainPcm(const Decoding& decoding, const FrameReader& reader, std::uint8_t* out,
                      bool holdingLock) {
    const std::string key = reader.path().string();
    const int frame = reader.frameNumber();
    if (const auto cached = decoding.cache.find(key, frame, out)) {
        return *cached;
    }
    std::unique_lock<std::mutex> lock(decoding.decoder.lock(), std::defer_lock);
    if (!holdingLock) {
        lock.lock();
    }
    if (decoding.cache.isWindowed(key) && !decoding.decoder.continuesHoldingLock(key, frame)) {
        primeHoldingLock(decoding.decoder, reader, key);
    }
    const DecodeResult decoded = decoding.decoder.decodeHoldingLock(
        reader.frameData(), static_cast<std::size_t>(reader.frameLength()), out, {key, frame});
    decoding.cache.put(key, frame, out, decoded.bytes);
    return decoded.bytes;
}

} // namespace

std::size_t framePcm(const Decoding& decoding, const FrameReader& reader, std::uint8_t* out) {
    return obtainPcm(decoding, reader, out, false);
}

std::size_t framePcmHoldingLock(const Decoding& decoding, const FrameReader& reader, std::uint8_t* out) {
    return obtainPcm(decoding, reader, out, true);
}

int frameLevel(const std::uint8_t* pcm) {
    const auto sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(pcm[0] | (pcm[1] << 8)));
    return std::abs(static_cast<int>(sample));
}

void smoothLevels(std::vector<int>& levels) {
    if (levels.empty()) {
        return;
    }
    int prev = levels[0];
    for (std::size_t i = 1; i < levels.size(); ++i) {
        int& v = levels[i];
        const int larger = prev > v ? prev : v;
        const int limit = static_cast<int>(larger * 0.2);
        if (std::abs(v - prev) > limit) {
            v = v > prev ? prev + limit : prev - limit;
        }
        prev = v;
        v += static_cast<int>(v / 32767.0 * 5000.0);
    }
}

} // namespace mp3
