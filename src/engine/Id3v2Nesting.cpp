#include "engine/Id3v2Nesting.h"

#include "engine/Id3v2.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace mp3 {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kFrameHeaderSize = 10;

// What reading one frame gives: the frame's size from its header, 0 when the reader stops there.
struct FrameStep {
    std::uint32_t size = 0;
    bool tooDeep = false;
};

struct TagKind {
    int majorVersion = 4;
    bool unsynchronised = false;
};

std::uint32_t bigEndian(Bytes bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = value << 8 | (i < bytes.size() ? bytes[i] : 0u);
    }
    return value;
}

// A syncsafe integer; as a plain one when a byte has its top bit set (what TagLib does for sizes
// that buggy writers stored plain).
std::uint32_t syncsafe(Bytes bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i) {
        if (bytes[i] & 0x80) {
            return bigEndian(bytes);
        }
        value = value << 7 | bytes[i];
    }
    return value;
}

Bytes from(Bytes bytes, std::size_t offset) {
    return offset < bytes.size() ? bytes.subspan(offset) : Bytes();
}

Bytes from(Bytes bytes, std::size_t offset, std::size_t length) {
    const Bytes rest = from(bytes, offset);
    return rest.first(std::min(length, rest.size()));
}

bool isFrameId(Bytes bytes) {
    return bytes.size() >= 4 && std::all_of(bytes.begin(), bytes.begin() + 4, [](std::uint8_t c) {
               return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
           });
}

bool isId(Bytes bytes, const char* id) {
    return bytes.size() >= 4 && std::memcmp(bytes.data(), id, 4) == 0;
}

// Removes the zero byte after every 0xFF.
std::vector<std::uint8_t> resynchronised(Bytes bytes) {
    std::vector<std::uint8_t> out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0x00) {
            ++i;
        }
    }
    return out;
}

// Where a Latin-1 string that starts at `position` ends (past its terminating zero); `position`
// itself when no zero follows.
std::size_t pastString(Bytes bytes, std::size_t position) {
    for (std::size_t i = position; i < bytes.size(); ++i) {
        if (bytes[i] == 0) {
            return i + 1;
        }
    }
    return position;
}

FrameStep readFrame(Bytes data, const TagKind& tag, int depth);

// The frames embedded in a chapter frame's fields from `position` on.
bool embeddedWithinLimit(Bytes fields, std::size_t position, const TagKind& tag, int depth) {
    if (position > fields.size() || fields.size() - position < kFrameHeaderSize) {
        return true;
    }
    const std::size_t room = fields.size() - position;
    std::size_t offset = 0;
    while (offset < room - kFrameHeaderSize) {
        const FrameStep step = readFrame(from(fields, position + offset), tag, depth);
        if (step.tooDeep) {
            return false;
        }
        if (step.size == 0) {
            return true;
        }
        offset += step.size + kFrameHeaderSize;
    }
    return true;
}

bool chapterFieldsWithinLimit(Bytes fields, bool tableOfContents, const TagKind& tag, int depth) {
    std::size_t position = pastString(fields, 0); // the element id
    if (tableOfContents) {
        if (fields.size() < 6) {
            return true;
        }
        const std::size_t flagsAt = position;
        const unsigned entries = flagsAt + 1 < fields.size() ? fields[flagsAt + 1] : 0;
        position += 2;
        for (unsigned i = 0; i < entries; ++i) {
            position = pastString(fields, position);
        }
    } else {
        if (fields.size() < 18) {
            return true;
        }
        position += 16; // start and end, as times and as offsets
    }
    return embeddedWithinLimit(fields, position, tag, depth + 1);
}

