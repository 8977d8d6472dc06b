#include "engine/FrameWalk.h"

#include "engine/Id3v2.h"
#include "engine/PositionedRead.h"

#include <algorithm>
#include <cstring>

namespace mp3 {

FrameWalk::FrameWalk(const std::filesystem::path& path) : m_file(platform::openForReading(path)) {
    const auto status = platform::statusOf(m_file.get());
    if (!status || !status->isRegular()) {
        m_file.close();
        m_atEnd = true;
        return;
    }
    m_fileSize = status->size;
}

std::size_t FrameWalk::bytesAt(std::int64_t at, std::size_t count) {
    const std::int64_t chunkEnd = m_chunkStart + static_cast<std::int64_t>(m_chunkLength);
    const bool inChunk = at >= m_chunkStart && at < chunkEnd;
    if (!inChunk || (at + static_cast<std::int64_t>(count) > chunkEnd && m_chunkLength == kChunkSize)) {
        if (!m_chunk) {
            m_chunk = std::make_unique_for_overwrite<std::uint8_t[]>(kChunkSize);
        }
        m_chunkStart = at;
        m_chunkLength = readFileAt(m_file.get(), at, m_chunk.get(), kChunkSize);
    }
    const std::int64_t held = m_chunkStart + static_cast<std::int64_t>(m_chunkLength) - at;
    return held <= 0 ? 0 : std::min(count, static_cast<std::size_t>(held));
}

void FrameWalk::skipId3v2Tags() {
    while (bytesAt(m_position, kId3v2HeaderSize) == kId3v2HeaderSize) {
        const std::int64_t size = id3v2TagSize(data(m_position));
        if (size <= 0) {
            return;
        }
        m_position += size;
    }
}

bool FrameWalk::findHeader(FrameHeader& header) {
    for (;;) {
        // The sync byte, searched for in the whole chunk at once.
        if (bytesAt(m_position, 1) == 0) {
            return false;
        }
        const auto held =
            static_cast<std::size_t>(m_chunkStart + static_cast<std::int64_t>(m_chunkLength) - m_position);
        const std::uint8_t* start = data(m_position);
        const auto* sync = static_cast<const std::uint8_t*>(std::memchr(start, 0xFF, held));
        if (sync == nullptr) {
            m_position += static_cast<std::int64_t>(held);
            continue;
        }
        m_position += (sync - start) + 1;
        if (bytesAt(m_position, 1) == 0) {
            return false;
        }
        const std::uint8_t second = *data(m_position);
        ++m_position;
        if ((second & 0xE0) != 0xE0) {
            continue;
        }
        const std::size_t got = bytesAt(m_position, 2);
        if (got == 0) {
            return false;
        }
        const std::uint8_t* rest = data(m_position);
        m_position += static_cast<std::int64_t>(got);
        header = FrameHeader();
        header.offset = m_position - 2 - static_cast<std::int64_t>(got);
        header.raw = {0xFF, second, rest[0], got > 1 ? rest[1] : std::uint8_t{0}};
        if (m_knownLength > 0 && header.raw == m_known.raw) {
            const std::int64_t offset = header.offset;
            header = m_known;
            header.offset = offset;
        } else {
            header.parse();
        }
        return true;
    }
}

bool FrameWalk::next() {
    if (m_atEnd) {
        return false;
    }
    skipId3v2Tags();
    FrameHeader header;
    bool found = findHeader(header);
    const auto known = [this](const FrameHeader& candidate) {
        return m_knownLength > 0 && candidate.raw == m_known.raw;
    };
    // A false sync (no valid frame codes) does not end the stream: search on from the next byte.
    while (found && !known(header) && !header.describesFrame()) {
        m_position = header.offset + 1;
        found = findHeader(header);
    }
    if (!found) {
        m_atEnd = true;
        return false;
    }
    if (!known(header)) {
        m_known = header;
        m_knownLength = header.frameLength();
    }
    m_header = header;
    ++m_frameNumber;
    const auto body = static_cast<std::size_t>(m_knownLength - 4);
    const std::size_t got = bytesAt(m_position, body);
    m_body = data(m_position);
    m_frame = header.offset >= m_chunkStart ? data(header.offset) : nullptr;
    m_position += static_cast<std::int64_t>(got);
    if (got == 0) {
        m_atEnd = true;
        return false;
    }
    // A frame cut short by the end of the file keeps only the bytes the file holds.
    m_frameLength = 4 + static_cast<int>(got);
    return true;
}

} // namespace mp3
