#include "document/SilenceFinder.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <iterator>
#include <set>

namespace {

struct Silence {
    int first = 0; // first silent frame
    int end = 0;   // first loud frame after it
    int length() const { return end - first; }
};

// Whole frames that last at least `seconds`; a hair of slack so that 0.5 s at exactly 0.5 s per
// frame block is not lost to rounding.
int framesAtLeast(double seconds, double secondsPerFrame) {
    if (!(seconds > 0.0) || !(secondsPerFrame > 0.0)) {
        return 0;
    }
    const double frames = std::ceil(seconds / secondsPerFrame - 1e-9);
    return frames > 2e9 ? 2'000'000'000 : static_cast<int>(frames);
}

std::vector<Silence> silencesBetweenSounds(const std::vector<float>& levels, double thresholdDb,
                                           int minimumFrames) {
    std::vector<Silence> silences;
    const auto count = static_cast<int>(levels.size());
    const auto silent = [&](int frame) { return levels[static_cast<std::size_t>(frame)] <= thresholdDb; };
    int frame = 0;
    // A run at the start is no gap between sounds.
    while (frame < count && silent(frame)) {
        ++frame;
    }
    while (frame < count) {
        while (frame < count && !silent(frame)) {
            ++frame;
        }
        const int first = frame;
        while (frame < count && silent(frame)) {
            ++frame;
        }
        // frame == count: the run reaches the end of the file.
        if (frame < count && frame - first >= std::max(1, minimumFrames)) {
            silences.push_back({first, frame});
        }
    }
    return silences;
}

int cutOf(const Silence& silence, SilenceCut cut) {
    switch (cut) {
    case SilenceCut::Start:
        return silence.first;
    case SilenceCut::End:
        return silence.end;
    case SilenceCut::Middle:
        break;
    }
    return silence.first + silence.length() / 2;
}

} // namespace

SilenceResult findSilences(const std::vector<float>& frameRmsDb, double secondsPerFrame,
                           const SilenceSettings& settings) {
    SilenceResult result;
    const std::vector<Silence> silences = silencesBetweenSounds(
        frameRmsDb, settings.thresholdDb, framesAtLeast(settings.minSilenceSeconds, secondsPerFrame));
    SilenceReport& report = result.report;
    report.found = static_cast<int>(silences.size());
    if (silences.empty()) {
        report.fewerThanAsked = settings.tracks > 1;
        return result;
    }
    const auto [shortest, longest] =
        std::minmax_element(silences.begin(), silences.end(),
                            [](const Silence& a, const Silence& b) { return a.length() < b.length(); });
    report.shortestSeconds = shortest->length() * secondsPerFrame;
    report.longestSeconds = longest->length() * secondsPerFrame;

    const int minimumPiece = framesAtLeast(settings.minPieceSeconds, secondsPerFrame);
    const bool choosing = settings.tracks > 0 || minimumPiece > 0;
    if (!choosing) {
        for (const Silence& silence : silences) {
            result.breakPoints.push_back(cutOf(silence, settings.cut));
        }
        report.kept = report.found;
        return result;
    }

    // Longest first; of equal ones the earlier.
    std::vector<std::size_t> order(silences.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return silences[a].length() > silences[b].length();
    });
    const std::size_t wanted =
        settings.tracks > 0 ? static_cast<std::size_t>(settings.tracks - 1) : order.size();
    const auto frameCount = static_cast<int>(frameRmsDb.size());
    // The ends of the file bound the first and the last piece.
    std::set<int> cuts{0, frameCount};
    for (const std::size_t index : order) {
        if (cuts.size() - 2 >= wanted) {
            break;
        }
        const int cut = cutOf(silences[index], settings.cut);
        const auto after = cuts.lower_bound(cut);
        if (*after == cut) {
            continue;
        }
        const int before = *std::prev(after);
        if (cut - before >= std::max(1, minimumPiece) && *after - cut >= std::max(1, minimumPiece)) {
            cuts.insert(after, cut);
        }
    }
    result.breakPoints.assign(std::next(cuts.begin()), std::prev(cuts.end()));
    report.kept = static_cast<int>(result.breakPoints.size());
    report.fewerThanAsked = settings.tracks > 0 && result.breakPoints.size() < wanted;
    return result;
}

std::string silenceReportLine(const SilenceReport& report) {
    char text[160];
    std::snprintf(text, sizeof text, "Silences found: %d, kept: %d, shortest %.2f s, longest %.2f s",
                  report.found, report.kept, report.shortestSeconds, report.longestSeconds);
    return text;
}

std::string fewerTracksLine(const SilenceReport& report, int tracks) {
    return "Only " + std::to_string(report.kept + 1) + " tracks could be made of " + std::to_string(tracks) +
           " asked for";
}
