#pragma once

#include "document/formats/FrameTimeline.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// When each frame of the loaded file is heard, as FrameTimeline places it: frame 0, when it is a
// Xing or Info frame, carries the file's header data and decodes to silence that players leave out.
struct FrameClock {
    int samplesPerFrame = 1152;
    int sampleRate = 44100;
    int firstAudioFrame = 0;

    FrameTimeline timeline() const { return {sampleRate, samplesPerFrame, firstAudioFrame, 0}; }
    // Milliseconds from the start of the decoded audio to the start of `frame`; 0 before it.
    std::int64_t startMs(std::int64_t frame) const { return timeline().startMs(frame); }
};

// Whether the frame in `bytes` (header included) is a header frame (Xing, Info or VBRI) rather than
// audio.
bool isXingOrInfoFrame(const std::uint8_t* bytes, std::size_t length);

// The clock of a file from its first frame, read at `offset` with `length` bytes; empty when the
// bytes cannot be read or do not open with a frame header.
std::optional<FrameClock> readFrameClock(const std::filesystem::path& path, std::int64_t offset,
                                         std::size_t length);

// "h:mm:ss.mmm".
std::string formatFrameTime(std::int64_t milliseconds);
