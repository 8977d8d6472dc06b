#include "engine/LevelPlan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kStep = 1.5051499783199060; // 20 log10(2^(1/4))
constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

TEST(LevelPlan, PeakNormaliseNeverPassesItsTarget) {
    struct Case {
        const char* name;
        double peak;
        double target;
        int steps;
    };
    const Case cases[] = {
        {"6 dB below: 3.99 steps, so 3", -7.0, -1.0, 3},
        {"exactly six steps below", -1.0 - 6 * kStep, -1.0, 6},
        {"already at the target", -1.0, -1.0, 0},
        {"a little over: one step down", -0.5, -1.0, -1},
        {"over full scale, to -1", 0.5, -1.0, -1},
        {"far below", -40.0, -1.0, 25}, // 39 / 1.505 = 25.9
    };
    for (const Case& c : cases) {
        const mp3::GainPlan plan = mp3::planPeakNormalise(c.peak, c.target);
        EXPECT_EQ(plan.steps, c.steps) << c.name;
        EXPECT_NEAR(plan.gainDb, c.steps * kStep, 1e-9) << c.name;
        EXPECT_LE(c.peak + plan.gainDb, c.target + 1e-9) << c.name;
        EXPECT_FALSE(plan.silent) << c.name;
    }
    EXPECT_TRUE(mp3::planPeakNormalise(kMinusInfinity, -1.0).silent);
}

TEST(LevelPlan, LoudnessNormaliseStopsBeforeClippingAndSaysByHowMuch) {
    struct Case {
        const char* name;
        double loudness;
        double peak;
        double target;
        bool allowClipping;
        int steps;
        double shortDb;
        double overDb;
    };
    const Case cases[] = {
        // 4 / 1.505 = 2.66, so 3; the peak allows 6 / 1.505 = 3.99, so 3.
        {"up, within the peak", -20.0, -6.0, -16.0, false, 3, 0.0, 0.0},
        // 14 / 1.505 = 9.30, so 9; the peak allows 3: -16 - (-30 + 4.515) short.
        {"up, held by the peak", -30.0, -6.0, -16.0, false, 3, 9.4845500650, 0.0},
        {"up, past the peak when asked", -30.0, -6.0, -16.0, true, 9, 0.0, 7.5463498049},
        // -13 / 1.505 = -8.64, so -9.
        {"down to broadcast loudness", -10.0, -0.1, -23.0, false, -9, 0.0, 0.0},
        {"already there", -16.2, -3.0, -16.0, false, 0, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        const mp3::GainPlan plan = mp3::planLoudnessNormalise(c.loudness, c.peak, c.target, c.allowClipping);
        EXPECT_EQ(plan.steps, c.steps) << c.name;
        EXPECT_NEAR(plan.gainDb, c.steps * kStep, 1e-9) << c.name;
        EXPECT_NEAR(plan.shortOfTargetDb, c.shortDb, 1e-6) << c.name;
        EXPECT_NEAR(plan.overFullScaleDb, c.overDb, 1e-6) << c.name;
    }
    EXPECT_TRUE(mp3::planLoudnessNormalise(kMinusInfinity, -10.0, -16.0, false).silent);
    EXPECT_TRUE(mp3::planLoudnessNormalise(-40.0, kMinusInfinity, -16.0, false).silent);
}

TEST(LevelPlan, StepsBeforeClipping) {
    EXPECT_EQ(mp3::stepsBeforeClipping(-6.0), 3);
    EXPECT_EQ(mp3::stepsBeforeClipping(-4 * kStep), 4);
    EXPECT_EQ(mp3::stepsBeforeClipping(0.0), 0);
    EXPECT_EQ(mp3::stepsBeforeClipping(1.0), -1);
}

TEST(LevelPlan, FadeLengthInGranules) {
    EXPECT_EQ(mp3::fadeGranules(1.0, 44100), 77); // 76.56
    EXPECT_EQ(mp3::fadeGranules(0.5, 22050), 19); // 19.14
    EXPECT_EQ(mp3::fadeGranules(2.0, 8000), 28);  // 27.78
    EXPECT_EQ(mp3::fadeGranules(0.001, 8000), 1); // a fade asked for is never none
    EXPECT_EQ(mp3::fadeGranules(0.0, 44100), 0);
}

TEST(LevelPlan, FadeRampsFallToTheFloorThenSilence) {
    using Ramp = std::vector<mp3::RampStep>;
    const mp3::RampStep silent{0, true};
    // -60 dB is 39.86 steps, so the floor is -40; thirds of it are -13.3 and -26.7.
    EXPECT_EQ(mp3::fadeOutRamp(4), (Ramp{{-13, false}, {-27, false}, {-40, false}, silent}));
    EXPECT_EQ(mp3::fadeInRamp(4), (Ramp{silent, {-40, false}, {-27, false}, {-13, false}}));
    // -30 dB is 19.93 steps: -20 in quarters.
    EXPECT_EQ(mp3::fadeOutRamp(5, -30.0),
              (Ramp{{-5, false}, {-10, false}, {-15, false}, {-20, false}, silent}));
    EXPECT_EQ(mp3::fadeOutRamp(2), (Ramp{{-40, false}, silent}));
    EXPECT_EQ(mp3::fadeOutRamp(1), (Ramp{silent}));
    EXPECT_TRUE(mp3::fadeOutRamp(0).empty());
    // Long fades fall by at most one step a granule and never rise.
    const Ramp longFade = mp3::fadeOutRamp(200);
    for (std::size_t i = 1; i + 1 < longFade.size(); ++i) {
        EXPECT_LE(longFade[i].steps, longFade[i - 1].steps);
        EXPECT_GE(longFade[i].steps, longFade[i - 1].steps - 1);
    }
}

} // namespace
