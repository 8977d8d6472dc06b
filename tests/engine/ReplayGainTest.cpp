#include "engine/ReplayGain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

TEST(ReplayGain, TrackValuesAgainstMinus18Lufs) {
    struct Case {
        double integrated;
        double samplePeakDbfs;
        const char* gain;
        const char* peak;
    };
    const Case cases[] = {
        {-23.0, -6.0205999, "+5.00 dB", "0.500000"}, // 10^(-6.0206/20) = 0.5
        {-10.97, -0.1, "-7.03 dB", "0.988553"},      // 10^(-0.1/20) = 0.98855
        {-18.0, 0.0, "+0.00 dB", "1.000000"},
        {-16.004, -1.0, "-2.00 dB", "0.891251"}, // 10^(-1/20) = 0.89125
        {-30.0, kMinusInfinity, "+12.00 dB", "0.000000"},
    };
    for (const Case& c : cases) {
        mp3::LoudnessFigures figures;
        figures.integratedLufs = c.integrated;
        figures.samplePeakDbfs = c.samplePeakDbfs;
        const auto values = mp3::replayGainValues(figures);
        ASSERT_TRUE(values.has_value()) << c.integrated;
        EXPECT_EQ(values->trackGain, c.gain) << c.integrated;
        EXPECT_EQ(values->trackPeak, c.peak) << c.integrated;
    }
    mp3::LoudnessFigures silence;
    silence.integratedLufs = kMinusInfinity;
    silence.samplePeakDbfs = kMinusInfinity;
    EXPECT_FALSE(mp3::replayGainValues(silence).has_value());
}

} // namespace
