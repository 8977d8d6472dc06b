#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace mp3 {

// Why a file is not taken for an MPEG audio stream. The reader finds frames by their sync pattern
// alone, so any file yields "frames": text, WAV data or a free-format stream (whose frame length
// the header does not give) would load as bogus frames and make garbage pieces.
enum class StreamProblem {
    None,
    NoFrame,       // no frame header at all
    FreeFormat,    // the first frame header gives no bitrate
    ReservedCodes, // the first frame header has a reserved version, layer or sampling frequency
    NoFrameChain,  // no three frames in a row, each header exactly where the frame before ends
    NothingDecodes // no frame gives PCM (known only once the frames have been decoded)
};

// Looks at the frame headers before anything is decoded. The first frame header is the first sync
// pattern after the ID3v2 tags at the start; a real stream leads with a chain of frames, so the walk
// ends as soon as three follow each other, and only a file that is no stream is read to its end.
StreamProblem checkStream(const std::filesystem::path& path);

// "… it has not been loaded!" for `problem` (not None).
std::string streamProblemText(StreamProblem problem, const std::string& pathText);

// Frame headers give at least this many bytes a frame (MPEG-2 Layer III at 8 kbit/s and 24 kHz), so
// a file of n bytes holds at most n / kSmallestFrameBytes frames.
constexpr std::int64_t kSmallestFrameBytes = 24;

// The frames of `path` as the reader meets them, counted without decoding; stops past `limit`.
std::int64_t countFrames(const std::filesystem::path& path, std::int64_t limit);

} // namespace mp3
