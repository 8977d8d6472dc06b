#include "output/PieceWriter.h"

#include "document/SplitDocument.h"
#include "engine/FrameReader.h"
#include "output/SourceBytes.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tstring.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>

namespace {

// The header in `raw` (four bytes), when it describes a frame.
std::optional<mp3::FrameHeader> frameHeader(const std::uint8_t* raw) {
    mp3::FrameHeader header;
    header.raw = {raw[0], raw[1], raw[2], raw[3]};
    if (!header.parse() || !header.describesFrame()) {
        return std::nullopt;
    }
    return header;
}

} // namespace

SourceFrames::SourceFrames(const std::filesystem::path& sourcePath, const mp3::FrameOffsets* knownOffsets,
                           const mp3::FrameLengths* knownLengths)
    : m_path(sourcePath), m_file(std::make_unique<SourceBytes>(sourcePath)) {
    if (knownOffsets == nullptr || knownOffsets->empty()) {
        walk();
        return;
    }
    if (knownLengths != nullptr && takeKnownSpans(*knownOffsets, *knownLengths)) {
        return;
    }
    if (!readHeaders(*knownOffsets)) {
        walk();
    }
}

// Takes the spans as the loading scan found them, without reading every header: the copy then needs
// no pass over the file of its own. A sample of headers spread over the file, the first and the last
// must still be where they were and of the same length, and nothing may follow the last frame;
// otherwise the file changed since it was loaded and the caller reads it afresh.
bool SourceFrames::takeKnownSpans(const mp3::FrameOffsets& offsets, const mp3::FrameLengths& lengths) {
    if (lengths.size() != offsets.size()) {
        return false;
    }
    const std::int64_t fileSize = m_file->size();
    const auto count = static_cast<int>(offsets.size());
    m_spans.clear();
    m_spans.reserve(offsets.size());
    std::int64_t previousEnd = 0;
    for (int frame = 0; frame < count; ++frame) {
        const auto at = static_cast<std::size_t>(frame);
        const std::int64_t offset = offsets[at];
        const std::int32_t length = lengths[at];
        if (offset < previousEnd || length <= 4 || offset + length > fileSize) {
            m_spans.clear();
            return false;
        }
        m_spans.push_back({offset, length, kDurationUnread});
        previousEnd = offset + length;
    }
    const int stride = std::max(1, count / 256);
    for (int sample = 0;; sample += stride) {
        const int frame = std::min(sample, count - 1);
        FrameSpan& span = m_spans[static_cast<std::size_t>(frame)];
        std::array<std::uint8_t, 4> raw{};
        const std::optional<mp3::FrameHeader> header =
            m_file->readAt(span.offset, raw.data(), raw.size()) == raw.size() ? frameHeader(raw.data())
                                                                              : std::nullopt;
        if (!header || std::min<std::int64_t>(header->frameLength(), fileSize - span.offset) != span.length) {
            m_spans.clear();
            return false;
        }
        span.durationMs = header->durationMs();
        if (frame == 0) {
            m_firstBitrate = header->bitrate();
            m_firstDuration = span.durationMs;
        }
        if (frame == count - 1) {
            break;
        }
    }
    if (!endsAfter(offsets)) {
        m_spans.clear();
        return false;
    }
    return true;
}

void SourceFrames::readDurations(int frame) const {
    const int first = frame - frame % kDurationGroup;
    const int end = std::min(count(), first + kDurationGroup);
    const std::int64_t start = m_spans[static_cast<std::size_t>(first)].offset;
    const std::int64_t bytes = m_spans[static_cast<std::size_t>(end - 1)].offset + 4 - start;
    // One read for the group, unless something large lies between its frames.
    const bool together = bytes <= 256 * 1024;
    m_headerBytes.resize(together ? static_cast<std::size_t>(bytes) : 4);
    const std::size_t got = together ? m_file->readAt(start, m_headerBytes.data(), m_headerBytes.size()) : 0;
    for (int i = first; i < end; ++i) {
        FrameSpan& span = m_spans[static_cast<std::size_t>(i)];
        const std::uint8_t* raw = nullptr;
        if (together) {
            const auto at = static_cast<std::size_t>(span.offset - start);
            raw = at + 4 <= got ? m_headerBytes.data() + at : nullptr;
        } else if (m_file->readAt(span.offset, m_headerBytes.data(), 4) == 4) {
            raw = m_headerBytes.data();
        }
        const std::optional<mp3::FrameHeader> header = raw ? frameHeader(raw) : std::nullopt;
        // A header gone since the checks means the file is being changed under the save; the bytes
        // copied are the file's own either way, and the overlap counts such a frame like the first.
        span.durationMs = header ? header->durationMs() : m_firstDuration;
    }
}

