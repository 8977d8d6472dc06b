// The silence finder's bench helper.
//
//   kerfline_silence_bench time FILE.mp3 COPIES RUNS
//       Scans FILE once, joins its RMS levels COPIES times end to end (the levels of a file made of
//       COPIES copies of it) and prints the best and the median time of RUNS runs of the finder with
//       its defaults and with a minimum piece length and a number of tracks.
//   kerfline_silence_bench timecode CHANNELS < s16 > s32
//       Copies interleaved 16-bit PCM to 32-bit PCM with one more channel that counts the samples
//       (modulo 2^20, 66 dB below full scale), so that what sox keeps of the audio tells where it
//       came from.
//   kerfline_silence_bench gaps CHANNELS < s32 > gaps
//       Reads such audio (CHANNELS plus the count) and prints "first end" in samples for every run
//       of samples missing from it, then "total N": the samples up to the last one kept.
//   kerfline_silence_bench agree FILE.mp3 GAPS
//       Compares the finder's silences with its defaults to the gaps sox left of at least the same
//       length, and prints how many each found and how far apart they are.
#include "document/SilenceFinder.h"
#include "engine/FileScan.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kCountWrap = 1u << 20;

struct Levels {
    std::vector<float> rmsDb;
    double secondsPerFrame = 0.0;
};

Levels scan(const char* path) {
    mp3::processDecoding().cache.setBudget(0);
    struct FirstFrame : mp3::LevelScanObserver {
        double seconds = 0.0;
        void streamOpened(const mp3::FrameReader& reader) override {
            const mp3::FrameHeader& header = reader.header();
            const int samples =
                header.layer == 3 ? 384 : (header.layer == 1 && header.version != 3 ? 576 : 1152);
            seconds = header.sampleRate() > 0 ? static_cast<double>(samples) / header.sampleRate() : 0.0;
        }
    } first;
    mp3::LevelScan levels = mp3::scanLevels(path, &first);
    return {std::move(levels.rmsDb), first.seconds};
}

