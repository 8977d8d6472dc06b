#include "engine/LevelPlan.h"

#include <algorithm>
#include <cmath>

namespace mp3 {

namespace {

constexpr int kSamplesPerGranule = 576;
// Decibels are compared with a little slack, so a target exactly n steps away is reached.
constexpr double kSlackDb = 1e-9;

GainPlan withSteps(int steps) {
    GainPlan plan;
    plan.steps = steps;
    plan.gainDb = steps * kDbPerGainStep;
    return plan;
}

} // namespace

int stepsBeforeClipping(double peakDbfs) {
    return static_cast<int>(std::floor((0.0 - peakDbfs) / kDbPerGainStep + kSlackDb));
}

GainPlan planPeakNormalise(double peakDbfs, double targetDbfs) {
    if (!std::isfinite(peakDbfs)) {
        GainPlan plan;
        plan.silent = true;
        return plan;
    }
    return withSteps(static_cast<int>(std::floor((targetDbfs - peakDbfs) / kDbPerGainStep + kSlackDb)));
}

GainPlan planLoudnessNormalise(double loudnessLufs, double peakDbfs, double targetLufs, bool allowClipping) {
    if (!std::isfinite(loudnessLufs) || !std::isfinite(peakDbfs)) {
        GainPlan plan;
        plan.silent = true;
        return plan;
    }
    const auto wanted = static_cast<int>(std::lround((targetLufs - loudnessLufs) / kDbPerGainStep));
    const int ceiling = stepsBeforeClipping(peakDbfs);
    if (wanted <= ceiling) {
        return withSteps(wanted);
    }
    if (allowClipping) {
        GainPlan plan = withSteps(wanted);
        plan.overFullScaleDb = peakDbfs + plan.gainDb;
        return plan;
    }
    GainPlan plan = withSteps(ceiling);
    plan.shortOfTargetDb = targetLufs - (loudnessLufs + plan.gainDb);
    return plan;
}

GainPlan planNormalise(NormaliseTarget target, double value, double peakDbfs, double loudnessLufs,
                       bool allowClipping) {
    if (target == NormaliseTarget::Peak) {
        return planPeakNormalise(peakDbfs, value);
    }
    return planLoudnessNormalise(loudnessLufs, peakDbfs, value, allowClipping);
}

int fadeGranules(double seconds, int sampleRate) {
    if (seconds <= 0 || sampleRate <= 0) {
        return 0;
    }
    return std::max(1, static_cast<int>(std::lround(seconds * sampleRate / kSamplesPerGranule)));
}

RampStep fadeOutStep(int granules, int index, double floorDb) {
    // The floor is reached on the granule before the silent one.
    const int falling = granules - 1;
    if (index >= falling) {
        return {0, true};
    }
    const auto floorSteps = static_cast<double>(std::lround(floorDb / kDbPerGainStep));
    return {static_cast<int>(std::lround(floorSteps * (index + 1) / falling)), false};
}

RampStep fadeInStep(int granules, int index, double floorDb) {
    return fadeOutStep(granules, granules - 1 - index, floorDb);
}

std::vector<RampStep> fadeOutRamp(int granules, double floorDb) {
    std::vector<RampStep> ramp;
    for (int i = 0; i < granules; ++i) {
        ramp.push_back(fadeOutStep(granules, i, floorDb));
    }
    return ramp;
}

std::vector<RampStep> fadeInRamp(int granules, double floorDb) {
    std::vector<RampStep> ramp = fadeOutRamp(granules, floorDb);
    std::reverse(ramp.begin(), ramp.end());
    return ramp;
}

} // namespace mp3
