#include "output/PieceHeader.h"

#include "output/ReservoirBytes.h"

#include "output/FrameCopy.h"
#include "output/LevelApplier.h"
#include "output/PieceFile.h"
#include "output/SelfContainedFrame.h"
#include "output/SourceBytes.h"
#include "output/SourceFrames.h"

#include <algorithm>

namespace {

// mpg123 decodes only the last four frames before the first sample it plays and merely reads those
// ahead of them, so a piece leads with at most four frames before its first own one.
constexpr int kDecodedAhead = 4;
// Written where the source has no LAME tag of its own: decoders look for an encoder name there
// before they take the delay and padding from the tag.
constexpr const char* kEncoderName = "LAME";

std::optional<mp3::FrameHeader> headerOf(const std::vector<std::uint8_t>& frame) {
    return layerThreeHeaderOf(frame);
}

// The built frames after the lead's Xing/Info frame warm the decoder up for frame `first`: they
// take its level. The Xing/Info frame stays as it is (the LAME tag's CRC covers it).
void applyLeadLevels(std::vector<std::uint8_t>& lead, int first, LevelApplier& levels) {
    std::size_t at = 0;
    bool headerFrame = true;
    while (at + 4 <= lead.size()) {
        mp3::FrameHeader header;
        header.raw = {lead[at], lead[at + 1], lead[at + 2], lead[at + 3]};
        if (!header.parse() || header.frameLength() <= 0) {
            return;
        }
        const auto length = std::min(static_cast<std::size_t>(header.frameLength()), lead.size() - at);
        if (!(headerFrame && mp3::XingFrame::parse(lead.data() + at, length))) {
            levels.apply(first - 1, lead.data() + at, length);
        }
        headerFrame = false;
        at += length;
    }
}

} // namespace

PieceHeader::PieceHeader(const SourceFrames& frames, bool gapless) : m_frames(frames), m_gapless(gapless) {
    if (frames.count() == 0) {
        return;
    }
    std::vector<std::uint8_t> first = readFrame(0);
    m_firstHeader = headerOf(first);
    if (!m_firstHeader) {
        return;
    }
    m_samplesPerFrame = mp3::samplesPerFrame(*m_firstHeader);
    m_sourceTag = mp3::XingFrame::parse(first.data(), first.size());
    if (m_sourceTag) {
        m_sourceTagFrame = std::move(first);
        m_firstAudio = 1;
    }
}

std::vector<std::uint8_t> PieceHeader::readFrame(int frame) const {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(m_frames.length(frame)));
    bytes.resize(m_frames.file().readAt(m_frames.offset(frame), bytes.data(), bytes.size()));
    return bytes;
}

PieceStart PieceHeader::start(int first, int end) const {
    end = std::min(end, m_frames.count());
    if (m_gapless) {
        if (std::optional<PieceStart> gapless = gaplessStart(first, end)) {
            return std::move(*gapless);
        }
    }
    if (first == 0 && m_sourceTag && end > 0) {
        return rewriteSourceTag(end);
    }
    PieceStart start;
    start.copyFrom = first;
    return start;
}

PieceStart PieceHeader::rewriteSourceTag(int end) const {
    mp3::XingFrame tag = *m_sourceTag;
    const bool toTheEnd = end >= m_frames.count();
    if (tag.lame) {
        // The delay belongs to the source's start, which this piece has; its end is the source's
        // only when the piece runs to it.
        tag.lame->setPadding(toTheEnd ? tag.lame->padding() : 0);
    }
    PieceStart start;
    describe(start, m_sourceTagFrame, {}, 1, end, tag, /*fieldsAsSource=*/true);
    start.copyFrom = 1;
    return start;
}

