#include "engine/ScanParts.h"

#include "engine/FileScan.h"
#include "engine/LayerThreeSideInfo.h"
#include "engine/XingFrame.h"

#include <algorithm>
#include <exception>

namespace mp3 {

namespace {

constexpr std::uint32_t kLayerThree = 1;
// The reservoir reaches at most 511 bytes of main data back; a frame's main data is its length less
// at most 38 bytes of header, CRC and side information.
constexpr int kReservoirBytes = 511;
constexpr int kMaxFrameOverhead = 38;
// The synthesis filter's ring: a part's decoder is first fed at a multiple of this many frames.
constexpr int kSynthesisPhases = 16;
constexpr std::size_t kGranuleSamples = 576;

bool sameFormat(const FrameHeader& a, const FrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.sampleRateIndex == b.sampleRateIndex &&
           a.channels() == b.channels();
}

// Where a part's decoder is first fed: far enough back that the emptied frames hold a whole
// reservoir's worth of main data before its first real frame, and in the filter phase of frame 0.
int firstFed(const ScanPlan& plan, int realFrom) {
    int fed = realFrom;
    int covered = 0;
    while (fed > 0 && covered < kReservoirBytes) {
        --fed;
        covered += std::max(0, plan.lengths[static_cast<std::size_t>(fed)] - kMaxFrameOverhead);
    }
    return fed - fed % kSynthesisPhases;
}

} // namespace

ScanPlan readFrameIndex(const std::filesystem::path& path, const ParallelDecode& parallel, int maxFrames) {
    ScanPlan plan;
    if (parallel.minimumFrames < 0 || parallel.parts < 2) {
        return plan;
    }
    FrameHeader first;
    bool uniform = true;
    // Main data bytes since frame 0, counted while less than a reservoir.
    int mainData = 0;
    bool reservoirBeforeStart = false;
    for (FrameReader reader(path); !(reader == FrameReader()); reader.readNext()) {
        if (plan.offsets.size() >= static_cast<std::size_t>(maxFrames)) {
            // The scan in file order refuses the file.
            return {};
        }
        const FrameHeader& header = reader.header();
        if (plan.offsets.empty()) {
            first = header;
        }
        uniform = uniform && sameFormat(header, first);
        if (mainData < kReservoirBytes) {
            const LayerThreeSideInfo side(header, reader.frameData(),
                                          static_cast<std::size_t>(reader.frameLength()));
            reservoirBeforeStart = reservoirBeforeStart || !side.valid() || side.mainDataBegin() > mainData;
            mainData += side.valid() ? side.mainDataBytes() : 0;
        }
        plan.offsets.push_back(header.offset);
        plan.lengths.push_back(static_cast<std::uint16_t>(reader.frameLength()));
        plan.pcmBytes += static_cast<std::size_t>(samplesPerFrame(header) * header.channels() * 2);
    }
    const auto frames = static_cast<int>(plan.offsets.size());
    plan.splittable =
        uniform && !reservoirBeforeStart && first.layer == kLayerThree && frames >= parallel.minimumFrames;
    return plan;
}

void placeParts(ScanPlan& plan, int from, const ParallelDecode& parallel) {
    plan.parts.clear();
    const auto frames = static_cast<int>(plan.offsets.size());
    const std::int64_t rest = frames - from;
    if (!plan.splittable || from < 0 || rest < 2 * parallel.parts) {
        return;
    }
    for (int index = 0; index < parallel.parts; ++index) {
        ScanPart part;
        part.first = index == 0 ? 0 : static_cast<int>(from + rest * index / parallel.parts);
        part.end = static_cast<int>(from + rest * (index + 1) / parallel.parts);
        part.realFrom = std::max(0, part.first - std::max(0, parallel.primingFrames));
        part.fed = firstFed(plan, part.realFrom);
        plan.parts.push_back(part);
    }
}

ScanPlan planScan(const std::filesystem::path& path, const ParallelDecode& parallel, int maxFrames) {
    ScanPlan plan = readFrameIndex(path, parallel, maxFrames);
    placeParts(plan, 0, parallel);
    return plan;
}

void SynthesisWatch::fed(const FrameReader& reader) {
    const LayerThreeSideInfo side(reader.header(), reader.frameData(),
                                  static_cast<std::size_t>(reader.frameLength()));
    if (side.valid()) {
        m_reservoir = std::min(side.reservoirLimit(), m_reservoir + side.mainDataBytes());
    }
}

void SynthesisWatch::check(const FrameReader& reader, const DecodeResult& decoded, const std::uint8_t* pcm) {
    const LayerThreeSideInfo side(reader.header(), reader.frameData(),
                                  static_cast<std::size_t>(reader.frameLength()));
    const std::size_t granuleBytes = kGranuleSamples * static_cast<std::size_t>(side.channels()) * 2;
    if (decoded.failed() || !side.valid() ||
        decoded.bytes != granuleBytes * static_cast<std::size_t>(side.granules())) {
        m_whole = false;
        return;
    }
    // A frame that reaches back further than the reservoir holds is decoded as silence, whole.
    const bool reachable = side.mainDataBegin() <= m_reservoir;
    if (reachable) {
        const int available = (side.mainDataBytes() + side.mainDataBegin()) * 8;
        int used = 0;
        for (int granule = 0; granule < side.granules(); ++granule) {
            for (int channel = 0; channel < side.channels(); ++channel) {
                used += side.part23Length(granule, channel);
                m_whole = m_whole && used <= available && !side.blockTypeRefused(granule, channel);
            }
        }
    }
    m_reservoir = std::min(side.reservoirLimit(), m_reservoir + side.mainDataBytes());
    const auto silent = [](const std::uint8_t* from, const std::uint8_t* to) {
        return std::all_of(from, to, [](std::uint8_t b) { return b == 0; });
    };
    for (int granule = 0; granule < side.granules(); ++granule) {
        const std::uint8_t* from = pcm + granuleBytes * static_cast<std::size_t>(granule);
        const std::uint8_t* to = from + granuleBytes;
        if (reachable && m_soundBefore && side.granuleCodesAudio(granule) && silent(from, to)) {
            m_whole = false;
        }
        // The overlap and the filter's history carry sound at a granule's end into the next one.
        m_soundBefore = !silent(to - granuleBytes / 4, to);
    }
}

ScanPartDecode::ScanPartDecode(const std::filesystem::path& path, const ScanPlan& plan, std::size_t index,
                               bool keepPcm, int verifiedFrames)
    : m_part(plan.parts.at(index)), m_decoder(std::make_unique<DecoderState>()),
      m_measured(std::make_unique<LevelScan>()), m_cache(plan.pcmBytes), m_keep(keepPcm),
      m_thread([this, path, &plan, verifiedFrames] { run(path, plan, verifiedFrames); }) {}

ScanPartDecode::~ScanPartDecode() {
    cancel();
    join();
}

bool ScanPartDecode::join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return m_done;
}

