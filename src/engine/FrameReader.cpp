#include "engine/FrameReader.h"

#include "engine/Exception.h"
#include "engine/Id3v2.h"
#include "engine/SourceFile.h"

#include <algorithm>

namespace mp3 {

FrameReader::FrameReader() = default;

FrameReader::FrameReader(const std::filesystem::path& path) : m_path(path) {
    auto file = std::make_shared<SourceFile>(path);
    if (!file->isOpen()) {
        m_atEnd = true;
        return;
    }
    m_file = std::move(file);
    m_atEnd = false;
    readNext();
}

FrameReader::FrameReader(const FrameReader&) = default;
FrameReader& FrameReader::operator=(const FrameReader&) = default;
FrameReader::FrameReader(FrameReader&&) noexcept = default;
FrameReader& FrameReader::operator=(FrameReader&&) noexcept = default;
FrameReader::~FrameReader() = default;

bool FrameReader::isOpen() const {
    return m_file && m_file->isOpen();
}

void FrameReader::close() {
    if (m_file) {
        m_file->close();
    }
    m_atEnd = true;
}

int FrameReader::nextByte() {
    const int byte = m_file->byteAt(m_position);
    if (byte < 0) {
        throw Exception_EndOfStream();
    }
    ++m_position;
    return byte;
}

void FrameReader::skipId3v2Tags() {
    std::array<std::uint8_t, kId3v2HeaderSize> head{};
    while (m_file->readAt(m_position, head.data(), head.size()) == head.size()) {
        const std::int64_t size = id3v2TagSize(head.data());
        if (size <= 0) {
            return;
        }
        m_position += size;
    }
}

FrameHeader FrameReader::findHeader() {
    for (;;) {
        if (nextByte() != 0xFF) {
            continue;
        }
        const int second = nextByte();
        if ((second & 0xE0) != 0xE0) {
            continue;
        }
        std::array<std::uint8_t, 2> rest{};
        const std::size_t got = m_file->readAt(m_position, rest.data(), 2);
        if (got == 0) {
            throw Exception_EndOfStream();
        }
        m_position += static_cast<std::int64_t>(got);
        FrameHeader header;
        header.offset = m_position - 2 - static_cast<std::int64_t>(got);
        header.raw = {0xFF, static_cast<std::uint8_t>(second), rest[0], got > 1 ? rest[1] : std::uint8_t{0}};
        header.parse();
        return header;
    }
}

void FrameReader::readNext() {
    if (!isOpen()) {
        return;
    }
    try {
        skipId3v2Tags();
        FrameHeader header = findHeader();
        // A false sync (no valid frame codes) does not end the stream: search on from the next byte.
        while (!header.describesFrame()) {
            m_position = header.offset + 1;
            header = findHeader();
        }
        m_header = header;
        m_frameNumber = static_cast<int>(m_frameIndex.size());
        m_frameIndex.push_back(header.offset);
        const int length = header.frameLength();
        std::copy(header.raw.begin(), header.raw.end(), m_frame.begin());
        const std::size_t got =
            m_file->readAt(m_position, m_frame.data() + 4, static_cast<std::size_t>(length - 4));
        m_position += static_cast<std::int64_t>(got);
        if (got == 0) {
            throw Exception_EndOfStream();
        }
        // A frame cut short by the end of the file keeps only the bytes the file holds.
        m_frameLength = 4 + static_cast<int>(got);
        m_atEnd = false;
    } catch (const Exception_EndOfStream&) {
        m_atEnd = true;
    }
}

void FrameReader::advance(int n) {
    if (n <= 0) {
        stepBack(-n);
        return;
    }
    for (int i = 0; i < n; ++i) {
        readNext();
    }
}

FrameReader FrameReader::advanced(int n) const {
    FrameReader copy(*this);
    copy.advance(n);
    return copy;
}

void FrameReader::stepBack(int n) {
    // On frame 0 there is nowhere to go; a reader at its end still returns to its last frame.
    if (!isOpen() || m_frameIndex.empty() || (m_frameIndex.size() < 2 && !m_atEnd) || n < 0) {
        return;
    }
    const std::size_t removable = m_frameIndex.size() - 1;
    const std::size_t count = std::min(static_cast<std::size_t>(n), removable);
    m_frameIndex.erase(m_frameIndex.end() - static_cast<std::ptrdiff_t>(count), m_frameIndex.end());
    m_position = m_frameIndex.back();
    m_frameIndex.pop_back();
    readNext();
}

void FrameReader::seekToFrame(int frame, const FrameOffsets& offsets) {
    if (!isOpen() || frame < 0) {
        return;
    }
    if (static_cast<std::size_t>(frame) >= offsets.size()) {
        advance(frame - m_frameNumber);
        return;
    }
    m_frameIndex.assign(offsets.begin(), offsets.begin() + frame);
    m_position = offsets[static_cast<std::size_t>(frame)];
    readNext();
}

bool FrameReader::operator==(const FrameReader& other) const {
    if (atEnd() || other.atEnd()) {
        return atEnd() && other.atEnd();
    }
    return m_frameNumber == other.m_frameNumber && m_file == other.m_file;
}

} // namespace mp3
