#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace testing_support {

// A 417-byte MPEG-1 Layer III frame (128 kbit/s, 44100 Hz, 26 ms) whose body carries its number, so
// that every frame of a file differs from the others.
std::vector<std::uint8_t> numberedFrame(int number);
// `count` numbered frames, after `prefix`.
std::filesystem::path writeNumberedFrames(const std::filesystem::path& path, int count,
                                          const std::vector<std::uint8_t>& prefix = {});

// How many frames our own reader finds in `path`.
int readerFrameCount(const std::filesystem::path& path);

// Frame offsets found by a walk of our own (MPEG-1 Layer III only, ID3v2 skipped), to check pieces
// against without trusting the reader under test.
struct WalkedFrame {
    std::int64_t offset;
    int length;
};
std::vector<WalkedFrame> independentWalk(const std::filesystem::path& path);
// The bytes of frames [from, to) of `source` by that walk.
std::vector<std::uint8_t> frameBytes(const std::filesystem::path& source, int from, int to);

} // namespace testing_support