int timeFinder(const char* path, int copies, int runs) {
    const Levels one = scan(path);
    std::vector<float> joined;
    joined.reserve(one.rmsDb.size() * static_cast<std::size_t>(copies));
    for (int i = 0; i < copies; ++i) {
        joined.insert(joined.end(), one.rmsDb.begin(), one.rmsDb.end());
    }
    const auto timeRuns = [&](const char* name, const SilenceSettings& settings) {
        std::vector<double> ms;
        SilenceResult result;
        for (int run = 0; run < runs; ++run) {
            const auto start = std::chrono::steady_clock::now();
            result = findSilences(joined, one.secondsPerFrame, settings);
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(ms.begin(), ms.end());
        std::printf(
            "%zu frames, %s: %d silences found, %d kept; findSilences best %.3f ms, median %.3f ms of %d "
            "runs\n",
            joined.size(), name, result.report.found, result.report.kept, ms.front(), ms[ms.size() / 2],
            runs);
    };
    timeRuns("defaults", {});
    // The path that weighs silences against each other.
    SilenceSettings choosing;
    choosing.minPieceSeconds = 60.0;
    choosing.tracks = 100;
    timeRuns("--min-piece 60 --tracks 100", choosing);
    return 0;
}

int timecode(int channels) {
    std::vector<std::int16_t> in(static_cast<std::size_t>(channels) * 4096);
    std::vector<std::int32_t> out(static_cast<std::size_t>(channels + 1) * 4096);
    std::uint64_t sample = 0;
    for (;;) {
        const std::size_t frames = std::fread(in.data(), sizeof(std::int16_t) * channels, 4096, stdin);
        if (frames == 0) {
            break;
        }
        for (std::size_t f = 0; f < frames; ++f, ++sample) {
            for (int c = 0; c < channels; ++c) {
                out[f * (channels + 1) + c] = static_cast<std::int32_t>(in[f * channels + c]) * 65536;
            }
            out[f * (channels + 1) + channels] = static_cast<std::int32_t>(sample % kCountWrap);
        }
        std::fwrite(out.data(), sizeof(std::int32_t) * (channels + 1), frames, stdout);
    }
    return 0;
}

int gaps(int channels) {
    std::vector<std::int32_t> in(static_cast<std::size_t>(channels + 1) * 4096);
    std::int64_t previous = -1; // the last sample kept
    for (;;) {
        const std::size_t frames = std::fread(in.data(), sizeof(std::int32_t) * (channels + 1), 4096, stdin);
        if (frames == 0) {
            break;
        }
        for (std::size_t f = 0; f < frames; ++f) {
            const auto count = static_cast<std::uint32_t>(in[f * (channels + 1) + channels]);
            // Gaps are far shorter than the count's wrap.
            const std::int64_t step = (count - static_cast<std::uint32_t>(previous + 1)) % kCountWrap;
            if (step != 0) {
                std::printf("%lld %lld\n", static_cast<long long>(previous + 1),
                            static_cast<long long>(previous + 1 + step));
            }
            previous += 1 + step;
        }
    }
    std::printf("total %lld\n", static_cast<long long>(previous + 1));
    return 0;
}

struct Span {
    double first = 0.0; // in frames
    double end = 0.0;
};

int agree(const char* path, const char* gapsPath) {
    const Levels levels = scan(path);
    SilenceSettings settings;
    settings.cut = SilenceCut::Start;
    const SilenceResult starts = findSilences(levels.rmsDb, levels.secondsPerFrame, settings);
    settings.cut = SilenceCut::End;
    const SilenceResult ends = findSilences(levels.rmsDb, levels.secondsPerFrame, settings);
    settings.cut = SilenceCut::Middle;
    const SilenceResult middles = findSilences(levels.rmsDb, levels.secondsPerFrame, settings);

    // sox's gaps in samples; the frame's samples from its duration at 44100 Hz or whatever it is.
    const double samplesPerFrame = std::round(levels.secondsPerFrame * 44100.0) == 1152.0 ? 1152.0 : 0.0;
    if (samplesPerFrame == 0.0) {
        std::fprintf(stderr, "agree expects 44100 Hz MPEG-1 frames\n");
        return 1;
    }
    std::ifstream in(gapsPath);
    std::vector<Span> sox;
    std::string word;
    long long total = 0;
    const double minimum = settings.minSilenceSeconds * 44100.0;
    for (long long first = 0, end = 0; in >> word;) {
        if (word == "total") {
            in >> total;
            break;
        }
        first = std::stoll(word);
        in >> end;
        // A gap at the start is silence before the first sound, not between sounds.
        if (first > 0 && end - first >= minimum) {
            sox.push_back({first / samplesPerFrame, end / samplesPerFrame});
        }
    }
    const auto frames = static_cast<long long>(levels.rmsDb.size());
    // A gap reaching the end of the audio is no silence between sounds either.
    if (!sox.empty() && total < frames * static_cast<long long>(samplesPerFrame) &&
        sox.back().end * samplesPerFrame >= static_cast<double>(total)) {
        sox.pop_back();
    }

    int matched = 0;
    int edgesWithinOne = 0;
    int middlesWithinOne = 0;
    double worstEdge = 0.0;
    double worstMiddle = 0.0;
    std::size_t j = 0;
    for (std::size_t i = 0; i < starts.breakPoints.size(); ++i) {
        const double first = starts.breakPoints[i];
        const double end = ends.breakPoints[i];
        while (j < sox.size() && sox[j].end <= first) {
            ++j;
        }
        if (j == sox.size() || sox[j].first >= end) {
            continue;
        }
        ++matched;
        const double edge = std::max(std::abs(sox[j].first - first), std::abs(sox[j].end - end));
        const double middle = std::abs((sox[j].first + sox[j].end) / 2 - middles.breakPoints[i]);
        worstEdge = std::max(worstEdge, edge);
        worstMiddle = std::max(worstMiddle, middle);
        edgesWithinOne += edge <= 1.0 ? 1 : 0;
        middlesWithinOne += middle <= 1.0 ? 1 : 0;
    }
    std::printf(
        "silences of at least %.1f s at %.0f dBFS between sounds: kerfline %zu, sox %zu, overlapping %d\n",
        settings.minSilenceSeconds, settings.thresholdDb, starts.breakPoints.size(), sox.size(), matched);
    std::printf("both edges within one frame: %d of %d (worst %.2f frames)\n", edgesWithinOne, matched,
                worstEdge);
    std::printf("middle cut within one frame of sox's middle: %d of %d (worst %.2f frames)\n",
                middlesWithinOne, matched, worstMiddle);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "time" && argc == 5) {
        return timeFinder(argv[2], std::atoi(argv[3]), std::max(1, std::atoi(argv[4])));
    }
    if (mode == "timecode" && argc == 3) {
        return timecode(std::atoi(argv[2]));
    }
    if (mode == "gaps" && argc == 3) {
        return gaps(std::atoi(argv[2]));
    }
    if (mode == "agree" && argc == 4) {
        return agree(argv[2], argv[3]);
    }
    std::fprintf(stderr, "usage: kerfline_silence_bench time FILE.mp3 COPIES RUNS | timecode CHANNELS | "
                         "gaps CHANNELS | agree FILE.mp3 GAPS\n");
    return 2;
}
