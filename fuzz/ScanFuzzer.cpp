// The loading scan over arbitrary bytes: every frame found is decoded and cached once.
#include "ScratchFile.h"

#include "engine/Decoder.h"
#include "engine/FileScan.h"
#include "engine/FramePcm.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"

#include <array>
#include <cstdio>
#include <cstdlib>

// Stops the run naming the broken rule.
#define check(condition)                                                                                     \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "broken: %s (line %d)\n", #condition, __LINE__);                            \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = writeScratchFile("kerfline-fuzz-scan", data, size);
    mp3::PcmCache& cache = mp3::PcmCache::instance();
    cache.clear();
    const std::uint64_t calls = mp3::decoderCallCount();
    const mp3::LevelScan scan = mp3::scanLevels(path);
    const auto frames = scan.levels.size();
    check(scan.offsets.size() == frames && scan.rawLevels.size() == frames);
    check(scan.totalBytes <= static_cast<std::int64_t>(size));
    check(mp3::decoderCallCount() - calls == frames);
    for (const int level : scan.rawLevels) {
        check(level >= 0 && level <= 32768);
    }
    if (frames > 0) {
        mp3::FrameReader reader(path);
        reader.advance(static_cast<int>(frames - 1));
        std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
        check(mp3::framePcm(reader, pcm.data()) <= mp3::kMaxPcmBytes);
        check(mp3::decoderCallCount() - calls == frames);
    }
    cache.clear();

    // The two-core scan meets the same frames; its levels may differ only where the decoder keeps
    // state past the priming, which garbage streams do.
    const mp3::LevelScan parallel = mp3::scanLevels(path, nullptr, {.minimumFrames = 0, .primingFrames = 4});
    check(parallel.offsets == scan.offsets && parallel.totalBytes == scan.totalBytes);
    for (int frame = 0; frame < static_cast<int>(frames); ++frame) {
        check(cache.contains(path.string(), frame));
    }
    cache.clear();
    return 0;
}
