#include "engine/FramePcm.h"
#include "engine/ProcessDecoding.h"

#include "engine/Decoder.h"
#include "engine/FileScan.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using testing_support::fixture;

struct SmoothingCase {
    std::vector<int> raw;
    std::vector<int> smoothed;
};

class Smoothing : public testing::TestWithParam<SmoothingCase> {};

TEST_P(Smoothing, LimitsEachStepAndLiftsByLevel) {
    std::vector<int> levels = GetParam().raw;
    mp3::smoothLevels(levels);
    EXPECT_EQ(levels, GetParam().smoothed);
}

INSTANTIATE_TEST_SUITE_P(Levels, Smoothing,
                         testing::Values(SmoothingCase{{0, 1000, 1000, 0}, {0, 230, 461, 368}},
                                         SmoothingCase{{100, 90, 80}, {100, 103, 92}},
                                         SmoothingCase{{32768, 32768}, {32768, 37768}},
                                         SmoothingCase{{5, 5, 5}, {5, 5, 5}},
                                         SmoothingCase{{0, 0, 32768}, {0, 0, 7552}},
                                         SmoothingCase{{1234}, {1234}}, SmoothingCase{{}, {}}),
                         [](const testing::TestParamInfo<SmoothingCase>& info) {
                             std::string name = "raw";
                             for (const int v : info.param.raw) {
                                 name += "_" + std::to_string(v);
                             }
                             return name + "_" + std::to_string(info.index);
                         });

TEST(FrameLevel, IsTheMagnitudeOfTheFirstSample) {
    const std::array<std::array<std::uint8_t, 2>, 5> samples = {
        {{0x00, 0x80}, {0xFF, 0x7F}, {0xFF, 0xFF}, {0, 0}, {0x18, 0xFC}}};
    const std::array<int, 5> levels = {32768, 32767, 1, 0, 1000};
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(mp3::frameLevel(samples[i].data()), levels[i]);
    }
}

TEST(PcmCache, StoresGetsAndClearsPerFileAndFrame) {
    mp3::PcmCache cache;
    const std::vector<std::uint8_t> pcm = {1, 2, 3, 4, 5, 6};
    cache.put("a.mp3", 3, pcm.data(), pcm.size());
    cache.put("b.mp3", 0, nullptr, 0);
    EXPECT_TRUE(cache.contains("a.mp3", 3));
    EXPECT_FALSE(cache.contains("a.mp3", 2));
    EXPECT_FALSE(cache.contains("A.mp3", 3));
    EXPECT_FALSE(cache.contains("b.mp3", 1));
    std::array<std::uint8_t, 8> out{};
    out.fill(9);
    EXPECT_EQ(cache.get("a.mp3", 3, out.data()), 6u);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 6), pcm);
    // An empty entry is a hit that copies nothing.
    out.fill(9);
    EXPECT_TRUE(cache.contains("b.mp3", 0));
    EXPECT_EQ(cache.get("b.mp3", 0, out.data()), 0u);
    EXPECT_EQ(out[0], 9);
    cache.clear();
    EXPECT_FALSE(cache.contains("a.mp3", 3));
    EXPECT_FALSE(cache.contains("b.mp3", 0));
    EXPECT_EQ(cache.storedBytes(), 0u);
}

TEST(PcmCache, HoldsAnHourOfFramesAcrossChunks) {
    mp3::PcmCache cache;
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    constexpr int kFrames = 5000; // more than one storage chunk
    for (int frame = 0; frame < kFrames; ++frame) {
        pcm[0] = static_cast<std::uint8_t>(frame);
        pcm[mp3::kMaxPcmBytes - 1] = static_cast<std::uint8_t>(frame >> 8);
        cache.put("long.mp3", frame, pcm.data(), pcm.size());
    }
    EXPECT_EQ(cache.storedBytes(), kFrames * mp3::kMaxPcmBytes);
    for (const int frame : {0, 1819, 1820, 4999}) {
        std::array<std::uint8_t, mp3::kMaxPcmBytes> out{};
        ASSERT_EQ(cache.get("long.mp3", frame, out.data()), mp3::kMaxPcmBytes);
        EXPECT_EQ(out[0], static_cast<std::uint8_t>(frame));
        EXPECT_EQ(out[mp3::kMaxPcmBytes - 1], static_cast<std::uint8_t>(frame >> 8));
    }
}

TEST(FramePcm, DecodesEachFrameOnceThenServesTheCache) {
    mp3::processDecoding().cache.clear();
    const auto path = fixture("cbr128.mp3");
    mp3::FrameReader reader(path);
    reader.advance(10);
    std::array<std::uint8_t, mp3::kMaxPcmBytes> first{};
    std::array<std::uint8_t, mp3::kMaxPcmBytes> second{};
    const std::uint64_t before = mp3::decoderCallCount();
    const std::size_t firstCount = mp3::framePcm(mp3::processDecoding(), reader, first.data());
    EXPECT_EQ(mp3::decoderCallCount(), before + 1);
    EXPECT_EQ(firstCount, 4608u);
    EXPECT_EQ(mp3::framePcm(mp3::processDecoding(), reader, second.data()), firstCount);
    EXPECT_EQ(mp3::decoderCallCount(), before + 1);
    EXPECT_EQ(first, second);
    mp3::processDecoding().cache.clear();
}

