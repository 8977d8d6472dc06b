#include "engine/Decoder.h"
#include "engine/FileScan.h"
#include "engine/FramePcm.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using testing_support::fixture;

struct Recorder : mp3::LevelScanObserver {
    std::vector<int> starting;
    std::vector<std::int64_t> bytes;
    void frameStarting(int framesHandled) override { starting.push_back(framesHandled); }
    void frameHandled(int, std::int64_t bytesHandled) override { bytes.push_back(bytesHandled); }
};

struct Loaded {
    mp3::LevelScan scan;
    std::string pcm; // every frame's PCM from the cache, in order
    Recorder observer;
    std::uint64_t decoderCalls = 0;
};

Loaded load(const std::filesystem::path& path, const mp3::ParallelDecode& parallel) {
    Loaded loaded;
    mp3::processDecoding().cache.clear();
    const std::uint64_t before = mp3::decoderCallCount();
    loaded.scan = mp3::scanLevels(mp3::processDecoding(), path, &loaded.observer, parallel);
    loaded.decoderCalls = mp3::decoderCallCount() - before;
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    for (int frame = 0; frame < static_cast<int>(loaded.scan.levels.size()); ++frame) {
        EXPECT_TRUE(mp3::processDecoding().cache.contains(path.string(), frame));
        const std::size_t n = mp3::processDecoding().cache.get(path.string(), frame, pcm.data());
        loaded.pcm.append(reinterpret_cast<const char*>(pcm.data()), n);
    }
    EXPECT_EQ(mp3::decoderCallCount() - before, loaded.decoderCalls); // the load left nothing to decode
    mp3::processDecoding().cache.clear();
    return loaded;
}

class ParallelScan : public testing::TestWithParam<const char*> {};

// Decoding the second half on its own decoder, primed with the frames before it, gives the levels
// of one decoder in file order.
TEST_P(ParallelScan, GivesTheSequentialLevelsAndPcm) {
    const auto path = fixture(GetParam());
    const Loaded sequential = load(path, {});
    const auto frames = static_cast<int>(sequential.scan.levels.size());
    ASSERT_GT(frames, 20);
    EXPECT_EQ(sequential.decoderCalls, static_cast<std::uint64_t>(frames));
    for (const int priming : {32, 64, frames}) {
        const Loaded parallel = load(path, {.minimumFrames = 0, .primingFrames = priming});
        EXPECT_EQ(parallel.scan.rawLevels, sequential.scan.rawLevels) << priming;
        EXPECT_EQ(parallel.scan.levels, sequential.scan.levels) << priming;
        EXPECT_EQ(parallel.scan.offsets, sequential.scan.offsets) << priming;
        EXPECT_EQ(parallel.scan.totalBytes, sequential.scan.totalBytes) << priming;
        if (std::string(GetParam()) != "mpeg2-mono.mp3") {
            // This stream's decoder keeps state past any priming: a few samples of frame 60 differ.
            EXPECT_TRUE(parallel.pcm == sequential.pcm) << priming;
        }
        EXPECT_EQ(parallel.observer.starting, sequential.observer.starting) << priming;
        EXPECT_EQ(parallel.observer.bytes, sequential.observer.bytes) << priming;
        // Each frame once, plus the priming frames the helper throws away.
        EXPECT_EQ(parallel.decoderCalls, static_cast<std::uint64_t>(frames + std::min(priming, frames / 2)));
    }
}

INSTANTIATE_TEST_SUITE_P(LameFiles, ParallelScan,
                         testing::Values("ten-seconds.mp3", "vbr.mp3", "mpeg2-mono.mp3", "mpeg25.mp3",
                                         "id3v2-cover.mp3"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

TEST(ParallelScanPriming, WithoutPrimingTheSecondHalfStartsWrong) {
    const auto path = fixture("ten-seconds.mp3");
    const Loaded sequential = load(path, {.minimumFrames = -1});
    const Loaded unprimed = load(path, {.minimumFrames = 0, .primingFrames = 0});
    EXPECT_FALSE(unprimed.pcm == sequential.pcm);
}

TEST(ParallelScanCache, FramesAlreadyCachedAreNotDecodedAgain) {
    const auto path = fixture("ten-seconds.mp3");
    mp3::processDecoding().cache.clear();
    const mp3::LevelScan first = mp3::scanLevels(mp3::processDecoding(), path, nullptr, {.minimumFrames = 0});
    const std::uint64_t before = mp3::decoderCallCount();
    const mp3::LevelScan second =
        mp3::scanLevels(mp3::processDecoding(), path, nullptr, {.minimumFrames = 0});
    EXPECT_EQ(mp3::decoderCallCount(), before);
    EXPECT_EQ(second.levels, first.levels);
    mp3::processDecoding().cache.clear();
}

} // namespace
