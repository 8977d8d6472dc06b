#include "engine/LoudnessScan.h"

#include "engine/Decoder.h"
#include "engine/FrameReader.h"
#include "engine/PcmBudget.h"
#include "engine/ScanParts.h"
#include "engine/XingFrame.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <optional>
#include <system_error>

namespace mp3 {

namespace {

// Frames decoded before a later part's first frame and not measured: they fill the bit reservoir
// and the overlap of the granule before.
constexpr int kLeadInFrames = 8;
// How often a scan tells its progress and looks for a stop.
constexpr int kProgressFrames = 256;

// The samples a gapless decoder plays, by their place in the decoded stream of the audio frames: the
// encoder delay, the decoder's own delay and the padding are no part of the sound.
struct PlayedSamples {
    int firstAudio = 0; // the Xing/Info frame decodes to silence that no player plays
    std::int64_t samplesPerFrame = 1152;
    std::int64_t begin = 0;
    std::int64_t end = INT64_MAX;
};

PlayedSamples playedSamples(const std::filesystem::path& path, int frames) {
    PlayedSamples played;
    FrameReader first(path);
    if (first.atEnd()) {
        return played;
    }
    played.samplesPerFrame = samplesPerFrame(first.header());
    const std::optional<XingFrame> tag =
        XingFrame::parse(first.frameData(), static_cast<std::size_t>(first.frameLength()));
    first.close();
    if (!tag) {
        return played;
    }
    played.firstAudio = 1;
    if (tag->lame) {
        played.begin = tag->lame->encoderDelay() + kDecoderDelay;
        played.end = (frames - 1) * played.samplesPerFrame - tag->lame->padding() + kDecoderDelay;
    }
    return played;
}

struct PlayedBytes {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

// The part of a frame's decoded bytes that a player plays.
PlayedBytes playedBytes(const PlayedSamples& played, int frame, std::size_t decodedBytes, int channels,
                        const std::uint8_t* pcm) {
    const std::int64_t sampleBytes = 2 * static_cast<std::int64_t>(channels);
    const std::int64_t at = (frame - played.firstAudio) * played.samplesPerFrame;
    const std::int64_t count = static_cast<std::int64_t>(decodedBytes) / sampleBytes;
    const std::int64_t from = std::clamp(played.begin - at, std::int64_t{0}, count);
    const std::int64_t to = std::clamp(played.end - at, from, count);
    return {pcm + from * sampleBytes, static_cast<std::size_t>((to - from) * sampleBytes)};
}

struct PartMeasure {
    std::optional<LoudnessMeter> whole;
    std::vector<BlockLoudness> blocks;
    std::vector<std::optional<LoudnessMeter>> blockMeters;
    int frames = 0; // frames read, for a part that runs to the end
};

// Measures frames [first, end) (end < 0: to the end of the file), each block from a break point.
PartMeasure measurePart(const std::filesystem::path& path, const FrameOffsets* offsets, int first, int end,
                        const std::vector<int>& breakPoints, bool blocks, int channels, int sampleRate,
                        const PlayedSamples& played, const LoudnessScanOptions& options) {
    PartMeasure part;
    part.whole.emplace(channels, sampleRate, options.truePeakScan);
    FrameReader reader(path);
    const int fed = std::max(0, first - kLeadInFrames);
    if (fed > 0 && offsets != nullptr) {
        reader.seekToFrame(fed, *offsets);
    }
    DecoderState decoder;
    std::array<std::uint8_t, kMaxPcmBytes> pcm{};
    auto nextBreak = std::upper_bound(breakPoints.begin(), breakPoints.end(), first);
    int frame = fed;
    for (; !reader.atEnd() && (end < 0 || frame < end); reader.readNext(), ++frame) {
        const DecodeResult decoded =
            decoder.decode(reader.frameData(), static_cast<std::size_t>(reader.frameLength()), pcm.data());
        if (frame < first) {
            if (frame >= played.firstAudio && channels > 0) {
                // The oversampling filter's history, so the part's true peak is the stream's.
                const PlayedBytes kept = playedBytes(played, frame, decoded.bytes, channels, pcm.data());
                part.whole->addLeadIn(kept.data, kept.size);
            }
            continue;
        }
        if (frame % kProgressFrames == 0) {
            if (options.stop != nullptr && options.stop->load(std::memory_order_relaxed)) {
                break;
            }
            if (options.framesDone != nullptr) {
                options.framesDone->fetch_add(kProgressFrames, std::memory_order_relaxed);
            }
        }
        if (blocks && (frame == first || (nextBreak != breakPoints.end() && *nextBreak == frame))) {
            if (frame != first) {
                ++nextBreak;
            }
            if (!part.blocks.empty()) {
                part.blocks.back().endFrame = frame;
            }
            part.blocks.push_back({frame, frame, {}});
            part.blockMeters.emplace_back(std::in_place, channels, sampleRate, options.truePeakScan);
        }
        if (frame < played.firstAudio || channels <= 0) {
            continue;
        }
        const PlayedBytes kept = playedBytes(played, frame, decoded.bytes, channels, pcm.data());
        part.whole->add(kept.data, kept.size);
        if (!part.blockMeters.empty()) {
            part.blockMeters.back()->add(kept.data, kept.size);
        }
    }
    reader.close();
    part.frames = frame;
    if (!part.blocks.empty()) {
        part.blocks.back().endFrame = frame;
    }
    for (std::size_t i = 0; i < part.blocks.size(); ++i) {
        part.blocks[i].figures = part.blockMeters[i]->figures();
    }
    return part;
}

// The break point nearest the middle, or the middle itself without any.
int splitFrame(int frames, const std::vector<int>& breakPoints) {
    const int middle = frames / 2;
    if (breakPoints.empty()) {
        return middle;
    }
    int best = breakPoints.front();
    for (const int point : breakPoints) {
        if (std::abs(point - middle) < std::abs(best - middle)) {
            best = point;
        }
    }
    return best;
}

} // namespace

LoudnessReport measureLoudness(const std::filesystem::path& path, const LoudnessScanOptions& options) {
    std::vector<int> breakPoints = options.breakPoints;
    std::sort(breakPoints.begin(), breakPoints.end());
    breakPoints.erase(std::unique(breakPoints.begin(), breakPoints.end()), breakPoints.end());
    const bool blocks = !breakPoints.empty();
    LoudnessReport report;
    int channels = 0;
    int sampleRate = 0;
    {
        // The format of frame 0 is the stream's, as everywhere else.
        FrameReader first(path);
        if (!first.atEnd()) {
            channels = first.header().channels();
            sampleRate = first.header().sampleRate();
        }
        first.close();
    }

    const ScanPlan plan = readFrameIndex(path, ParallelDecode{.minimumFrames = 0}, kMaxIndexedFrames);
    const auto frames = static_cast<int>(plan.offsets.size());
    const PlayedSamples played = playedSamples(path, frames);
    const int split = splitFrame(frames, breakPoints);
    if (frames >= options.splitFrames && split > 0 && split < frames) {
        try {
            auto later = std::async(std::launch::async, [&] {
                return measurePart(path, &plan.offsets, split, -1, breakPoints, blocks, channels, sampleRate,
                                   played, options);
            });
            PartMeasure head = measurePart(path, nullptr, 0, split, breakPoints, blocks, channels, sampleRate,
                                           played, options);
            PartMeasure tail = later.get();
            report.frames = tail.frames;
            report.file = LoudnessMeter::combined({&*head.whole, &*tail.whole});
            report.blocks = std::move(head.blocks);
            report.blocks.insert(report.blocks.end(), tail.blocks.begin(), tail.blocks.end());
            report.parts = 2;
            return report;
        } catch (const std::system_error&) {
            // No second thread: the file is measured in order.
        }
    }
    PartMeasure whole =
        measurePart(path, nullptr, 0, -1, breakPoints, blocks, channels, sampleRate, played, options);
    report.frames = whole.frames;
    report.file = whole.whole->figures();
    report.blocks = std::move(whole.blocks);
    return report;
}

} // namespace mp3
