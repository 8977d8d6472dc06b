#include "engine/StreamCheck.h"

#include "engine/FrameHeader.h"
#include "engine/FrameReader.h"
#include "engine/Id3v2.h"
#include "engine/SourceFile.h"

#include <array>

namespace mp3 {

namespace {

constexpr std::uint32_t kReservedVersion = 1;
constexpr std::uint32_t kReservedLayer = 0;
constexpr std::uint32_t kReservedSampleRate = 3;
constexpr std::uint32_t kFreeFormatBitrate = 0;
constexpr int kChainFrames = 3;

// The first four bytes after the leading ID3v2 tags that start with a sync pattern, parsed; false
// when the file holds none.
bool firstSyncHeader(const std::filesystem::path& path, FrameHeader& header) {
    SourceFile file(path);
    if (!file.isOpen()) {
        return false;
    }
    std::int64_t at = 0;
    std::array<std::uint8_t, kId3v2HeaderSize> head{};
    while (file.readAt(at, head.data(), head.size()) == head.size()) {
        const std::int64_t size = id3v2TagSize(head.data());
        if (size <= 0) {
            break;
        }
        at += size;
    }
    for (int byte = file.byteAt(at); byte >= 0; byte = file.byteAt(++at)) {
        if (byte != 0xFF) {
            continue;
        }
        const int second = file.byteAt(at + 1);
        if (second < 0) {
            return false;
        }
        if ((second & 0xE0) != 0xE0) {
            continue;
        }
        if (file.readAt(at, header.raw.data(), header.raw.size()) != header.raw.size()) {
            return false;
        }
        header.offset = at;
        return header.parse();
    }
    return false;
}

} // namespace

StreamProblem checkStream(const std::filesystem::path& path) {
    FrameReader reader(path);
    const FrameReader end;
    if (reader == end) {
        reader.close();
        return StreamProblem::NoFrame;
    }
    FrameHeader first;
    if (firstSyncHeader(path, first)) {
        if (first.version == kReservedVersion || first.layer == kReservedLayer ||
            first.sampleRateIndex == kReservedSampleRate) {
            reader.close();
            return StreamProblem::ReservedCodes;
        }
        if (first.bitrateIndex == kFreeFormatBitrate) {
            reader.close();
            return StreamProblem::FreeFormat;
        }
    }
    // What decoders check before they trust a sync: the next header lies where this frame ends.
    int chain = 0;
    std::int64_t expected = -1;
    for (; !(reader == end); reader.readNext()) {
        chain = reader.header().offset == expected ? chain + 1 : 1;
        if (chain >= kChainFrames) {
            reader.close();
            return StreamProblem::None;
        }
        expected = reader.header().offset + reader.frameLength();
    }
    reader.close();
    return StreamProblem::NoFrameChain;
}

std::string streamProblemText(StreamProblem problem, const std::string& pathText) {
    const std::string file = "The file " + pathText;
    const std::string notLoaded = "; it has not been loaded!";
    switch (problem) {
    case StreamProblem::None:
        break;
    case StreamProblem::NoFrame:
        return file + " is not an MP3 file: it holds no MPEG audio frame" + notLoaded;
    case StreamProblem::FreeFormat:
        return file + " is a free-format MP3 file, whose frames can not be found without decoding" +
               notLoaded;
    case StreamProblem::ReservedCodes:
        return file + " is not an MP3 file: its first frame header has reserved codes" + notLoaded;
    case StreamProblem::NoFrameChain:
        return file + " is not an MP3 file: no three of its frame headers follow each other" + notLoaded;
    case StreamProblem::NothingDecodes:
        return file + " is not an MP3 file: none of its frames can be decoded" + notLoaded;
    }
    return {};
}

std::int64_t countFrames(const std::filesystem::path& path, std::int64_t limit) {
    std::int64_t frames = 0;
    FrameReader reader(path);
    for (const FrameReader end; !(reader == end) && frames <= limit; reader.readNext()) {
        ++frames;
    }
    reader.close();
    return frames;
}

} // namespace mp3