bool SourceFrames::endsAfter(const mp3::FrameOffsets& offsets) {
    mp3::FrameReader tail(m_path);
    tail.seekToFrame(static_cast<int>(offsets.size()) - 1, offsets);
    const bool onLast = !tail.atEnd() && tail.header().offset == offsets.back();
    tail.readNext();
    const bool ended = onLast && tail.atEnd();
    m_endFrameNumber = tail.frameNumber();
    tail.close();
    return ended;
}

void SourceFrames::walk() {
    m_spans.clear();
    mp3::FrameReader reader(m_path);
    const mp3::FrameReader end;
    m_firstBitrate = reader.header().bitrate();
    while (!(reader == end)) {
        m_spans.push_back({reader.header().offset, reader.frameLength(), reader.header().durationMs()});
        reader.readNext();
    }
    m_endFrameNumber = reader.frameNumber();
    reader.close();
}

// Reads the header at every known offset in large forward reads and takes each frame as the reader
// would; false when an offset holds no frame any more or the file goes on past the last one.
bool SourceFrames::readHeaders(const mp3::FrameOffsets& offsets) {
    constexpr std::size_t kChunk = 128 * 1024;
    const std::int64_t fileSize = m_file->size();
    std::vector<std::uint8_t> chunk(kChunk);
    std::int64_t chunkStart = 0;
    std::int64_t chunkEnd = 0;
    std::int64_t previousEnd = 0;
    // Most frames repeat the header before them: parse only when the bytes differ.
    std::array<std::uint8_t, 4> lastRaw{};
    std::int32_t lastLength = 0;
    std::int32_t lastDuration = 0;
    m_spans.reserve(offsets.size());
    for (const std::int64_t offset : offsets) {
        if (offset < previousEnd || offset + 4 >= fileSize) {
            return false;
        }
        if (offset + 4 > chunkEnd) {
            chunkStart = offset;
            chunkEnd =
                chunkStart + static_cast<std::int64_t>(m_file->readAt(chunkStart, chunk.data(), kChunk));
            if (offset + 4 > chunkEnd) {
                return false;
            }
        }
        const std::uint8_t* raw = chunk.data() + (offset - chunkStart);
        if (m_spans.empty() || std::memcmp(raw, lastRaw.data(), 4) != 0) {
            const std::optional<mp3::FrameHeader> header = frameHeader(raw);
            if (!header) {
                return false;
            }
            if (m_spans.empty()) {
                m_firstBitrate = header->bitrate();
            }
            lastRaw = header->raw;
            lastLength = header->frameLength();
            lastDuration = header->durationMs();
        }
        // A last frame cut short by the end of the file keeps the bytes the file holds.
        const auto length = static_cast<std::int32_t>(std::min<std::int64_t>(lastLength, fileSize - offset));
        m_spans.push_back({offset, length, lastDuration});
        previousEnd = offset + length;
    }
    // Past the last frame the reader must find no further one; where it stops tells the last number.
    const bool ended = endsAfter(offsets);
    if (!ended) {
        m_spans.clear();
    }
    return ended;
}

SourceFrames::~SourceFrames() = default;

std::size_t writeFrame(const mp3::FrameReader& reader, PieceFile& piece) {
    return piece.write(reader.frameData(), static_cast<std::size_t>(reader.frameLength()));
}

CopyResult copyFrames(mp3::FrameReader& start, const mp3::FrameReader& end, PieceFile& piece) {
    CopyResult result;
    while (!(start == end)) {
        result.bytes += writeFrame(start, piece);
        ++result.frames;
        start.readNext();
    }
    return result;
}

