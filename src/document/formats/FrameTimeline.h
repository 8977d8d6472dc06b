#pragma once

#include "engine/FrameHeader.h"

#include <cstddef>
#include <cstdint>

// Where frames lie in time, for everything that shows or exchanges times (lists, chapters, the time
// pane, the command-line tool's reports); only the automatic methods keep their own millisecond sums.
// Frames are placed on the decoded timeline: every frame of a stream holds the same number of
// samples, and an Info (Xing/VBRI) frame at the start holds none, as decoders and players treat it.
// Frame k therefore starts at (k - i) * samplesPerFrame / sampleRate seconds, where i is 1 when
// frame 0 is such a frame.
struct FrameTimeline {
    int sampleRate = 44100;
    int samplesPerFrame = 1152;
    int leadingFrames = 0; // 1 when frame 0 carries stream information instead of audio
    int frameCount = 0;

    // Samples (per channel) decoded before `frame` starts: the audio frames before it times the
    // samples per frame. Every time below derives from this.
    std::int64_t samplesBefore(std::int64_t frame) const;
    // Seconds at which `frame` starts; an Info frame and the first audio frame both start at 0.
    double frameStart(int frame) const;
    // Milliseconds at which `frame` starts, rounded to the nearest (computed in integers, so exact
    // for any frame).
    std::int64_t startMs(std::int64_t frame) const;
    // The end of the last frame in milliseconds, rounded to the nearest.
    std::int64_t endMs() const { return startMs(frameCount); }
    // The frame whose start is nearest to `seconds`, for times at or after 0 (ties go to the later
    // frame). A time at the start of the audio gives frame 0, so the Info frame is never cut off on
    // its own. The answer may be frameCount or more for times past the last frame.
    int nearestFrame(double seconds) const;
    // The end of the last frame.
    double endSeconds() const { return frameStart(frameCount); }
};

// Samples per channel that one frame of this header decodes to.
int samplesPerFrame(const mp3::FrameHeader& header);

// True when the frame (header included) carries a Xing, Info or VBRI header instead of audio.
bool isInfoFrame(const std::uint8_t* frame, std::size_t length, const mp3::FrameHeader& header);

// The timeline of a stream whose frame 0 is `frame` with `header`.
FrameTimeline makeTimeline(const mp3::FrameHeader& header, const std::uint8_t* frame, std::size_t length,
                           int frameCount);
