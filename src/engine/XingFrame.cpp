#include "engine/XingFrame.h"

#include "engine/Crc16Fold.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace mp3 {

namespace {

constexpr std::uint32_t kFlagFrames = 1;
constexpr std::uint32_t kFlagBytes = 2;
constexpr std::uint32_t kFlagToc = 4;
constexpr std::uint32_t kFlagQuality = 8;

// Byte positions inside the LAME tag.
constexpr std::size_t kLameDelay = 21;
constexpr std::size_t kLameMusicLength = 28;
constexpr std::size_t kLameMusicCrc = 32;
constexpr std::size_t kLameTagCrc = 34;

std::uint32_t readBig32(const std::uint8_t* at) {
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) | at[3];
}

void writeBig32(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

void writeBig16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

// Eight tables for eight bytes at a time: the music CRC runs over every byte of every piece.
using CrcTables = std::array<std::array<std::uint16_t, 256>, 8>;

CrcTables makeCrcTables() {
    CrcTables tables{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned crc = byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
        tables[0][byte] = static_cast<std::uint16_t>(crc);
    }
    for (std::size_t k = 1; k < tables.size(); ++k) {
        for (unsigned byte = 0; byte < 256; ++byte) {
            const std::uint16_t previous = tables[k - 1][byte];
            tables[k][byte] = static_cast<std::uint16_t>((previous >> 8) ^ tables[0][previous & 0xFF]);
        }
    }
    return tables;
}

std::optional<FrameHeader> layerThreeHeader(const std::uint8_t* frame, std::size_t length) {
    if (length < 4) {
        return std::nullopt;
    }
    FrameHeader header;
    header.raw = {frame[0], frame[1], frame[2], frame[3]};
    if (!header.parse() || !header.describesFrame() || header.layer != 1) {
        return std::nullopt;
    }
    return header;
}

std::size_t sideInfoSize(const FrameHeader& header) {
    const bool mono = header.channelMode == 3;
    if (header.version == 3) {
        return mono ? 17 : 32;
    }
    return mono ? 9 : 17;
}

} // namespace

std::uint16_t crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc) {
    static const CrcTables tables = makeCrcTables();
    // Long runs are folded sixteen bytes a step; the folded lane and what is left are summed here.
    if (Crc16Folded folded{}; foldCrc16(data, size, crc, folded)) {
        const std::size_t rest = size % 16;
        crc = crc16(folded.lane, sizeof folded.lane, 0);
        return crc16(data + size - rest, rest, crc);
    }
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const unsigned low = (crc ^ data[i]) & 0xFF;
        const unsigned high = ((crc >> 8) ^ data[i + 1]) & 0xFF;
        crc = static_cast<std::uint16_t>(tables[7][low] ^ tables[6][high] ^ tables[5][data[i + 2]] ^
                                         tables[4][data[i + 3]] ^ tables[3][data[i + 4]] ^
                                         tables[2][data[i + 5]] ^ tables[1][data[i + 6]] ^
                                         tables[0][data[i + 7]]);
    }
    for (; i < size; ++i) {
        crc = static_cast<std::uint16_t>((crc >> 8) ^ tables[0][(crc ^ data[i]) & 0xFF]);
    }
    return crc;
}

GaplessTrim gaplessTrim(int samplesPerFrame, std::int64_t frames, std::int64_t begin, std::int64_t end) {
    return {begin - kDecoderDelay, frames * samplesPerFrame + kDecoderDelay - end};
}

int samplesPerFrame(const FrameHeader& header) {
    switch (header.layer) {
    case 3:
        return 384;
    case 2:
        return 1152;
    default:
        return header.version == 3 ? 1152 : 576;
    }
}

std::size_t dataAreaOffset(const FrameHeader& header) {
    return 4 + (header.protection == 0 ? 2 : 0) + sideInfoSize(header);
}

std::size_t xingOffset(const FrameHeader& header) {
    return 4 + sideInfoSize(header);
}

namespace {

// Where this frame's tag starts: where lame writes it and decoders look (see xingOffset), or else
// after the CRC, where a frame that has one may hold it instead.
std::size_t tagOffset(const std::uint8_t* frame, std::size_t length, const FrameHeader& header) {
    const std::size_t usual = xingOffset(header);
    const std::size_t afterCrc = dataAreaOffset(header);
    const auto holdsMagic = [&](std::size_t at) {
        return at + 4 <= length &&
               (std::memcmp(frame + at, "Xing", 4) == 0 || std::memcmp(frame + at, "Info", 4) == 0);
    };
    return !holdsMagic(usual) && holdsMagic(afterCrc) ? afterCrc : usual;
}

} // namespace

