#include "document/FrameTime.h"

#include "engine/FrameHeader.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

std::optional<mp3::FrameHeader> headerOf(const std::uint8_t* bytes, std::size_t length) {
    if (length < 4) {
        return std::nullopt;
    }
    mp3::FrameHeader header;
    std::copy(bytes, bytes + 4, header.raw.begin());
    if (!header.parse() || !header.describesFrame()) {
        return std::nullopt;
    }
    return header;
}

} // namespace

bool isXingOrInfoFrame(const std::uint8_t* bytes, std::size_t length) {
    // One test for header frames, shared with the break point lists, so times shown and times
    // imported or exported count from the same first audio frame.
    const std::optional<mp3::FrameHeader> header = headerOf(bytes, length);
    return header && isInfoFrame(bytes, length, *header);
}

std::optional<FrameClock> readFrameClock(const std::filesystem::path& path, std::int64_t offset,
                                         std::size_t length) {
    std::ifstream file(path, std::ios::binary);
    if (!file || offset < 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(length);
    file.seekg(offset);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, file.gcount())));
    const std::optional<mp3::FrameHeader> header = headerOf(bytes.data(), bytes.size());
    if (!header) {
        return std::nullopt;
    }
    FrameClock clock;
    clock.samplesPerFrame = ::samplesPerFrame(*header);
    clock.sampleRate = header->sampleRate();
    clock.firstAudioFrame = isXingOrInfoFrame(bytes.data(), bytes.size()) ? 1 : 0;
    return clock;
}

std::string formatFrameTime(std::int64_t milliseconds) {
    const std::int64_t ms = std::max<std::int64_t>(0, milliseconds);
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3'600'000),
                  static_cast<long long>(ms / 60'000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return text;
}
