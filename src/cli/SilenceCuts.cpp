#include "cli/SilenceCuts.h"

#include <cmath>
#include <cstddef>

namespace {

struct SilentRun {
    int first = 0;
    int end = 0; // exclusive
    int cut = 0;
};

std::vector<SilentRun> silentRuns(const std::vector<float>& rmsDb, const FrameTimeline& timeline,
                                  const SilenceSettings& settings) {
    std::vector<SilentRun> runs;
    const int count = static_cast<int>(rmsDb.size());
    for (int frame = 0; frame < count;) {
        if (rmsDb[static_cast<std::size_t>(frame)] > settings.thresholdDb) {
            ++frame;
            continue;
        }
        const int first = frame;
        while (frame < count && rmsDb[static_cast<std::size_t>(frame)] <= settings.thresholdDb) {
            ++frame;
        }
        if (timeline.frameStart(frame) - timeline.frameStart(first) + 1e-9 < settings.minSilenceSeconds) {
            continue;
        }
        const int cut = settings.cut == SilenceCut::Start ? first
                        : settings.cut == SilenceCut::End ? frame
                                                          : first + (frame - first) / 2;
        runs.push_back({first, frame, cut});
    }
    return runs;
}

} // namespace

NearSilenceCuts cutsNearSilence(const std::vector<float>& frameRmsDb, const FrameTimeline& timeline,
                                double lengthSeconds, double windowSeconds, const SilenceSettings& settings) {
    NearSilenceCuts cuts;
    const std::vector<SilentRun> runs = silentRuns(frameRmsDb, timeline, settings);
    const int count = timeline.frameCount;
    int previous = 0;
    for (;;) {
        const double target = timeline.frameStart(previous) + lengthSeconds;
        if (target >= timeline.endSeconds()) {
            break;
        }
        const SilentRun* best = nullptr;
        for (const SilentRun& run : runs) {
            const double at = timeline.frameStart(run.cut);
            if (run.cut <= previous || run.cut >= count || std::abs(at - target) > windowSeconds + 1e-9) {
                continue;
            }
            const bool longer = best == nullptr || run.end - run.first > best->end - best->first;
            const bool asLongAndNearer =
                best != nullptr && run.end - run.first == best->end - best->first &&
                std::abs(at - target) < std::abs(timeline.frameStart(best->cut) - target);
            if (longer || asLongAndNearer) {
                best = &run;
            }
        }
        int cut = best != nullptr ? best->cut : timeline.nearestFrame(target);
        if (cut <= previous) {
            cut = previous + 1;
        }
        if (cut >= count) {
            break;
        }
        if (best == nullptr) {
            cuts.plainCuts.push_back(cut);
            cuts.plainTargets.push_back(target);
        }
        cuts.breakPoints.push_back(cut);
        previous = cut;
    }
    return cuts;
}

FrameSpanRange trimmedRange(const std::vector<float>& frameRmsDb, int from, int to, double thresholdDb) {
    const auto silent = [&](int frame) { return frameRmsDb[static_cast<std::size_t>(frame)] <= thresholdDb; };
    while (from < to && silent(from)) {
        ++from;
    }
    while (to > from && silent(to - 1)) {
        --to;
    }
    return {from, to};
}
