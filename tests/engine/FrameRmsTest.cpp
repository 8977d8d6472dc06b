#include "engine/Decoder.h"
#include "engine/FileScan.h"
#include "engine/LevelSummary.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

std::vector<std::uint8_t> pcmOf(const std::vector<int>& samples) {
    std::vector<std::uint8_t> bytes;
    for (const int sample : samples) {
        const auto word = static_cast<std::uint16_t>(static_cast<std::int16_t>(sample));
        bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    return bytes;
}

TEST(FrameRms, DecibelsBelowFullScale) {
    struct Case {
        const char* name;
        std::vector<int> samples;
        float db;
    };
    std::vector<int> sine(1152);
    for (std::size_t i = 0; i < sine.size(); ++i) {
        sine[i] = static_cast<int>(
            std::lround(16384 * std::sin(2 * std::numbers::pi * static_cast<double>(i) / 64)));
    }
    const Case cases[] = {
        {"full-scale square", {-32768, 32767, -32768, 32767}, 0.0f},
        {"half-scale sine: 3 dB under its peak", sine, -9.03f},
        {"one sample in a hundred at 1 percent",
         [] {
             std::vector<int> v(100, 0);
             v[0] = 328;
             return v;
         }(),
         -60.0f},
        {"digital silence sits on the floor", std::vector<int>(2304, 0), mp3::kSilenceFloorDb},
        {"the quietest noise is above the floor", {1, -1, 1, -1}, -90.3f},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> pcm = pcmOf(c.samples);
        EXPECT_NEAR(mp3::frameRmsDb(pcm.data(), pcm.size()), c.db, 0.02) << c.name;
    }
    const std::uint8_t one = 0;
    EXPECT_EQ(mp3::frameRmsDb(&one, 0), mp3::kSilenceFloorDb);
}

TEST(FramePeak, LargestMagnitudeOfAnyChannel) {
    struct Case {
        const char* name;
        std::vector<int> samples;
        int peak;
    };
    std::vector<int> lateNegative(1152 * 2, 100);
    lateNegative[2303] = -20000; // the last sample, past the last group of eight
    std::vector<int> middle(1000, -5);
    middle[517] = 12345;
    const Case cases[] = {
        {"the most negative sample is the largest", {0, -32768, 32767, 0}, 32768},
        {"the second channel counts", {10, -300, 20, 200}, 300},
        {"past the groups of eight", lateNegative, 20000},
        {"inside them", middle, 12345},
        {"digital silence", std::vector<int>(2304, 0), 0},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> pcm = pcmOf(c.samples);
        EXPECT_EQ(mp3::framePeak(pcm.data(), pcm.size()), c.peak) << c.name;
    }
    const std::uint8_t one = 0;
    EXPECT_EQ(mp3::framePeak(&one, 0), 0);
}

// The scan measures every frame on the PCM it decodes (and keeps): in order or with the second half
// on the helper thread, the values are the same.
TEST(FrameRms, TheScanMeasuresEachFramesPcm) {
    const auto path = testing_support::fixture("ten-seconds.mp3");
    mp3::PcmCache& cache = mp3::processDecoding().cache;
    cache.clear();
    const mp3::LevelScan scan = mp3::scanLevels(path);
    ASSERT_EQ(scan.rmsDb.size(), scan.levels.size());
    ASSERT_EQ(scan.peaks.size(), scan.levels.size());
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    float loudest = mp3::kSilenceFloorDb;
    for (std::size_t frame = 0; frame < scan.rmsDb.size(); ++frame) {
        const std::size_t bytes = cache.get(path.string(), static_cast<int>(frame), pcm.data());
        ASSERT_GT(bytes, 0u) << frame;
        ASSERT_EQ(scan.rmsDb[frame], mp3::frameRmsDb(pcm.data(), bytes)) << frame;
        ASSERT_EQ(scan.peaks[frame], mp3::framePeak(pcm.data(), bytes)) << frame;
        loudest = std::max(loudest, scan.rmsDb[frame]);
    }
    EXPECT_GT(loudest, -20.0f);
    cache.clear();
    const mp3::LevelScan parallel =
        mp3::scanLevels(mp3::processDecoding(), path, nullptr, {.minimumFrames = 0});
    EXPECT_EQ(parallel.rmsDb, scan.rmsDb);
    EXPECT_EQ(parallel.peaks, scan.peaks);
    cache.clear();
}

// A frame that gives no PCM (here the last one, cut short) repeats the level before it, as the
// waveform's level does, rather than reading as silence.
TEST(FrameRms, AFrameWithoutPcmRepeatsTheLastLevel) {
    const auto bytes = testing_support::readBytes(testing_support::fixture("cbr128.mp3"));
    const auto cut = testing_support::scratchDir("rms-cut") / "cut.mp3";
    testing_support::writeBytes(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 20000));
    mp3::processDecoding().cache.clear();
    const mp3::LevelScan scan = mp3::scanLevels(cut);
    mp3::processDecoding().cache.clear();
    ASSERT_GE(scan.rmsDb.size(), 3u);
    const std::size_t last = scan.rmsDb.size() - 1;
    EXPECT_EQ(scan.rmsDb[last], scan.rmsDb[last - 1]);
    EXPECT_GT(scan.rmsDb[last], -40.0f);
}

} // namespace