std::optional<PieceStart> PieceHeader::gaplessStart(int first, int end) const {
    if (!m_firstHeader) {
        return std::nullopt;
    }
    const int firstCopied = std::max(first, m_firstAudio);
    if (firstCopied >= end) {
        return std::nullopt;
    }
    const std::int64_t spf = m_samplesPerFrame;
    const std::int64_t sourceFrames = m_frames.count() - m_firstAudio;
    const std::int64_t startFrame = firstCopied - m_firstAudio;
    const std::int64_t endFrame = end - m_firstAudio;
    const bool sourceTrims = m_sourceTag && m_sourceTag->lame;
    // The samples of the source's decoded stream a gapless decoder plays.
    const std::int64_t sourceBegin = sourceTrims ? m_sourceTag->lame->encoderDelay() + mp3::kDecoderDelay : 0;
    const std::int64_t sourceEnd =
        sourceTrims ? sourceFrames * spf - m_sourceTag->lame->padding() + mp3::kDecoderDelay
                    : sourceFrames * spf;

    mp3::XingFrame tag;
    std::vector<std::uint8_t> xingFrame;
    std::vector<std::vector<std::uint8_t>>
        leadFrames; // built frames between the Xing frame and the copied ones
    int copyFrom = firstCopied;
    int framesBeforeStart = 0; // frames of the piece's stream ahead of source frame `firstCopied`
    if (startFrame == 0 && sourceTrims) {
        tag = *m_sourceTag;
        xingFrame = m_sourceTagFrame;
    } else {
        const int modelFrame = firstCopied;
        const std::vector<std::uint8_t> model = readFrame(modelFrame);
        const std::optional<mp3::FrameHeader> header = headerOf(model);
        if (!header) {
            return std::nullopt;
        }
        const bool mpeg1 = header->version == 3;
        // mpg123's synthesis rounds differently in each phase of four granules (two MPEG-1 frames,
        // four MPEG-2 frames): the frames a piece's decoder runs through ahead of source frame a keep
        // the source's count modulo that period where they can, or a few samples come out one step
        // apart. mpg123 decodes only the four frames before the first sample it plays, and the two
        // warm-up granules must be among them: that leaves every phase for MPEG-1, and for MPEG-2
        // and 2.5 the three in which two, three or four frames ahead are in phase (one or five would
        // be needed in the fourth).
        const int period = mpeg1 ? 2 : 4;
        // Frames a decoder may run through ahead of source frame a while the delay field still holds
        // them all: with them the piece decodes exactly like the source from its start.
        const int fromStart =
            std::min(kDecodedAhead, (mp3::kMaxTrim + mp3::kDecoderDelay) / m_samplesPerFrame);
        if (startFrame == 0) {
            // The decoder drops its first 529 samples; silent frames ahead give it room to.
            for (int i = 0; i < period; ++i) {
                leadFrames.push_back(mp3::makeSilentFrame(*header, {}));
            }
            framesBeforeStart = period;
        } else if (startFrame <= fromStart) {
            copyFrom = m_firstAudio;
            framesBeforeStart = static_cast<int>(startFrame);
        } else {
            // Frame a's first samples come out of the decoder's filters together with the granule
            // before it, which overlaps the one before that: two granules ahead (one MPEG-1 frame,
            // two MPEG-2 frames) must decode as in the source, led by a silent frame holding the
            // reservoir bytes the first of them needs.
            const int fewest = mpeg1 ? 1 : 2;
            const auto inPhase = [&](int ahead) {
                return ahead + static_cast<int>(((startFrame - ahead) % period + period) % period);
            };
            int warmUp = inPhase(1 + fewest) - 1;
            // Where the silent frame would push the frames ahead beyond what mpg123 decodes, the
            // first warm-up frame carries its own main data instead, and no silent frame leads.
            std::vector<std::uint8_t> rebuilt;
            if (1 + warmUp > kDecodedAhead && inPhase(fewest) <= kDecodedAhead) {
                rebuilt = selfContained(firstCopied - inPhase(fewest));
            }
            if (!rebuilt.empty()) {
                warmUp = inPhase(fewest);
                copyFrom = firstCopied - warmUp + 1;
                leadFrames.push_back(std::move(rebuilt));
                framesBeforeStart = warmUp;
            } else {
                if (1 + warmUp > kDecodedAhead) {
                    warmUp = fewest;
                }
                copyFrom = firstCopied - warmUp;
                const std::vector<std::uint8_t> warmFirst = readFrame(copyFrom);
                const int reservoir = mp3::mainDataBegin(warmFirst.data(), warmFirst.size());
                if (reservoir < 0) {
                    return std::nullopt;
                }
                leadFrames.push_back(mp3::makeSilentFrame(
                    *header, reservoirBefore(copyFrom, static_cast<std::size_t>(reservoir))));
                framesBeforeStart = 1 + warmUp;
            }
        }
        xingFrame = mp3::makeSilentFrame(*header, {}, mp3::xingFrameNeeds(*header));
        const bool needsLead = copyFrom != firstCopied - framesBeforeStart;
        const bool built = std::all_of(leadFrames.begin(), leadFrames.end(),
                                       [](const std::vector<std::uint8_t>& frame) { return !frame.empty(); });
        if ((needsLead && leadFrames.empty()) || !built || xingFrame.empty()) {
            return std::nullopt;
        }
        tag.vbr = m_sourceTag ? m_sourceTag->vbr : false;
        for (const std::vector<std::uint8_t>& frame : leadFrames) {
            tag.vbr = tag.vbr || frame[2] >> 4 != header->bitrateIndex;
        }
        tag.quality = m_sourceTag && m_sourceTag->quality ? *m_sourceTag->quality : 0;
        tag.lame = sourceTrims ? *m_sourceTag->lame : mp3::LameTag::fresh(kEncoderName);
    }
    // Positions in the piece's decoded stream = source positions − startFrame·spf + framesBeforeStart·spf.
    const std::int64_t shift = (framesBeforeStart - startFrame) * spf;
    const std::int64_t begin = std::max(sourceBegin, startFrame * spf) + shift;
    const std::int64_t finish = std::min(sourceEnd, endFrame * spf) + shift;
    const std::int64_t frames = static_cast<std::int64_t>(leadFrames.size()) + (end - copyFrom);
    const mp3::GaplessTrim trim = mp3::gaplessTrim(m_samplesPerFrame, frames, begin, finish);
    if (!trim.fits()) {
        return std::nullopt;
    }
    tag.lame->setEncoderDelay(static_cast<int>(trim.delay));
    tag.lame->setPadding(static_cast<int>(trim.padding));

    PieceStart start;
    describe(start, std::move(xingFrame), leadFrames, copyFrom, end, tag, /*fieldsAsSource=*/false);
    for (const std::vector<std::uint8_t>& frame : leadFrames) {
        start.lead.insert(start.lead.end(), frame.begin(), frame.end());
    }
    start.copyFrom = copyFrom;
    return start;
}