TEST(FramePcm, LoadingScanDecodesEveryFrameOnceAndLaterReadsHitTheCache) {
    mp3::processDecoding().cache.clear();
    const auto path = fixture("ten-seconds.mp3");
    const std::uint64_t before = mp3::decoderCallCount();
    const mp3::LevelScan scan = mp3::scanLevels(path);
    ASSERT_EQ(scan.levels.size(), 385u);
    EXPECT_EQ(mp3::decoderCallCount(), before + 385);

    // Everything after the load comes from the cache: a second pass, a player at some frame.
    const mp3::LevelScan again = mp3::scanLevels(path);
    EXPECT_EQ(again.levels, scan.levels);
    mp3::FrameReader player(path);
    player.advance(200);
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    EXPECT_EQ(mp3::framePcm(mp3::processDecoding(), player, pcm.data()), 4608u);
    EXPECT_EQ(mp3::frameLevel(pcm.data()), scan.rawLevels[200]);
    EXPECT_EQ(mp3::decoderCallCount(), before + 385);

    // A new load empties the cache: nothing of the first file is left.
    mp3::processDecoding().cache.clear();
    mp3::scanLevels(fixture("cbr128.mp3"));
    EXPECT_FALSE(mp3::processDecoding().cache.contains(path.string(), 0));
    EXPECT_TRUE(mp3::processDecoding().cache.contains(fixture("cbr128.mp3").string(), 78));
    mp3::processDecoding().cache.clear();
}

std::vector<int> rawLevelsDecodedInPlace(const std::filesystem::path& path) {
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    std::vector<int> levels;
    for (mp3::FrameReader reader(path); !(reader == mp3::FrameReader()); reader.readNext()) {
        mp3::framePcm(mp3::processDecoding(), reader, pcm.data());
        levels.push_back(mp3::frameLevel(pcm.data()));
    }
    return levels;
}

// A frame that yields no PCM repeats the level of the last frame that did.
TEST(FramePcm, CutLastFrameRepeatsThePreviousLevelAndLeavesTheDecoderClean) {
    mp3::processDecoding().cache.clear();
    const auto whole = fixture("cbr128.mp3");
    const std::vector<int> wholeLevels = mp3::scanLevels(whole).rawLevels;
    mp3::processDecoding().cache.clear();

    const auto bytes = testing_support::readBytes(whole);
    const auto cut = testing_support::scratchDir("pcm-cut") / "cut.mp3";
    testing_support::writeBytes(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 20000));
    const mp3::LevelScan scan = mp3::scanLevels(cut);
    ASSERT_GE(scan.rawLevels.size(), 3u);
    const std::size_t last = scan.rawLevels.size() - 1;
    EXPECT_EQ(scan.rawLevels[last], scan.rawLevels[last - 1]);
    EXPECT_NE(scan.rawLevels[last], 0);
    mp3::FrameReader reader(cut);
    reader.advance(static_cast<int>(last));
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    EXPECT_EQ(mp3::framePcm(mp3::processDecoding(), reader, pcm.data()), 0u); // cached as empty

    // The cut frame's bytes do not stay in the decoder and spoil the next frame it is given.
    mp3::processDecoding().cache.clear();
    EXPECT_EQ(rawLevelsDecodedInPlace(whole), wholeLevels);
    mp3::processDecoding().cache.clear();
}

} // namespace

// A failed call says why instead of looking like a frame that decodes to silence.
TEST(DecoderState, KeepsTheReasonACallGaveNoPcm) {
    mp3::FrameReader reader(fixture("cbr128.mp3"));
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    mp3::DecoderState decoder;
    const mp3::DecodeResult empty = decoder.decode(reader.frameData(), 0, pcm.data());
    EXPECT_EQ(empty.outcome, mp3::DecodeResult::Outcome::EmptyInput);
    const mp3::DecodeResult cut = decoder.decode(reader.frameData(), 20, pcm.data());
    EXPECT_EQ(cut.bytes, 0u);
    EXPECT_TRUE(cut.failed());
    EXPECT_NE(cut.reason(), "decoded");
    decoder.restart();
    const mp3::DecodeResult whole =
        decoder.decode(reader.frameData(), static_cast<std::size_t>(reader.frameLength()), pcm.data());
    EXPECT_FALSE(whole.failed()) << whole.reason();
    EXPECT_EQ(whole.bytes, 4608u);
}
