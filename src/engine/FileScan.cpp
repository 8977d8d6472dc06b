#include "engine/FileScan.h"

#include "engine/Decoder.h"
#include "engine/FramePcm.h"
#include "engine/LevelSummary.h"
#include "engine/PcmCache.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <memory>
#include <thread>

namespace mp3 {

std::string streamInfoLine(const FrameHeader& header) {
    char line[128];
    std::snprintf(line, sizeof line, "MP3 file basic info: %d Hz, %d channel(s), %d BPS", header.sampleRate(),
                  header.channels(), header.bitrate());
    return line;
}

namespace {

// The second half of a file decoded on a helper thread with a decoder state of its own, into a cache
// of its own. It starts some frames early and throws their PCM away, so that by the first frame it
// keeps its decoder has rebuilt the bit reservoir, overlap and filter bank history of the sequential
// one (libmpg123 may keep more than that: see ParallelDecode).
class SecondHalf {
public:
    SecondHalf(const std::filesystem::path& path, const FrameOffsets& offsets, int first, int priming)
        : m_thread([this, path, &offsets, first, priming] { run(path, offsets, first, priming); }) {}
    SecondHalf(const SecondHalf&) = delete;
    SecondHalf& operator=(const SecondHalf&) = delete;
    ~SecondHalf() { join(); }

    // Waits for the helper; false when it could not finish (the caller then decodes the rest itself).
    bool join() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_done;
    }
    PcmCache& cache() { return m_cache; }

private:
    void run(const std::filesystem::path& path, const FrameOffsets& offsets, int first, int priming) {
        try {
            DecoderState decoder;
            const std::string key = path.string();
            std::array<std::uint8_t, kMaxPcmBytes> pcm{};
            FrameReader reader(path);
            reader.seekToFrame(std::max(0, first - priming), offsets);
            for (const FrameReader end; !(reader == end); reader.readNext()) {
                const DecodeResult decoded = decoder.decode(
                    reader.frameData(), static_cast<std::size_t>(reader.frameLength()), pcm.data());
                if (reader.frameNumber() >= first) {
                    m_cache.put(key, reader.frameNumber(), pcm.data(), decoded.bytes);
                }
            }
            reader.close();
            m_done = true;
        } catch (const std::exception&) {
            m_done = false;
        }
    }

    PcmCache m_cache;
    bool m_done = false;
    std::thread m_thread;
};

} // namespace

LevelScan scanLevels(const Decoding& decoding, const std::filesystem::path& path, LevelScanObserver* observer,
                     const ParallelDecode& parallel, int maxFrames) {
    LevelScan scan;
    decoding.decoder.reset();
    PcmCache& cache = decoding.cache;
    const std::string key = path.string();

    // A long file is split in two halves, once its frames are known; the helper decodes the second.
    FrameOffsets offsets;
    std::vector<int> lengths;
    std::unique_ptr<SecondHalf> helper;
    int half = -1;
    if (parallel.minimumFrames >= 0) {
        for (FrameReader reader(path); !(reader == FrameReader()); reader.readNext()) {
            offsets.push_back(reader.header().offset);
            lengths.push_back(reader.frameLength());
        }
        const auto frames = static_cast<int>(offsets.size());
        half = frames / 2;
        if (frames >= parallel.minimumFrames && frames >= 2 && !cache.contains(key, half) &&
            !cache.contains(key, frames - 1)) {
            helper = std::make_unique<SecondHalf>(path, offsets, half, parallel.primingFrames);
        }
    }

    FrameReader reader(path);
    const FrameReader end;
    if (observer) {
        observer->streamOpened(reader);
    }
    // One buffer for the whole file: a frame that gives no PCM repeats the last level.
    std::array<std::uint8_t, kMaxPcmBytes> pcm{};
    float rmsDb = kSilenceFloorDb;
    int handled = 0;
    // Frames are kept while the file's PCM fits the cache's budget; beyond it only the levels.
    bool keep = true;
    const auto decodeInOrder = [&] {
        if (const auto cached = cache.find(key, reader.frameNumber(), pcm.data())) {
            return *cached;
        }
        const DecodeResult decoded =
            decoding.decoder.decode(reader.frameData(), static_cast<std::size_t>(reader.frameLength()),
                                    pcm.data(), {key, reader.frameNumber()});
        if (keep) {
            keep = cache.put(key, reader.frameNumber(), pcm.data(), decoded.bytes);
        }
        return decoded.bytes;
    };
    const auto handle = [&](std::int64_t offset, int length, auto&& obtainPcm) {
        if (observer) {
            observer->frameStarting(handled);
        }
        if (const std::size_t bytes = obtainPcm(); bytes > 0) {
            rmsDb = frameRmsDb(pcm.data(), bytes);
        }
        scan.levels.push_back(frameLevel(pcm.data()));
        scan.rmsDb.push_back(rmsDb);
        scan.offsets.push_back(offset);
        scan.lengths.push_back(static_cast<std::uint16_t>(length));
        scan.totalBytes += length;
        ++handled;
        if (observer) {
            observer->frameHandled(handled, scan.totalBytes);
        }
    };
    while (!(reader == end) && !(helper && reader.frameNumber() >= half) && handled < maxFrames) {
        handle(reader.header().offset, reader.frameLength(), decodeInOrder);
        reader.readNext();
    }
    if (helper && helper->join()) {
        cache.adopt(key, helper->cache());
        for (int frame = half; frame < static_cast<int>(offsets.size()); ++frame) {
            const auto at = static_cast<std::size_t>(frame);
            handle(offsets[at], lengths[at], [&] { return cache.get(key, frame, pcm.data()); });
        }
    } else {
        // No helper, or it failed: the rest in order here.
        for (; !(reader == end) && handled < maxFrames; reader.readNext()) {
            handle(reader.header().offset, reader.frameLength(), decodeInOrder);
        }
    }
    if (handled >= maxFrames && !(reader == end) &&
        !(helper && handled == static_cast<int>(offsets.size()))) {
        reader.close();
        LevelScan refused;
        refused.tooManyFrames = true;
        return refused;
    }
    scan.rawLevels = scan.levels;
    smoothLevels(scan.levels);
    reader.close();
    return scan;
}

} // namespace mp3
