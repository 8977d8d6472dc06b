#include "engine/FileScan.h"
#include "engine/FramePcm.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"
#include "support/OwnDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using testing_support::fixture;
using testing_support::OwnDecoding;

std::array<std::uint8_t, mp3::kMaxPcmBytes> framePattern(int frame) {
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    pcm.fill(static_cast<std::uint8_t>(frame * 7 + 1));
    return pcm;
}

TEST(PcmCacheBudget, KeepsAFileWholeWhileItFitsAndDropsItAllOnceItDoesNot) {
    mp3::PcmCache cache(10 * mp3::kMaxPcmBytes);
    for (int frame = 0; frame < 10; ++frame) {
        EXPECT_TRUE(cache.put("a.mp3", frame, framePattern(frame).data(), mp3::kMaxPcmBytes));
    }
    EXPECT_FALSE(cache.isWindowed("a.mp3"));
    EXPECT_EQ(cache.storedBytes(), 10 * mp3::kMaxPcmBytes);

    EXPECT_FALSE(cache.put("a.mp3", 10, framePattern(10).data(), mp3::kMaxPcmBytes));
    EXPECT_TRUE(cache.isWindowed("a.mp3"));
    EXPECT_EQ(cache.storedBytes(), 0u);
    EXPECT_FALSE(cache.contains("a.mp3", 0));
}

// Beyond the budget the least recently used frames go first, and what stays reads back unchanged.
// (The frames the player is about to play are held by the player's prefetcher, not here.)
TEST(PcmCacheBudget, EvictsTheLeastRecentlyUsedFrameFirst) {
    mp3::PcmCache cache(4 * mp3::kMaxPcmBytes);
    cache.put("a.mp3", 0, framePattern(0).data(), 5 * mp3::kMaxPcmBytes); // over the budget: windowed
    ASSERT_TRUE(cache.isWindowed("a.mp3"));

    for (const int frame : {1, 2, 3, 4}) {
        ASSERT_TRUE(cache.put("a.mp3", frame, framePattern(frame).data(), mp3::kMaxPcmBytes)) << frame;
    }
    std::array<std::uint8_t, mp3::kMaxPcmBytes> out{};
    ASSERT_TRUE(cache.find("a.mp3", 1, out.data())); // 1 is now used more recently than 2
    for (int frame = 5; frame < 40; ++frame) {
        ASSERT_TRUE(cache.put("a.mp3", frame, framePattern(frame).data(), mp3::kMaxPcmBytes));
        ASSERT_LE(cache.storedBytes(), 4 * mp3::kMaxPcmBytes);
        if (frame == 5) {
            EXPECT_TRUE(cache.contains("a.mp3", 1));
            EXPECT_FALSE(cache.contains("a.mp3", 2));
        }
    }
    for (int frame = 36; frame < 40; ++frame) {
        ASSERT_EQ(cache.find("a.mp3", frame, out.data()), mp3::kMaxPcmBytes) << frame;
        EXPECT_EQ(out, framePattern(frame));
    }
    // A frame larger than the whole budget is not kept.
    EXPECT_FALSE(cache.put("a.mp3", 50, framePattern(50).data(), 5 * mp3::kMaxPcmBytes));
}

struct WindowedCase {
    const char* file;
    std::vector<int> starts; // frames to start decoding from, in this order
};

class WindowedDecode : public testing::TestWithParam<WindowedCase> {};

// A file beyond the budget: decoding from any frame, after the decoder was busy elsewhere, gives
// the PCM of a decode in file order.
TEST_P(WindowedDecode, FromAnyFrameMatchesADecodeInFileOrder) {
    const auto path = fixture(GetParam().file);
    const auto expected = testing_support::decodeInOrder(path);
    OwnDecoding own(3 * mp3::kMaxPcmBytes);
    const mp3::LevelScan scan = mp3::scanLevels(own.decoding(), path);
    ASSERT_EQ(scan.levels.size(), expected.size());
    ASSERT_TRUE(own.cache.isWindowed(path.string()));

    const int frames = static_cast<int>(expected.size());
    std::vector<std::uint8_t> pcm(mp3::kMaxPcmBytes);
    for (int start : GetParam().starts) {
        start = start < 0 ? frames + start : start;
        mp3::FrameReader reader(path);
        reader.seekToFrame(start, scan.offsets);
        for (int frame = start; frame < std::min(frames, start + 12); ++frame, reader.readNext()) {
            const std::size_t count = mp3::framePcm(own.decoding(), reader, pcm.data());
            ASSERT_EQ(
                std::vector<std::uint8_t>(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(count)),
                expected[static_cast<std::size_t>(frame)])
                << "start " << start << ", frame " << frame;
        }
        reader.close();
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WindowedDecode,
                         testing::Values(WindowedCase{"cbr128.mp3", {37, 1, 2, 5, -3}},
                                         WindowedCase{"vbr.mp3", {60, 17, 1, 40, -12}},
                                         WindowedCase{"mpeg2-mono.mp3", {60, 59, 3, 30, 1, -5}},
                                         WindowedCase{"mpeg25.mp3", {20, 8, 1, 15, -4}},
                                         WindowedCase{"ten-seconds.mp3", {300, 120, 1, 200, -1}}),
                         [](const testing::TestParamInfo<WindowedCase>& info) {
                             std::string name = info.param.file;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

// Frames in order continue the decoder's state rather than priming it again for each one.
TEST(WindowedDecode, FramesInOrderArePrimedOnce) {
    const auto path = fixture("ten-seconds.mp3");
    OwnDecoding own(0);
    const mp3::LevelScan scan = mp3::scanLevels(own.decoding(), path);
    mp3::FrameReader reader(path);
    reader.seekToFrame(100, scan.offsets);
    std::vector<std::uint8_t> pcm(mp3::kMaxPcmBytes);
    mp3::framePcm(own.decoding(), reader, pcm.data());
    const std::uint64_t before = mp3::decoderCallCount();
    for (int i = 0; i < 50; ++i) {
        reader.readNext();
        mp3::framePcm(own.decoding(), reader, pcm.data());
    }
    EXPECT_EQ(mp3::decoderCallCount() - before, 50u);
    reader.close();
}

TEST(ScanIndexLimit, AFileOfMoreFramesThanTheLimitIsRefusedWithNothingKept) {
    OwnDecoding own(mp3::kDefaultPcmBudget);
    const auto path = fixture("cbr128.mp3");
    const mp3::LevelScan whole = mp3::scanLevels(own.decoding(), path);
    const int frames = static_cast<int>(whole.levels.size());
    EXPECT_FALSE(mp3::scanLevels(own.decoding(), path, nullptr, {}, frames).tooManyFrames);
    const mp3::LevelScan refused = mp3::scanLevels(own.decoding(), path, nullptr, {}, frames - 1);
    EXPECT_TRUE(refused.tooManyFrames);
    EXPECT_TRUE(refused.levels.empty());
    EXPECT_TRUE(refused.offsets.empty());
}

} // namespace
