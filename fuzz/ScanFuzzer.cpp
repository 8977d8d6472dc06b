// The loading scan over arbitrary bytes: every frame found is decoded and cached once.
#include "ScratchFile.h"

#include "engine/Decoder.h"
#include "engine/FileScan.h"
#include "engine/FramePcm.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

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
    const mp3::Decoding decoding = mp3::processDecoding();
    decoding.cache.clear();
    const std::uint64_t calls = mp3::decoderCallCount();
    const mp3::LevelScan scan = mp3::scanLevels(decoding, path, nullptr, mp3::ParallelDecode::inOrder());
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
        check(mp3::framePcm(decoding, reader, pcm.data()) <= mp3::kMaxPcmBytes);
        check(mp3::decoderCallCount() - calls == frames);
    }
    decoding.cache.clear();

    // The scan split into parts meets the same frames and keeps them all. Its levels and PCM equal
    // those of the scan in file order on every stream an encoder made; on a damaged one libmpg123
    // may skip a granule for Huffman code it cannot place, which the scan does not see, and a part
    // kept after it may round a few samples apart (see SynthesisWatch).
    const mp3::LevelScan parallel =
        mp3::scanLevels(decoding, path, nullptr, {.minimumFrames = 0, .parts = 3, .indexFirst = true});
    check(parallel.offsets == scan.offsets && parallel.totalBytes == scan.totalBytes);
    check(parallel.levels.size() == frames);
    for (int frame = 0; frame < static_cast<int>(frames); ++frame) {
        check(decoding.cache.contains(path.string(), frame));
    }
    decoding.cache.clear();
    return 0;
}
