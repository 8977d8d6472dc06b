#pragma once

#include "engine/FrameReader.h"
#include "output/PieceFile.h"
#include "output/SourceFrames.h"

#include <cstddef>
#include <cstdint>
#include <functional>

class LevelApplier;

// The fewest frames a writer copies between two progress steps: a step of a short file is a few dozen
// frames, too few for the system's file-to-file copy (PieceFile::kSystemCopyMinimum), and each would
// then pass the write buffer.
constexpr int kFramesPerCopyStep = 2048;

struct CopyResult {
    int frames = 0;
    std::uint64_t bytes = 0; // accepted by the piece
};

// Writes the reader's current frame; returns the bytes the piece accepted.
std::size_t writeFrame(const mp3::FrameReader& reader, PieceFile& piece);
// Writes the frames from `start` up to (not including) `end`, moving `start` to `end` (or to the end
// of the stream when that comes first).
CopyResult copyFrames(mp3::FrameReader& start, const mp3::FrameReader& end, PieceFile& piece);
// The same for the frames [from, to) of a walked source; `to` beyond the last frame stops there.
// With `levels`, the frames it changes are changed on their way into the piece.
CopyResult copyFrames(SourceFrames& frames, int from, int to, PieceFile& piece,
                      LevelApplier* levels = nullptr);
// Reads the frames [from, to) in runs with `levels` applied, handing each run to `take` (bytes, count
// read, count wanted, source offset); stops when `take` returns false or the source ends early.
bool readWithLevels(
    const SourceFrames& frames, int from, int to, LevelApplier& levels,
    const std::function<bool(const std::uint8_t*, std::size_t, std::size_t, std::int64_t)>& take);
// Where a reader on frame 0 stands after advancing by `frames`: at most the frame count (its end);
// a reader on frame 0 does not step back.
int advancedPosition(const SourceFrames& frames, int by);
