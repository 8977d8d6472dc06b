#include "document/MainTagStream.h"

#include "engine/FrameHeader.h"
#include "engine/Id3v2.h"
#include "engine/Id3v2Nesting.h"
#include "settings/PathText.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace {

constexpr long kScanBlock = 1 << 16;

std::uint32_t bigEndian(const TagLib::ByteVector& bytes) {
    std::uint32_t value = 0;
    for (unsigned i = 0; i < 4; ++i) {
        value = value << 8 | static_cast<std::uint8_t>(i < bytes.size() ? bytes[i] : 0);
    }
    return value;
}

// Files of other kinds that TagLib reads with readers of their own, which look for an ID3v2 tag at the
// start at most: the search for an MPEG tag would read them whole for nothing.
bool containerMagic(const TagLib::ByteVector& magic) {
    for (const char* other : {"fLaC", "OggS", "MAC ", "wvpk", "TTA1", "MPCK", "MP+", "\x30\x26\xB2\x75"}) {
        if (magic.startsWith(other)) {
            return true;
        }
    }
    return false;
}

// The extensions TagLib's FileRef reads with its MPEG reader.
bool mpegName(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".mp3" || extension == ".mp2" || extension == ".aac";
}

} // namespace

MainTagStream::MainTagStream(const std::filesystem::path& path)
    : m_path(path), m_file(path.c_str(), /*openReadOnly=*/true) {
    if (!m_file.isOpen()) {
        return;
    }
    m_file.seek(0);
    const TagLib::ByteVector magic = m_file.readBlock(4);
    const bool chunks = magic == "RIFF" || magic == "FORM";
    if (chunks) {
        for (const long at : findChunkTags(magic == "FORM")) {
            checkTagAt(at);
        }
    }
    // TagLib reads a file named as MPEG with its MPEG reader whatever it holds.
    if (mpegName(path) || !(chunks || containerMagic(magic))) {
        if (const long at = findMpegTag(); at >= 0) {
            checkTagAt(at);
        }
    }
    m_file.seek(0);
}

void MainTagStream::checkTagAt(long at) {
    m_file.seek(at);
    const TagLib::ByteVector head = m_file.readBlock(mp3::kId3v2HeaderSize);
    if (head.size() != static_cast<unsigned>(mp3::kId3v2HeaderSize)) {
        return;
    }
    const std::int64_t size = mp3::id3v2TagSize(reinterpret_cast<const std::uint8_t*>(head.data()));
    if (size <= 0) {
        return;
    }
    m_file.seek(at);
    const TagLib::ByteVector tag = m_file.readBlock(static_cast<unsigned long>(size));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(tag.data());
    if (mp3::chapterNestingWithinLimit(bytes, tag.size())) {
        return;
    }
    Patch patch{at, std::vector<std::uint8_t>(bytes, bytes + tag.size())};
    mp3::disarmChapterFrames(patch.bytes.data(), patch.bytes.size());
    m_patches.push_back(std::move(patch));
}

std::vector<long> MainTagStream::findChunkTags(bool bigEndianSizes) {
    // As TagLib's RIFF reader walks the chunks after the 12-byte file header, up to the first name
    // that is no chunk name.
    std::vector<long> tags;
    const long length = m_file.length();
    long offset = 12;
    while (offset + 8 <= length) {
        m_file.seek(offset);
        const TagLib::ByteVector header = m_file.readBlock(8);
        if (header.size() < 8 ||
            !std::all_of(header.begin(), header.begin() + 4, [](char c) { return c >= 32 && c <= 126; })) {
            break;
        }
        const std::uint32_t size = bigEndianSizes ? bigEndian(header.mid(4, 4))
                                                  : header.toUInt(4U, /*mostSignificantByteFirst=*/false);
        const TagLib::ByteVector name = header.mid(0, 4);
        if (name == "ID3 " || name == "id3 ") {
            tags.push_back(offset + 8);
        }
        offset += 8 + static_cast<long>(size) + static_cast<long>(size & 1);
    }
    return tags;
}

