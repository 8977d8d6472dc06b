#pragma once

#include "engine/FrameReader.h"

#include <filesystem>
#include <vector>

// The break points the automatic methods place, in the order they are appended.

// The middle of every run of at least `minimumFrames` silent frames (level <= 200) that a loud
// frame ends; trailing silence gives none.
std::vector<int> silenceBreakPoints(const std::vector<int>& levels, int minimumFrames);

// The N - 1 break points that cut F frames into N blocks of F / N frames, the remainder spread over
// them: k * F / N rounded to the nearest frame, halves up, for k = 1..N-1. Nothing for N <= 0.
std::vector<int> countBreakPoints(int frameCount, int blockCount);

// The frame whose whole-millisecond duration carries the running total past N seconds starts the
// next block. Reads only the frame headers at the offsets the loading scan recorded; without
// offsets it scans the file with a reader.
std::vector<int> lengthBreakPoints(const std::filesystem::path& path, const mp3::FrameOffsets& offsets,
                                   int blockSeconds);