std::size_t xingFrameNeeds(const FrameHeader& header) {
    return xingOffset(header) + 8 + 4 + 4 + kTocSize + 4 + kLameTagSize;
}

LameTag LameTag::fresh(const char* encoder) {
    LameTag tag;
    const std::size_t length = std::min<std::size_t>(std::strlen(encoder), 9);
    std::memcpy(tag.m_raw.data(), encoder, length);
    return tag;
}

int LameTag::encoderDelay() const {
    return (m_raw[kLameDelay] << 4) | (m_raw[kLameDelay + 1] >> 4);
}

int LameTag::padding() const {
    return ((m_raw[kLameDelay + 1] & 0x0F) << 8) | m_raw[kLameDelay + 2];
}

std::uint32_t LameTag::musicLength() const {
    return readBig32(m_raw.data() + kLameMusicLength);
}

std::uint16_t LameTag::musicCrc() const {
    return static_cast<std::uint16_t>((m_raw[kLameMusicCrc] << 8) | m_raw[kLameMusicCrc + 1]);
}

std::uint16_t LameTag::tagCrc() const {
    return static_cast<std::uint16_t>((m_raw[kLameTagCrc] << 8) | m_raw[kLameTagCrc + 1]);
}

void LameTag::setEncoderDelay(int samples) {
    const int value = std::clamp(samples, 0, kMaxTrim);
    m_raw[kLameDelay] = static_cast<std::uint8_t>(value >> 4);
    m_raw[kLameDelay + 1] = static_cast<std::uint8_t>(((value & 0x0F) << 4) | (m_raw[kLameDelay + 1] & 0x0F));
}

void LameTag::setPadding(int samples) {
    const int value = std::clamp(samples, 0, kMaxTrim);
    m_raw[kLameDelay + 1] = static_cast<std::uint8_t>((m_raw[kLameDelay + 1] & 0xF0) | (value >> 8));
    m_raw[kLameDelay + 2] = static_cast<std::uint8_t>(value);
}

void LameTag::setMusicLength(std::uint32_t bytes) {
    writeBig32(m_raw.data() + kLameMusicLength, bytes);
}

void LameTag::setMusicCrc(std::uint16_t crc) {
    writeBig16(m_raw.data() + kLameMusicCrc, crc);
}

std::optional<XingFrame> XingFrame::parse(const std::uint8_t* frame, std::size_t length) {
    const std::optional<FrameHeader> header = layerThreeHeader(frame, length);
    if (!header) {
        return std::nullopt;
    }
    length = std::min(length, static_cast<std::size_t>(header->frameLength()));
    std::size_t at = tagOffset(frame, length, *header);
    if (at + 8 > length) {
        return std::nullopt;
    }
    XingFrame tag;
    if (std::memcmp(frame + at, "Xing", 4) == 0) {
        tag.vbr = true;
    } else if (std::memcmp(frame + at, "Info", 4) != 0) {
        return std::nullopt;
    }
    const std::uint32_t flags = readBig32(frame + at + 4);
    at += 8;
    const auto room = [&](std::size_t bytes) { return at + bytes <= length; };
    if ((flags & kFlagFrames) != 0) {
        if (!room(4)) {
            return tag;
        }
        tag.frames = readBig32(frame + at);
        at += 4;
    }
    if ((flags & kFlagBytes) != 0) {
        if (!room(4)) {
            return tag;
        }
        tag.bytes = readBig32(frame + at);
        at += 4;
    }
    if ((flags & kFlagToc) != 0) {
        if (!room(kTocSize)) {
            return tag;
        }
        std::array<std::uint8_t, kTocSize> toc{};
        std::memcpy(toc.data(), frame + at, kTocSize);
        tag.toc = toc;
        at += kTocSize;
    }
    if ((flags & kFlagQuality) != 0) {
        if (!room(4)) {
            return tag;
        }
        tag.quality = readBig32(frame + at);
        at += 4;
    }
    // An encoder's name opens the LAME tag; zeros or noise mean there is none.
    if (room(kLameTagSize) && std::isalpha(frame[at]) != 0) {
        std::array<std::uint8_t, kLameTagSize> raw{};
        std::memcpy(raw.data(), frame + at, kLameTagSize);
        tag.lame = LameTag(raw);
    }
    return tag;
}