CopyResult copyFrames(SourceFrames& frames, int from, int to, PieceFile& piece) {
    CopyResult result;
    if (from < 0) {
        from = 0;
    }
    if (to > frames.count()) {
        to = frames.count();
    }
    // Frames that follow each other without a gap are copied as one run.
    int frame = from;
    while (frame < to) {
        const std::int64_t runStart = frames.offset(frame);
        std::int64_t runEnd = runStart + frames.length(frame);
        ++frame;
        while (frame < to && frames.offset(frame) == runEnd) {
            runEnd += frames.length(frame);
            ++frame;
        }
        result.bytes += piece.copyFrom(frames.file(), runStart, static_cast<std::size_t>(runEnd - runStart));
    }
    result.frames = to > from ? to - from : 0;
    return result;
}

int advancedPosition(const SourceFrames& frames, int by) {
    if (by <= 0) {
        return 0;
    }
    return by < frames.count() ? by : frames.count();
}

std::filesystem::path pieceName(PieceNaming rule, const std::filesystem::path& folder,
                                const std::filesystem::path& sourcePath, int number) {
    switch (rule) {
    case PieceNaming::SaveAll: {
        std::filesystem::path name = sourcePath.stem();
        name += "-" + std::to_string(number);
        name += sourcePath.extension();
        return folder / name;
    }
    case PieceNaming::SpecifiedBlocks: {
        std::filesystem::path path = folder;
        path += std::filesystem::path::preferred_separator;
        path += sourcePath.stem();
        path += "-" + std::to_string(number) + ".mp3";
        return path;
    }
    case PieceNaming::SingleBlock:
        break;
    }
    return folder;
}

int writeOverlapFrames(SplitDocument& doc, OverlapDirection direction, int frame, PieceFile& piece,
                       SourceFrames& frames) {
    const Preferences preferences = doc.preferences();
    if (!preferences.Overlap) {
        return 0;
    }
    // Whole seconds, taken as an unsigned count.
    const std::uint64_t limit = std::uint64_t{static_cast<std::uint32_t>(preferences.OverlapSecs)} * 1000;
    std::uint64_t sum = 0;
    int written = 0;
    if (direction == OVERLAP_DIR_BEFORE) {
        doc.log(LogLevel::Normal, "Save overlap frames: OVERLAP_DIR_BEFORE ...");
        // Back from the block's own first frame, whose duration counts first, until frame 0.
        int first = frame;
        if (first < frames.count()) {
            while (first > 0 && sum < limit) {
                sum += static_cast<std::uint64_t>(frames[first].durationMs);
                --first;
            }
        }
        written = copyFrames(frames, first, frame, piece).frames;
    } else {
        doc.log(LogLevel::Normal, "Save overlap frames: OVERLAP_DIR_AFTER ...");
        int end = frame;
        if (limit != 0) {
            do {
                if (end >= frames.count()) {
                    break;
                }
                sum += static_cast<std::uint64_t>(frames[end].durationMs);
                ++end;
            } while (sum < limit);
        }
        written = copyFrames(frames, frame, end, piece).frames;
    }
    doc.log(LogLevel::Normal, "Overlap frames has been saved, total frame " + std::to_string(written) + " F");
    return written;
}

bool applyBlockTag(const std::filesystem::path& piecePath, const ID3Info& tag) {
    TagLib::FileRef file(piecePath.c_str(), true, TagLib::AudioProperties::Average);
    if (file.isNull() || file.tag() == nullptr) {
        return false;
    }
    TagLib::Tag* fields = file.tag();
    fields->setAlbum(TagLib::String(tag.album, TagLib::String::UTF8));
    fields->setArtist(TagLib::String(tag.artist, TagLib::String::UTF8));
    fields->setComment(TagLib::String(tag.comment, TagLib::String::UTF8));
    fields->setTitle(TagLib::String(tag.title, TagLib::String::UTF8));
    fields->setYear(tag.year > 0 ? static_cast<unsigned>(tag.year) : 0u);
    return file.save();
}
