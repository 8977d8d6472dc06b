#include "engine/FileScan.h"

#include "engine/Decoder.h"
#include "engine/FramePcm.h"
#include "engine/FrameWalk.h"
#include "engine/LevelSummary.h"
#include "engine/PcmCache.h"
#include "engine/StreamCheck.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <future>
#include <limits>
#include <memory>
#include <system_error>

namespace mp3 {

std::string streamInfoLine(const FrameHeader& header) {
    char line[128];
    std::snprintf(line, sizeof line, "MP3 file basic info: %d Hz, %d channel(s), %d BPS", header.sampleRate(),
                  header.channels(), header.bitrate());
    return line;
}

void measureFrame(LevelScan& scan, const std::uint8_t* pcm, std::size_t bytes) {
    scan.levels.push_back(frameLevel(pcm));
    scan.framesWithPcm += bytes > 0 ? 1 : 0;
    // A frame without PCM repeats the last RMS level; a part cannot know the frame before its first,
    // so it leaves a gap that the whole scan fills once the parts are joined.
    const float repeated = scan.rmsDb.empty() ? std::numeric_limits<float>::quiet_NaN() : scan.rmsDb.back();
    scan.rmsDb.push_back(bytes > 0 ? frameRmsDb(pcm, bytes) : repeated);
    // A frame without PCM plays nothing, so it has nothing to clip.
    scan.peaks.push_back(framePeak(pcm, bytes));
}

namespace {

// Appends what measureFrame made of frame `at` of a part.
void appendMeasures(LevelScan& scan, const LevelScan& part, std::size_t at) {
    scan.levels.push_back(part.levels[at]);
    scan.rmsDb.push_back(part.rmsDb[at]);
    scan.peaks.push_back(part.peaks[at]);
}

// Counts the frames first when the file is large enough to hold more than `maxFrames`: a file
// refused for its length is refused before hours of decoding, not after.
bool mayHoldMoreFrames(const std::filesystem::path& path, int maxFrames) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error ||
        size / static_cast<std::uintmax_t>(kSmallestFrameBytes) <= static_cast<std::uintmax_t>(maxFrames)) {
        return false;
    }
    return countFrames(path, maxFrames) > maxFrames;
}

void fillRepeatedRms(std::vector<float>& rmsDb) {
    float last = kSilenceFloorDb;
    for (float& value : rmsDb) {
        if (std::isnan(value)) {
            value = last;
        }
        last = value;
    }
}

} // namespace