std::string MainTagStream::disarmedText() const {
    return "The ID3v2 tag of " + pathText(m_path) + " nests its chapters deeper than " +
           std::to_string(mp3::kMaxChapterNesting) + " levels, it has been read without its chapters!";
}

TagLib::ByteVector MainTagStream::readBlock(unsigned long length) {
    const long from = m_file.tell();
    TagLib::ByteVector block = m_file.readBlock(length);
    const long blockEnd = from + static_cast<long>(block.size());
    for (const Patch& patch : m_patches) {
        const long start = std::max(from, patch.at);
        const long end = std::min(blockEnd, patch.at + static_cast<long>(patch.bytes.size()));
        if (start < end) {
            std::memcpy(block.data() + (start - from), patch.bytes.data() + (start - patch.at),
                        static_cast<std::size_t>(end - start));
        }
    }
    return block;
}

long MainTagStream::findMpegTag() {
    // As TagLib's MPEG reader looks: from the start, the first "ID3" wins unless a frame it trusts
    // (a valid header whose frame is followed by a header of the same version, layer and rate)
    // comes first.
    const auto trustedFrameAt = [this](long offset, const std::uint8_t* bytes) {
        mp3::FrameHeader header;
        std::copy(bytes, bytes + 4, header.raw.begin());
        if (bytes[1] == 0xFF || !header.parse() || header.version == 1 || header.layer == 0 ||
            header.sampleRateIndex == 3) {
            return false;
        }
        const bool mpeg1 = header.version == 3;
        const int layerIndex = 3 - static_cast<int>(header.layer); // 0 Layer I, 1 II, 2 III
        const int row = mpeg1 ? layerIndex : (layerIndex == 0 ? 3 : 4);
        const long kbps = mp3::FrameHeader::kBitrates[row][header.bitrateIndex];
        const int rateRow = mpeg1 ? 0 : (header.version == 2 ? 1 : 2);
        const long rate = mp3::FrameHeader::kSampleRates[rateRow][header.sampleRateIndex];
        if (kbps <= 0 || rate <= 0) {
            return false;
        }
        static const long samples[3][2] = {{384, 384}, {1152, 1152}, {1152, 576}};
        static const long paddingSize[3] = {4, 1, 1};
        long length = samples[layerIndex][mpeg1 ? 0 : 1] * kbps * 125 / rate;
        if (header.padding) {
            length += paddingSize[layerIndex];
        }
        const long resume = m_file.tell();
        m_file.seek(offset + length);
        const TagLib::ByteVector next = m_file.readBlock(4);
        m_file.seek(resume);
        if (next.size() < 4) {
            return false;
        }
        constexpr std::uint32_t kMask = 0xFFFE0C00;
        const std::uint32_t first = static_cast<std::uint32_t>(bytes[0]) << 24 |
                                    static_cast<std::uint32_t>(bytes[1]) << 16 |
                                    static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
        return (first & kMask) == (bigEndian(next) & kMask);
    };
    long position = 0;
    m_file.seek(0);
    while (true) {
        m_file.seek(position);
        // Three bytes more than a block, so a pattern across the border is seen whole.
        const TagLib::ByteVector block = m_file.readBlock(kScanBlock + 3);
        if (block.size() < 3) {
            return -1;
        }
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(block.data());
        const long usable = std::min<long>(kScanBlock, static_cast<long>(block.size()) - 2);
        for (long i = 0; i < usable; ++i) {
            if (bytes[i] == 'I' && bytes[i + 1] == 'D' && bytes[i + 2] == '3') {
                return position + i;
            }
            if (bytes[i] == 0xFF && (bytes[i + 1] & 0xE0) == 0xE0 &&
                i + 3 < static_cast<long>(block.size()) && trustedFrameAt(position + i, bytes + i)) {
                return -1;
            }
        }
        if (static_cast<long>(block.size()) < kScanBlock + 3) {
            return -1;
        }
        position += kScanBlock;
    }
}
