#include "engine/Loudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

// `seconds` of a sine of `peakDbfs` in every channel, as interleaved 16-bit little-endian PCM.
std::vector<std::uint8_t> sine(double hz, double peakDbfs, int channels, int rate, double seconds) {
    const double amplitude = 32768.0 * std::pow(10.0, peakDbfs / 20.0);
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<std::uint8_t> pcm;
    pcm.reserve(frames * static_cast<std::size_t>(channels) * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const auto sample = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate)));
        for (int channel = 0; channel < channels; ++channel) {
            pcm.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) & 0xFF));
            pcm.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8));
        }
    }
    return pcm;
}

// EBU Tech 3341: a stereo 1 kHz sine at -23 dBFS reads -23 LUFS; in one channel only, 3 dB less.
TEST(Loudness, CalibrationSines) {
    struct Case {
        const char* name;
        int channels;
        int rate;
        double peakDbfs;
        double lufs;
    };
    const Case cases[] = {
        {"stereo at 48 kHz", 2, 48000, -23.0, -23.0},
        {"stereo at 44.1 kHz", 2, 44100, -23.0, -23.0},
        {"mono at 22.05 kHz", 1, 22050, -20.0, -23.0},
    };
    for (const Case& c : cases) {
        mp3::LoudnessMeter meter(c.channels, c.rate);
        ASSERT_TRUE(meter.valid()) << c.name;
        const std::vector<std::uint8_t> pcm = sine(1000.0, c.peakDbfs, c.channels, c.rate, 20.0);
        // Fed in frame-sized pieces, as a decode gives it.
        const std::size_t piece = 1152 * 2 * static_cast<std::size_t>(c.channels);
        for (std::size_t at = 0; at < pcm.size(); at += piece) {
            meter.add(pcm.data() + at, std::min(piece, pcm.size() - at));
        }
        const mp3::LoudnessFigures figures = meter.figures();
        EXPECT_NEAR(figures.integratedLufs, c.lufs, 0.1) << c.name;
        EXPECT_NEAR(figures.rangeLu, 0.0, 0.1) << c.name;
        EXPECT_NEAR(figures.samplePeakDbfs, c.peakDbfs, 0.02) << c.name;
        EXPECT_NEAR(figures.truePeakDbtp, c.peakDbfs, 0.1) << c.name;
    }
}

TEST(Loudness, SilenceHasNoLoudness) {
    mp3::LoudnessMeter meter(2, 44100);
    const std::vector<std::uint8_t> silence(44100 * 4 * 5, 0);
    meter.add(silence.data(), silence.size());
    const mp3::LoudnessFigures figures = meter.figures();
    EXPECT_TRUE(std::isinf(figures.integratedLufs) && figures.integratedLufs < 0);
    EXPECT_TRUE(std::isinf(figures.samplePeakDbfs) && figures.samplePeakDbfs < 0);
    EXPECT_FALSE(mp3::LoudnessMeter(0, 44100).valid());
}

} // namespace