LevelScan scanLevels(const Decoding& decoding, const std::filesystem::path& path, LevelScanObserver* observer,
                     const ParallelDecode& parallel, int maxFrames) {
    LevelScan scan;
    if (mayHoldMoreFrames(path, maxFrames)) {
        scan.tooManyFrames = true;
        return scan;
    }
    decoding.decoder.reset();
    PcmCache& cache = decoding.cache;
    const std::string key = path.string();

    // Frames already cached are not decoded again: such a file is scanned in order.
    const bool maySplit = parallel.minimumFrames >= 0 && parallel.parts >= 2 && !cache.contains(key, 0) &&
                          !cache.isWindowed(key);
    const std::size_t otherFiles = cache.storedBytes();
    ScanPlan plan;
    std::future<ScanPlan> index;
    if (maySplit && parallel.indexFirst) {
        plan = readFrameIndex(path, parallel, maxFrames);
    } else if (maySplit) {
        try {
            index = std::async(std::launch::async, [&] { return readFrameIndex(path, parallel, maxFrames); });
        } catch (const std::system_error&) {
            // No thread to be had: the file is decoded in order.
        }
    }
    bool split = false;
    // Frames are kept while the file's PCM fits the cache's budget; beyond it only the levels. A
    // split file is known not to fit from then on, or its later parts keep theirs too.
    bool keep = true;
    bool partsKeep = false;
    std::vector<std::unique_ptr<ScanPartDecode>> later;
    int firstSplit = std::numeric_limits<int>::max();
    // Splits the frames from `from` on between the first part and the later ones.
    const auto startParts = [&](int from) {
        // The frame count is known now: the measures are sized once rather than grown by doubling.
        const std::size_t frames = plan.offsets.size();
        scan.levels.reserve(frames);
        scan.rmsDb.reserve(frames);
        scan.peaks.reserve(frames);
        scan.offsets.reserve(frames);
        scan.lengths.reserve(frames);
        placeParts(plan, from, parallel);
        split = plan.parts.size() >= 2;
        if (!split) {
            return;
        }
        partsKeep = otherFiles + plan.pcmBytes <= cache.budget();
        if (!partsKeep) {
            cache.dropFrames(key);
            keep = false;
        }
        try {
            for (std::size_t part = 1; part < plan.parts.size(); ++part) {
                later.push_back(
                    std::make_unique<ScanPartDecode>(path, plan, part, partsKeep, parallel.verifiedFrames));
            }
        } catch (const std::system_error&) {
            // No thread to be had: the first part decodes the whole file in order.
            later.clear();
            split = false;
            return;
        }
        firstSplit = plan.parts[1].first;
    };
    if (parallel.indexFirst) {
        startParts(0);
    }

    FrameReader reader(path);
    const FrameReader end;
    if (observer) {
        observer->streamOpened(reader);
    }
    // One buffer for the whole file: a frame that gives no PCM repeats the last level.
    std::array<std::uint8_t, kMaxPcmBytes> pcm{};
    int handled = 0;
    // No granule the first part decoded was skipped.
    SynthesisWatch watch;
    const auto handle = [&](std::int64_t offset, int length, auto&& measure) {
        if (observer) {
            observer->frameStarting(handled);
        }
        measure();
        if (observer) {
            observer->frameMeasured(handled, scan.levels.back());
        }
        scan.offsets.push_back(offset);
        scan.lengths.push_back(static_cast<std::uint16_t>(length));
        scan.totalBytes += length;
        ++handled;
        if (observer) {
            observer->frameHandled(handled, scan.totalBytes);
        }
    };
    const auto keepAndMeasure = [&](int frame, std::size_t bytes) {
        if (keep) {
            keep = cache.put(key, frame, pcm.data(), bytes);
        }
        measureFrame(scan, pcm.data(), bytes);
    };
    // The reader's frame, from the cache or decoded by `decode` in file order.
    const auto inOrder = [&](const FrameReader& at, auto&& decode) {
        handle(at.header().offset, at.frameLength(), [&] {
            if (const auto cached = cache.find(key, at.frameNumber(), pcm.data())) {
                measureFrame(scan, pcm.data(), *cached);
                return;
            }
            const DecodeResult decoded = decode(at);
            watch.check(at, decoded, pcm.data());
            keepAndMeasure(at.frameNumber(), decoded.bytes);
        });
    };
    const auto shared = [&](const FrameReader& at) {
        return decoding.decoder.decode(at.frameData(), static_cast<std::size_t>(at.frameLength()), pcm.data(),
                                       {key, at.frameNumber()});
    };

    for (; !(reader == end) && reader.frameNumber() < firstSplit && handled < maxFrames; reader.readNext()) {
        if (index.valid() && index.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
            plan = index.get();
            startParts(reader.frameNumber());
        }
        inOrder(reader, shared);
    }
    if (split) {
        // The PCM left before the first split, and the frames past it as the first part decodes them.
        const std::array<std::uint8_t, kMaxPcmBytes> carry = pcm;
        std::vector<FramePcmBytes> overlap;
        const auto frames = static_cast<int>(plan.offsets.size());
        for (const int stop = std::min(frames, firstSplit + parallel.verifiedFrames);
             !(reader == end) && reader.frameNumber() < stop; reader.readNext()) {
            const DecodeResult decoded = shared(reader);
            overlap.emplace_back(pcm.data(), pcm.data() + decoded.bytes);
        }
        if (partsAgree(later, watch.whole(), carry, overlap)) {
            for (auto& part : later) {
                if (partsKeep) {
                    cache.adopt(key, part->cache());
                    if (!part->keptPcm()) {
                        cache.dropFrames(key);
                    }
                }
                for (int frame = part->part().first; frame < part->part().end; ++frame) {
                    const auto at = static_cast<std::size_t>(frame);
                    handle(plan.offsets[at], plan.lengths[at], [&] {
                        appendMeasures(scan, part->measured(),
                                       at - static_cast<std::size_t>(part->part().first));
                    });
                }
                ++scan.partsKept;
            }
        } else {
            // Which of two parts that disagree is wrong is not known: the first part goes on in file
            // order, from the frames it decoded past the split.
            scan.partRefused = true;
            for (auto& part : later) {
                part->cancel();
            }
            pcm = carry;
            for (std::size_t at = 0; at < overlap.size(); ++at) {
                const int frame = firstSplit + static_cast<int>(at);
                std::copy(overlap[at].begin(), overlap[at].end(), pcm.begin());
                handle(plan.offsets[static_cast<std::size_t>(frame)],
                       plan.lengths[static_cast<std::size_t>(frame)],
                       [&] { keepAndMeasure(frame, overlap[at].size()); });
            }
            for (; !(reader == end); reader.readNext()) {
                inOrder(reader, shared);
            }
        }
    } else if (handled >= maxFrames && !(reader == end)) {
        reader.close();
        LevelScan refused;
        refused.tooManyFrames = true;
        return refused;
    }
    fillRepeatedRms(scan.rmsDb);
    scan.rawLevels = scan.levels;
    smoothLevels(scan.levels);
    reader.close();
    return scan;
}

LevelScan scanFrameHeaders(const std::filesystem::path& path, LevelScanObserver* observer, int maxFrames) {
    LevelScan scan;
    if (mayHoldMoreFrames(path, maxFrames)) {
        scan.tooManyFrames = true;
        return scan;
    }
    if (observer) {
        const FrameReader reader(path);
        observer->streamOpened(reader);
    }
    FrameWalk walk(path);
    while (walk.next()) {
        if (scan.offsets.size() >= static_cast<std::size_t>(maxFrames)) {
            LevelScan refused;
            refused.tooManyFrames = true;
            return refused;
        }
        if (scan.offsets.empty()) {
            // Twice the frames the first one's length suggests: room never written to costs nothing.
            const std::int64_t estimate = walk.fileSize() / std::max(walk.frameLength(), 24) * 2 + 16;
            const auto room = static_cast<std::size_t>(std::min<std::int64_t>(estimate, maxFrames));
            scan.offsets.reserve(room);
            scan.lengths.reserve(room);
        }
        const auto handled = static_cast<int>(scan.offsets.size());
        if (observer) {
            observer->frameStarting(handled);
        }
        scan.offsets.push_back(walk.header().offset);
        scan.lengths.push_back(static_cast<std::uint16_t>(walk.frameLength()));
        scan.totalBytes += walk.frameLength();
        if (observer) {
            observer->frameHandled(handled + 1, scan.totalBytes);
        }
    }
    return scan;
}

} // namespace mp3