// One frame at the start of `data` (which runs on to the end of what holds it), as TagLib's frame
// factory reads it. Only chapter frames look inside.
FrameStep readFrame(Bytes data, const TagKind& tag, int depth) {
    if (tag.majorVersion < 3) {
        return {}; // three-letter ids: no chapter frames, and the walk need not go on
    }
    if (data.size() < kFrameHeaderSize) {
        return {};
    }
    const bool v4 = tag.majorVersion >= 4;
    std::uint32_t size = v4 ? syncsafe(from(data, 4, 4)) : bigEndian(from(data, 4, 4));
    // 32-bit sums, as TagLib adds them.
    const auto after = [](std::uint32_t frameSize) { return static_cast<std::uint32_t>(frameSize + 10u); };
    if (v4 && size > 127 && !isFrameId(from(data, after(size), 4))) {
        // Some writers store plain sizes in version 4 tags; TagLib takes the plain size when a frame
        // id follows it.
        const std::uint32_t plain = bigEndian(from(data, 4, 4));
        if (isFrameId(from(data, after(plain), 4))) {
            size = plain;
        }
    }
    const std::uint8_t flags = data[9];
    const bool compressed = v4 ? (flags & 0x08) != 0 : (flags & 0x80) != 0;
    const bool encrypted = v4 ? (flags & 0x04) != 0 : (flags & 0x40) != 0;
    const bool frameUnsynchronised = v4 && (flags & 0x02) != 0;
    const bool lengthIndicated = v4 && (flags & 0x01) != 0;
    if (size <= (lengthIndicated ? 4u : 0u) || size > data.size()) {
        return {};
    }
    if (!v4 && data[3] == 0) {
        return {size}; // a version 2.2 frame in a version 2.3 tag
    }
    if (!isFrameId(data)) {
        return {};
    }
    const bool chapter = isId(data, "CHAP");
    const bool tableOfContents = isId(data, "CTOC");
    if ((!chapter && !tableOfContents) || encrypted) {
        return {size};
    }
    if (depth >= kMaxChapterNesting || compressed) {
        return {size, true};
    }
    std::vector<std::uint8_t> decoded;
    Bytes frame = data;
    if (v4 && (tag.unsynchronised || frameUnsynchronised)) {
        decoded.assign(data.begin(), data.begin() + kFrameHeaderSize);
        const std::vector<std::uint8_t> body = resynchronised(from(data, kFrameHeaderSize, size));
        decoded.insert(decoded.end(), body.begin(), body.end());
        frame = decoded;
    }
    std::size_t fieldsAt = kFrameHeaderSize;
    std::size_t fieldsLength = size;
    if (lengthIndicated) {
        fieldsLength = syncsafe(from(frame, kFrameHeaderSize, 4));
        fieldsAt += 4;
    }
    const bool within =
        chapterFieldsWithinLimit(from(frame, fieldsAt, fieldsLength), tableOfContents, tag, depth);
    return {size, !within};
}

} // namespace

bool chapterNestingWithinLimit(const std::uint8_t* tag, std::size_t size) {
    if (size < static_cast<std::size_t>(kId3v2HeaderSize) || std::memcmp(tag, "ID3", 3) != 0) {
        return true;
    }
    const Bytes all(tag, size);
    TagKind kind;
    kind.majorVersion = tag[3];
    const std::uint8_t flags = tag[5];
    kind.unsynchronised = (flags & 0x80) != 0;
    std::uint32_t bodySize = 0;
    for (int i = 6; i < 10; ++i) {
        if (tag[i] & 0x80) {
            return true; // TagLib reads no tag with such a size
        }
        bodySize = bodySize << 7 | tag[i];
    }
    Bytes body = from(all, kId3v2HeaderSize, bodySize);
    std::vector<std::uint8_t> decoded;
    if (kind.unsynchronised && kind.majorVersion <= 3) {
        decoded = resynchronised(body);
        body = decoded;
    }
    std::size_t position = 0;
    std::size_t end = body.size();
    if (flags & 0x40) { // an extended header
        const std::uint32_t extended = syncsafe(from(body, 0, 4));
        if (extended <= body.size()) {
            position += extended;
            end -= extended;
        }
    }
    if ((flags & 0x10) && end >= kFrameHeaderSize) { // a footer
        end -= kFrameHeaderSize;
    }
    // TagLib's bound wraps below zero when fewer bytes remain than a frame header: it then reads
    // frames until one fails.
    const std::size_t bound = end > kFrameHeaderSize ? end - kFrameHeaderSize : SIZE_MAX;
    while (position < bound && position < body.size()) {
        if (body[position] == 0) {
            break; // padding
        }
        const FrameStep step = readFrame(from(body, position), kind, 0);
        if (step.tooDeep) {
            return false;
        }
        if (step.size == 0) {
            break;
        }
        position += step.size + kFrameHeaderSize;
    }
    return true;
}

void disarmChapterFrames(std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i + 4 <= size; ++i) {
        if (std::memcmp(bytes + i, "CHAP", 4) == 0) {
            std::memcpy(bytes + i, kDisarmedChapterId, 4);
        } else if (std::memcmp(bytes + i, "CTOC", 4) == 0) {
            std::memcpy(bytes + i, kDisarmedTocId, 4);
        }
    }
}

} // namespace mp3
