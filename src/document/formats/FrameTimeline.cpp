#include "document/formats/FrameTimeline.h"

#include "engine/XingFrame.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr std::uint32_t kMpeg1 = 3;
constexpr std::uint32_t kLayer3 = 1;
constexpr std::uint32_t kMono = 3;

bool holdsTag(const std::uint8_t* frame, std::size_t length, std::size_t at, const char* tag) {
    return at + 4 <= length && std::memcmp(frame + at, tag, 4) == 0;
}

} // namespace

int samplesPerFrame(const mp3::FrameHeader& header) {
    // The engine's count, the one the piece headers and their gapless trims use.
    return mp3::samplesPerFrame(header);
}

bool isInfoFrame(const std::uint8_t* frame, std::size_t length, const mp3::FrameHeader& header) {
    if (header.layer != kLayer3) {
        return false;
    }
    // The Xing/Info block follows the side information, whose size depends on version and channels.
    const bool mono = header.channelMode == kMono;
    const std::size_t sideInfo = header.version == kMpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    // lame writes it there even when a CRC follows the header; some writers count the CRC.
    const std::size_t crc = header.protection == 0 ? 2 : 0;
    for (const std::size_t xingAt : {4 + sideInfo, 4 + crc + sideInfo}) {
        if (holdsTag(frame, length, xingAt, "Xing") || holdsTag(frame, length, xingAt, "Info")) {
            return true;
        }
    }
    // VBRI (the Fraunhofer encoder's block) sits at a fixed place after 32 bytes.
    constexpr std::size_t kVbriAt = 4 + 32;
    return holdsTag(frame, length, kVbriAt, "VBRI");
}

FrameTimeline makeTimeline(const mp3::FrameHeader& header, const std::uint8_t* frame, std::size_t length,
                           int frameCount) {
    FrameTimeline timeline;
    timeline.sampleRate = header.sampleRate() > 0 ? header.sampleRate() : 44100;
    timeline.samplesPerFrame = ::samplesPerFrame(header);
    timeline.leadingFrames = frameCount > 0 && isInfoFrame(frame, length, header) ? 1 : 0;
    timeline.frameCount = frameCount;
    return timeline;
}

std::int64_t FrameTimeline::samplesBefore(std::int64_t frame) const {
    const std::int64_t audioFrames = frame > leadingFrames ? frame - leadingFrames : 0;
    return audioFrames * samplesPerFrame;
}

double FrameTimeline::frameStart(int frame) const {
    return sampleRate > 0 ? static_cast<double>(samplesBefore(frame)) / sampleRate : 0.0;
}

std::int64_t FrameTimeline::startMs(std::int64_t frame) const {
    // To the nearest millisecond, halves up.
    return sampleRate > 0 ? (samplesBefore(frame) * 1000 + sampleRate / 2) / sampleRate : 0;
}

int FrameTimeline::nearestFrame(double seconds) const {
    if (!(seconds > 0.0)) {
        return 0;
    }
    const double audioFrame = std::floor(seconds * sampleRate / samplesPerFrame + 0.5);
    // Times far beyond any file still map past the end instead of overflowing.
    if (audioFrame >= static_cast<double>(std::numeric_limits<int>::max() - leadingFrames)) {
        return std::numeric_limits<int>::max();
    }
    const int frame = static_cast<int>(audioFrame);
    return frame <= 0 ? 0 : frame + leadingFrames;
}