std::vector<std::uint8_t> PieceHeader::selfContained(int frame) const {
    const std::vector<std::uint8_t> bytes = readFrame(frame);
    const std::vector<std::uint8_t> next = readFrame(frame + 1);
    const int reservoir = mp3::mainDataBegin(bytes.data(), bytes.size());
    const int nextReservoir = mp3::mainDataBegin(next.data(), next.size());
    if (reservoir < 0 || nextReservoir < 0) {
        return {};
    }
    return selfContainedFrame(bytes, reservoirBefore(frame, static_cast<std::size_t>(reservoir)),
                              reservoirBefore(frame + 1, static_cast<std::size_t>(nextReservoir)));
}

std::vector<std::uint8_t> PieceHeader::reservoirBefore(int frame, std::size_t count) const {
    return reservoirBytesBefore(frame, m_firstAudio, count, [this](int k) { return readFrame(k); });
}

void PieceHeader::describe(PieceStart& start, std::vector<std::uint8_t> xingFrame,
                           const std::vector<std::vector<std::uint8_t>>& leadFrames, int from, int end,
                           mp3::XingFrame tag, bool fieldsAsSource) const {
    // Offsets of the audio frames from the Xing frame's start, and the CRC of the built ones.
    std::vector<std::uint32_t> offsets;
    offsets.reserve(leadFrames.size() + static_cast<std::size_t>(std::max(0, end - from)));
    std::uint64_t bytes = xingFrame.size();
    std::uint16_t leadCrc = 0;
    for (const std::vector<std::uint8_t>& frame : leadFrames) {
        offsets.push_back(static_cast<std::uint32_t>(bytes));
        bytes += frame.size();
        leadCrc = mp3::crc16(frame.data(), frame.size(), leadCrc);
    }
    for (int frame = from; frame < end; ++frame) {
        offsets.push_back(static_cast<std::uint32_t>(bytes));
        bytes += static_cast<std::uint64_t>(m_frames.length(frame));
    }
    const auto total = static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, UINT32_MAX));
    const auto count = static_cast<std::uint32_t>(offsets.size());
    if (!fieldsAsSource || tag.frames) {
        tag.frames = count;
    }
    if (!fieldsAsSource || tag.bytes) {
        tag.bytes = total;
    }
    if (!fieldsAsSource || tag.toc) {
        tag.toc = mp3::makeToc(offsets, total);
    }
    if (tag.lame) {
        tag.lame->setMusicLength(total);
    }
    mp3::writeXingFrame(tag, xingFrame.data(), xingFrame.size());
    if (tag.lame) {
        start.unfinished = UnfinishedHeader{tag, xingFrame, leadCrc};
    }
    start.lead = std::move(xingFrame);
}

void writePieceStart(const PieceStart& start, int first, SourceFrames& frames, PieceFile& piece,
                     LevelApplier* levels) {
    std::vector<std::uint8_t> changed;
    if (levels != nullptr) {
        changed = start.lead;
        applyLeadLevels(changed, first, *levels);
    }
    const std::vector<std::uint8_t>& lead = levels != nullptr ? changed : start.lead;
    piece.write(lead.data(), lead.size());
    if (start.unfinished) {
        // The music CRC covers the lead's audio frames as written, level changes included.
        const std::size_t header = std::min(start.unfinished->frame.size(), lead.size());
        piece.startMusicCrc(levels != nullptr ? mp3::crc16(lead.data() + header, lead.size() - header, 0)
                                              : start.unfinished->leadCrc);
    }
    if (start.copyFrom < first) {
        copyFrames(frames, start.copyFrom, first, piece, levels);
    }
}

void finishHeader(const UnfinishedHeader& header, std::int64_t offset, PieceFile& piece) {
    mp3::XingFrame tag = header.tag;
    tag.lame->setMusicCrc(piece.endMusicCrc());
    std::vector<std::uint8_t> frame = header.frame;
    mp3::writeXingFrame(tag, frame.data(), frame.size());
    if (!piece.writeAt(offset, frame.data(), frame.size()) && !piece.failed()) {
        piece.fail("the header frame could not be written");
    }
}
