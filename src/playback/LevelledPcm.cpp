#include "playback/LevelledPcm.h"

#include "document/FrameTime.h"
#include "engine/Decoder.h"
#include "engine/Decoding.h"
#include "engine/FramePcm.h"
#include "engine/FrameReader.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <string>
#include <vector>

namespace {

// As the decode of unchanged frames primes (engine/FramePcm): enough frames before the one wanted to
// refill the bit reservoir and the overlap, starting where libmpg123's synthesis ring stands as in a
// decode from frame 0.
constexpr int kPrimingFrames = 16;
constexpr int kSynthesisPhases = 16;

// The decoder's place for levelled decodes: never taken for a decode of the unchanged frames.
std::string levelledKey(const mp3::FrameReader& reader, const PlaybackLevels& levels) {
    return reader.path().string() + "\n(level " + std::to_string(levels.version) + ")";
}

mp3::DecodeResult decodeChanged(mp3::SharedDecoder& decoder, const mp3::FrameReader& reader,
                                const PlaybackLevels& levels, const std::string& key, std::uint8_t* out) {
    const auto length = static_cast<std::size_t>(std::max(0, reader.frameLength()));
    std::vector<std::uint8_t> frame(reader.frameData(), reader.frameData() + length);
    // A header frame carries no audio; its side information is left as the copy keeps it.
    if (levels.map.changes(reader.frameNumber()) && !isXingOrInfoFrame(frame.data(), frame.size())) {
        mp3::changeGlobalGain(reader.header(), frame.data(), frame.size(),
                              levels.map.gainOf(reader.frameNumber()));
    }
    return decoder.decodeHoldingLock(frame.data(), frame.size(), out, {key, reader.frameNumber()});
}

} // namespace

bool soundsChanged(const PlaybackLevels& levels, int frame) {
    return levels.map.changes(frame) || levels.map.changes(frame - 1) || levels.map.changes(frame - 2);
}

std::size_t levelledFramePcmHoldingLock(const mp3::Decoding& decoding, const mp3::FrameReader& reader,
                                        const PlaybackLevels& levels, std::uint8_t* out) {
    const std::string key = levelledKey(reader, levels);
    const int frameNumber = reader.frameNumber();
    if (!decoding.decoder.continuesHoldingLock(key, frameNumber)) {
        decoding.decoder.resetHoldingLock();
        mp3::FrameReader primer(reader);
        const int first = std::max(0, frameNumber - kPrimingFrames);
        primer.stepBack(frameNumber - (first - first % kSynthesisPhases));
        std::array<std::uint8_t, mp3::kMaxPcmBytes> scratch{};
        while (!primer.atEnd() && primer.frameNumber() < frameNumber) {
            decodeChanged(decoding.decoder, primer, levels, key, scratch.data());
            primer.readNext();
        }
    }
    return decodeChanged(decoding.decoder, reader, levels, key, out).bytes;
}

std::size_t playbackFramePcm(const mp3::Decoding& decoding, const mp3::FrameReader& reader,
                             const std::shared_ptr<const PlaybackLevels>& levels, std::uint8_t* out) {
    if (levels == nullptr || !soundsChanged(*levels, reader.frameNumber())) {
        return mp3::framePcm(decoding, reader, out);
    }
    const std::lock_guard<std::mutex> lock(decoding.decoder.lock());
    return levelledFramePcmHoldingLock(decoding, reader, *levels, out);
}