bool writeXingFrame(const XingFrame& tag, std::uint8_t* frame, std::size_t length) {
    const std::optional<FrameHeader> header = layerThreeHeader(frame, length);
    if (!header) {
        return false;
    }
    length = std::min(length, static_cast<std::size_t>(header->frameLength()));
    const std::size_t start = tagOffset(frame, length, *header);
    if (start + 8 > length) {
        return false;
    }
    std::memcpy(frame + start, tag.vbr ? "Xing" : "Info", 4);
    std::size_t at = start + 8;
    std::uint32_t flags = 0;
    // Fields go in their fixed order while they fit; what follows a field that does not fit is
    // dropped too, since a reader finds each field by the flags before it.
    bool fits = true;
    const auto put = [&](std::uint32_t flag, const std::uint8_t* bytes, std::size_t size) {
        fits = fits && at + size <= length;
        if (fits) {
            std::memcpy(frame + at, bytes, size);
            flags |= flag;
            at += size;
        }
    };
    std::array<std::uint8_t, 4> word{};
    if (tag.frames) {
        writeBig32(word.data(), *tag.frames);
        put(kFlagFrames, word.data(), word.size());
    }
    if (tag.bytes) {
        writeBig32(word.data(), *tag.bytes);
        put(kFlagBytes, word.data(), word.size());
    }
    if (tag.toc) {
        put(kFlagToc, tag.toc->data(), kTocSize);
    }
    if (tag.quality) {
        writeBig32(word.data(), *tag.quality);
        put(kFlagQuality, word.data(), word.size());
    }
    writeBig32(frame + start + 4, flags);
    if (tag.lame && fits && at + kLameTagSize <= length) {
        std::memcpy(frame + at, tag.lame->raw().data(), kLameTagSize);
        const std::size_t crcAt = at + kLameTagCrc;
        writeBig16(frame + crcAt, crc16(frame, crcAt));
    }
    return true;
}

std::array<std::uint8_t, kTocSize> makeToc(const std::vector<std::uint32_t>& audioOffsets,
                                           std::uint32_t totalBytes) {
    std::array<std::uint8_t, kTocSize> toc{};
    if (audioOffsets.empty() || totalBytes == 0) {
        for (std::size_t i = 0; i < kTocSize; ++i) {
            toc[i] = static_cast<std::uint8_t>(i * 256 / kTocSize);
        }
        return toc;
    }
    const std::size_t count = audioOffsets.size();
    for (std::size_t i = 0; i < kTocSize; ++i) {
        const std::size_t frame = std::min(count - 1, i * count / kTocSize);
        const std::uint64_t scaled = std::uint64_t{audioOffsets[frame]} * 256 / totalBytes;
        toc[i] = static_cast<std::uint8_t>(std::min<std::uint64_t>(scaled, 255));
    }
    return toc;
}

std::vector<std::uint8_t> makeSilentFrame(const FrameHeader& model,
                                          const std::vector<std::uint8_t>& reservoir,
                                          std::size_t minimumLength) {
    FrameHeader header = model;
    header.raw[1] |= 0x01;                                            // no CRC
    header.raw[2] = static_cast<std::uint8_t>(header.raw[2] & ~0x02); // no padding slot
    for (unsigned index = std::max(1u, model.bitrateIndex); index < 15; ++index) {
        header.raw[2] = static_cast<std::uint8_t>((header.raw[2] & 0x0F) | (index << 4));
        if (!header.parse() || !header.describesFrame() || header.layer != 1) {
            return {};
        }
        const auto length = static_cast<std::size_t>(header.frameLength());
        const std::size_t dataStart = dataAreaOffset(header);
        if (length < minimumLength || length < dataStart + reservoir.size()) {
            continue;
        }
        std::vector<std::uint8_t> frame(length, 0);
        std::copy(header.raw.begin(), header.raw.end(), frame.begin());
        std::copy(reservoir.begin(), reservoir.end(),
                  frame.end() - static_cast<std::ptrdiff_t>(reservoir.size()));
        return frame;
    }
    return {};
}

int mainDataBegin(const std::uint8_t* frame, std::size_t length) {
    const std::optional<FrameHeader> header = layerThreeHeader(frame, length);
    if (!header) {
        return -1;
    }
    const std::size_t at = header->protection == 0 ? 6 : 4;
    if (at + 2 > length) {
        return -1;
    }
    if (header->version == 3) {
        return (frame[at] << 1) | (frame[at + 1] >> 7);
    }
    return frame[at];
}

} // namespace mp3