void ScanPartDecode::run(const std::filesystem::path& path, const ScanPlan& plan, int verifiedFrames) {
    try {
        // Sized once: growing by doubling would hold up to three times a long part's measures.
        const auto frames = static_cast<std::size_t>(m_part.end - m_part.first);
        m_measured->levels.reserve(frames);
        m_measured->rmsDb.reserve(frames);
        m_measured->peaks.reserve(frames);
        decodeFrames(path, plan, verifiedFrames);
    } catch (const std::exception&) {
        // Not enough memory, or the file went away: the scan decodes this part in file order.
        m_done = false;
    }
}

void ScanPartDecode::decodeFrames(const std::filesystem::path& path, const ScanPlan& plan,
                                  int verifiedFrames) {
    const std::string key = path.string();
    const auto frames = static_cast<int>(plan.offsets.size());
    const int stop = m_part.end < frames ? std::min(frames, m_part.end + verifiedFrames) : frames;
    std::array<std::uint8_t, kMaxPcmBytes> pcm{};
    std::array<std::uint8_t, kMaxPcmBytes> discarded{};
    std::vector<std::uint8_t> emptied;
    FrameReader reader(path);
    reader.seekToFrame(m_part.fed, plan.offsets);
    int next = m_part.fed;
    for (; !reader.atEnd() && reader.frameNumber() == next && next < stop; reader.readNext(), ++next) {
        if (m_cancelled.load(std::memory_order_relaxed)) {
            return;
        }
        const auto length = static_cast<std::size_t>(reader.frameLength());
        if (next < m_part.realFrom) {
            emptied.assign(reader.frameData(), reader.frameData() + length);
            const LayerThreeSideInfo side(reader.header(), emptied.data(), length);
            if (side.valid()) {
                side.emptyGranules(emptied.data());
            }
            m_decoder->decode(emptied.data(), length, discarded.data());
            m_watch.fed(reader);
            continue;
        }
        if (next == m_part.first) {
            m_carryIn = pcm;
        }
        if (next == m_part.end) {
            m_carryOut = pcm;
        }
        const DecodeResult decoded = m_decoder->decode(reader.frameData(), length, pcm.data());
        if (next >= m_part.end) {
            m_overlap.emplace_back(pcm.data(), pcm.data() + decoded.bytes);
            continue;
        }
        m_watch.check(reader, decoded, pcm.data());
        if (next < m_part.first) {
            continue;
        }
        measureFrame(*m_measured, pcm.data(), decoded.bytes);
        if (m_keep) {
            m_keep = m_cache.put(key, next, pcm.data(), decoded.bytes);
        }
        if (next < m_part.first + verifiedFrames) {
            m_lead.emplace_back(pcm.data(), pcm.data() + decoded.bytes);
        }
    }
    reader.close();
    m_done = next == stop;
}

bool partsAgree(std::vector<std::unique_ptr<ScanPartDecode>>& later, bool firstWhole,
                const std::array<std::uint8_t, kMaxPcmBytes>& carry,
                const std::vector<FramePcmBytes>& overlap) {
    bool whole = firstWhole;
    const std::array<std::uint8_t, kMaxPcmBytes>* carryBefore = &carry;
    const std::vector<FramePcmBytes>* overlapBefore = &overlap;
    for (auto& part : later) {
        // A part shorter than the overlap compares all its frames.
        const auto& lead = part->lead();
        if (!part->join() || !whole || part->carryIn() != *carryBefore || lead.empty() ||
            lead.size() > overlapBefore->size() ||
            !std::equal(lead.begin(), lead.end(), overlapBefore->begin())) {
            return false;
        }
        whole = part->clean();
        carryBefore = &part->carryOut();
        overlapBefore = &part->overlap();
    }
    return true;
}

} // namespace mp3
