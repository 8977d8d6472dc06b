#include "engine/FramePcm.h"

#include "engine/Decoder.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"

#include <cstdlib>

namespace mp3 {

std::size_t framePcm(const FrameReader& reader, std::uint8_t* out) {
    PcmCache& cache = PcmCache::instance();
    const std::string key = reader.path().string();
    if (cache.contains(key, reader.frameNumber())) {
        return cache.get(key, reader.frameNumber(), out);
    }
    const std::size_t count =
        decodeFrame(reader.frameData(), static_cast<std::size_t>(reader.frameLength()), out);
    cache.put(key, reader.frameNumber(), out, count);
    return count;
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
