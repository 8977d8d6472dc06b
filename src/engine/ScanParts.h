#pragma once

#include "engine/Decoder.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace mp3 {

// How the loading scan may spread its decoding over several cores. Each part of the file is decoded
// by a decoder state of its own; a part after the first starts early, and is kept only when the
// frames it and its predecessor both decoded agree byte for byte (see scanLevels).
struct ParallelDecode {
    // Files of fewer frames (and a negative value: every file) are decoded in file order.
    int minimumFrames = 5000;
    int parts = 2;
    // Frames a later part decodes as they are before its first frame: they rebuild the overlap of
    // the previous granule and the synthesis filter's history.
    int primingFrames = 4;
    // Frames past a part's end that it decodes too, to be compared with the next part's first ones.
    int verifiedFrames = 64;
    // The frame index is read before decoding starts, and the file split evenly. Otherwise it is
    // read on another core while the first part decodes, and the rest split evenly from where the
    // first part stands then.
    bool indexFirst = false;

    static ParallelDecode inOrder() { return {.minimumFrames = -1}; }
};

// One part of a split scan: it reports frames [first, end). Its decoder is fed from frame `fed`,
// which is a multiple of 16: the frames up to `realFrom` have their granules emptied, so they fill
// the bit reservoir without any audio, and never fail for want of a reservoir of their own.
// libmpg123's synthesis filter keeps a ring of 16 positions whose phase changes how samples are
// rounded; a decoder fed from a multiple of 16 frames stands in the phase of one fed from frame 0.
struct ScanPart {
    int first = 0;
    int end = 0;
    int fed = 0;
    int realFrom = 0;
};

// What the pre-pass over the frame headers learns, and where the file is split.
struct ScanPlan {
    FrameOffsets offsets;
    std::vector<std::uint16_t> lengths;
    // At most this much PCM (every frame giving all its samples).
    std::size_t pcmBytes = 0;
    // The file may be split: it is long enough, Layer III throughout in one format, and no frame's
    // main data begins before the first frame (a decode in file order reads zeros for it, and
    // might skip those granules).
    bool splittable = false;
    // In file order; fewer than two: the file is decoded in order.
    std::vector<ScanPart> parts;
};

// Reads the frame headers of `path`; empty when it has more than `maxFrames` frames.
ScanPlan readFrameIndex(const std::filesystem::path& path, const ParallelDecode& parallel, int maxFrames);
// Splits a splittable file into parts: the first from frame 0, the others evenly over the frames
// from `from` on (where the first part's decoder stands when the index is ready).
void placeParts(ScanPlan& plan, int from, const ParallelDecode& parallel);
// Both, from frame 0.
ScanPlan planScan(const std::filesystem::path& path, const ParallelDecode& parallel, int maxFrames);

// Watches a decode for granules libmpg123 could not decode: it fills such a granule with zeros
// without running the synthesis filter, which leaves the filter's phase behind that of a decode
// where the filter ran, and the plan (see ScanPart) assumes that every granule ran through it. A
// granule counts as skipped when the decoder gave less than all its PCM; when the side information
// is one libmpg123 refuses (more bits than the frame and its reservoir hold, or a block type it does
// not take); or when it is silent though it codes bits, right after a granule that ended in sound
// (libmpg123 also gives up on Huffman code it cannot place, which only decoding it would tell).
class SynthesisWatch {
public:
    // A frame decoded as it is.
    void check(const FrameReader& reader, const DecodeResult& decoded, const std::uint8_t* pcm);
    // A frame fed with its granules emptied: only its main data counts.
    void fed(const FrameReader& reader);
    // No granule seen so far was skipped.
    bool whole() const { return m_whole; }

private:
    bool m_whole = true;
    bool m_soundBefore = false;
    // The bytes of main data the decoder holds for the next frame to reach back into.
    int m_reservoir = 0;
};

// The PCM a frame decoded to, as a part keeps it for the comparison.
using FramePcmBytes = std::vector<std::uint8_t>;

struct LevelScan;

// A part after the first, decoded on a thread of its own. Every frame it reports goes through
// measureFrame on that thread; its PCM is kept in a cache of the part's own when `keepPcm`.
class ScanPartDecode {
public:
    ScanPartDecode(const std::filesystem::path& path, const ScanPlan& plan, std::size_t index, bool keepPcm,
                   int verifiedFrames);
    ScanPartDecode(const ScanPartDecode&) = delete;
    ScanPartDecode& operator=(const ScanPartDecode&) = delete;
    ~ScanPartDecode();

    // Waits for the thread; false when it could not finish.
    bool join();
    // Lets the thread stop early: its work is no longer wanted.
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }

    const ScanPart& part() const { return m_part; }
    // No granule from its first real frame to its end was skipped (see SynthesisWatch).
    bool clean() const { return m_watch.whole(); }
    // The PCM buffer as it stood before `first` and the first verifiedFrames frames.
    const std::array<std::uint8_t, kMaxPcmBytes>& carryIn() const { return m_carryIn; }
    const std::vector<FramePcmBytes>& lead() const { return m_lead; }
    // The same past `end`, for the next part's comparison; the decoder stands after them.
    const std::array<std::uint8_t, kMaxPcmBytes>& carryOut() const { return m_carryOut; }
    const std::vector<FramePcmBytes>& overlap() const { return m_overlap; }
    DecoderState& decoder() { return *m_decoder; }
    // What measureFrame made of the part's frames, the first at index 0.
    const LevelScan& measured() const { return *m_measured; }
    PcmCache& cache() { return m_cache; }
    bool keptPcm() const { return m_keep; }

private:
    void run(const std::filesystem::path& path, const ScanPlan& plan, int verifiedFrames);
    void decodeFrames(const std::filesystem::path& path, const ScanPlan& plan, int verifiedFrames);

    ScanPart m_part;
    std::unique_ptr<DecoderState> m_decoder;
    std::unique_ptr<LevelScan> m_measured;
    PcmCache m_cache;
    bool m_keep;
    SynthesisWatch m_watch;
    bool m_done = false;
    std::atomic<bool> m_cancelled{false};
    std::array<std::uint8_t, kMaxPcmBytes> m_carryIn{};
    std::array<std::uint8_t, kMaxPcmBytes> m_carryOut{};
    std::vector<FramePcmBytes> m_lead;
    std::vector<FramePcmBytes> m_overlap;
    std::thread m_thread;
};

// True when every later part agrees with the one before it: no granule before it was skipped, and
// the PCM left before its first frame and its first frames are those the part before decoded past
// its end. `carry` and `overlap` are those of the first part; waits for every part it compares.
bool partsAgree(std::vector<std::unique_ptr<ScanPartDecode>>& later, bool firstWhole,
                const std::array<std::uint8_t, kMaxPcmBytes>& carry,
                const std::vector<FramePcmBytes>& overlap);

} // namespace mp3
