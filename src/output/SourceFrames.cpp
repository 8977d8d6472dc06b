#include "output/SourceFrames.h"

#include "engine/FrameReader.h"
#include "engine/FrameWalk.h"
#include "engine/XingFrame.h"
#include "output/SourceBytes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace {

// The shortest frame a header can describe (MPEG-2 Layer III, 8 kbit/s at 24 kHz); only the last
// frame, cut short by the end of the file, can be shorter.
constexpr std::int64_t kShortestFrameLength = 24;

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

SourceFrames::SourceFrames(const std::filesystem::path& sourcePath, bool frameCrcs)
    : m_path(sourcePath), m_file(std::make_unique<SourceBytes>(sourcePath)) {
    walk(frameCrcs);
}

SourceFrames::SourceFrames(const std::filesystem::path& sourcePath, bool frameCrcs, InBackground)
    : m_path(sourcePath), m_file(std::make_unique<SourceBytes>(sourcePath)), m_background(true) {
    // Room for as many frames as the file can hold, taken here so a lack of memory reaches the caller:
    // the lists never move while the walk appends to them. Pages never written to cost nothing.
    const std::int64_t size = std::max<std::int64_t>(m_file->size(), 0);
    const auto room = static_cast<std::size_t>(size / kShortestFrameLength + 2);
    m_spans.reserve(room);
    if (frameCrcs) {
        m_frameCrcs.reserve(room);
    }
    m_walker = std::jthread([this, frameCrcs] {
        try {
            walk(frameCrcs, true);
        } catch (const std::bad_alloc&) {
            m_walkFailed = true;
        }
        publishWalked(true);
    });
}

int SourceFrames::waitForFrames(int frames) const {
    if (!m_background) {
        return count();
    }
    std::unique_lock<std::mutex> lock(m_walkMutex);
    m_walkProgress.wait(lock, [&] {
        return m_walked.load(std::memory_order_acquire) >= frames ||
               m_walkEnded.load(std::memory_order_acquire);
    });
    return m_walked.load(std::memory_order_acquire);
}

void SourceFrames::publishWalked(bool ended) {
    {
        const std::lock_guard<std::mutex> lock(m_walkMutex);
        m_walked.store(static_cast<int>(m_spans.size()), std::memory_order_release);
        if (ended) {
            m_walkEnded.store(true, std::memory_order_release);
        }
    }
    m_walkProgress.notify_all();
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

void SourceFrames::walk(bool frameCrcs, bool publish) {
    // Frames are handed over in groups: a lock per frame would cost more than the walk.
    constexpr std::size_t kPublishGroup = 1024;
    if (!publish) {
        m_spans.clear();
        m_frameCrcs.clear();
    }
    mp3::FrameWalk walk(m_path);
    std::array<std::uint8_t, 4> lastRaw{};
    std::int32_t lastDuration = 0;
    if (walk.next()) {
        m_firstBitrate = walk.header().bitrate();
        if (!publish) {
            // Room for twice the frames the first one's length suggests: growing the list costs a copy
            // and fresh pages each time, and room never written to costs nothing.
            const std::int64_t estimate = walk.fileSize() / std::max(walk.frameLength(), 24) * 2 + 16;
            const auto room =
                static_cast<std::size_t>(std::min<std::int64_t>(estimate, mp3::kMaxIndexedFrames));
            m_spans.reserve(room);
            if (frameCrcs) {
                m_frameCrcs.reserve(room);
            }
        }
        do {
            if (publish && m_spans.size() == m_spans.capacity()) {
                // Only a file grown since it was opened holds more; the copy finds it changed.
                break;
            }
            if (publish && m_spans.size() % kPublishGroup == 0 && !m_spans.empty()) {
                publishWalked(false);
            }
            if (walk.header().raw != lastRaw) {
                lastRaw = walk.header().raw;
                lastDuration = walk.header().durationMs();
            }
            m_spans.push_back({walk.header().offset, walk.frameLength(), lastDuration});
            if (frameCrcs) {
                const auto length = static_cast<std::size_t>(walk.frameLength());
                m_frameCrcs.push_back(
                    walk.frameBytes() != nullptr
                        ? mp3::crc16(walk.frameBytes(), length)
                        : mp3::crc16(walk.frameBody(), length - 4,
                                     mp3::crc16(walk.header().raw.data(), walk.header().raw.size())));
            }
        } while (walk.next());
    }
    m_endFrameNumber = walk.frameNumber();
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
