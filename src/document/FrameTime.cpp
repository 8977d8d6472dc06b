#include "document/FrameTime.h"

#include "engine/FrameHeader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

std::int64_t FrameClock::startMs(std::int64_t frame) const {
    if (sampleRate <= 0) {
        return 0;
    }
    const std::int64_t audioFrame = std::max<std::int64_t>(0, frame - firstAudioFrame);
    return audioFrame * samplesPerFrame * 1000 / sampleRate;
}

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

int samplesPerFrame(const mp3::FrameHeader& header) {
    constexpr std::uint32_t kLayerI = 3;
    constexpr std::uint32_t kLayerIII = 1;
    constexpr std::uint32_t kMpeg1 = 3;
    if (header.layer == kLayerI) {
        return 384;
    }
    return header.layer == kLayerIII && header.version != kMpeg1 ? 576 : 1152;
}

} // namespace

bool isXingOrInfoFrame(const std::uint8_t* bytes, std::size_t length) {
    const std::optional<mp3::FrameHeader> header = headerOf(bytes, length);
    if (!header) {
        return false;
    }
    constexpr std::uint32_t kMpeg1 = 3;
    constexpr std::uint32_t kMono = 3;
    const bool mono = header->channelMode == kMono;
    const std::size_t sideInfo = header->version == kMpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    // A protection bit of 0 means a 16-bit CRC follows the header.
    const std::size_t at = 4 + (header->protection == 0 ? 2 : 0) + sideInfo;
    if (length < at + 4) {
        return false;
    }
    return std::memcmp(bytes + at, "Xing", 4) == 0 || std::memcmp(bytes + at, "Info", 4) == 0;
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
    clock.samplesPerFrame = samplesPerFrame(*header);
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
