#pragma once

#include "document/MessageQueueLink.h"
#include "document/SplitDocument.h"
#include "support/RecordingPrompts.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace output_test {

// A 417-byte MPEG-1 Layer III frame (128 kbit/s, 44100 Hz, 26 ms) whose body carries its number, so
// that every frame of a file differs from the others.
std::vector<std::uint8_t> numberedFrame(int number);
// `count` numbered frames, after `prefix`.
std::filesystem::path writeNumberedFrames(const std::filesystem::path& path, int count,
                                          const std::vector<std::uint8_t>& prefix = {});

// Frame offsets found by a walk of our own (MPEG-1 Layer III only, ID3v2 skipped), to check pieces
// against without trusting the reader under test.
struct WalkedFrame {
    std::int64_t offset;
    int length;
};
std::vector<WalkedFrame> independentWalk(const std::filesystem::path& path);
// The bytes of frames [from, to) of `source` by that walk.
std::vector<std::uint8_t> frameBytes(const std::filesystem::path& source, int from, int to);

// A document with its links and prompts, filled as a load leaves it.
struct TestDocument {
    MessageQueueLink frame;
    MessageQueueLink view;
    RecordingPrompts prompts;
    std::unique_ptr<SplitDocument> doc;

    explicit TestDocument(const std::filesystem::path& source);
    void setOverlap(bool on, int seconds);
    std::vector<std::string> lines() const { return frame.logLines(); }
    std::vector<std::string> lines(LogLevel level) const { return frame.logLines(level); }
};

// Runs mpg123 and mp3val on a piece; empty when both are content, otherwise what they said.
std::string toolComplaints(const std::filesystem::path& piece);

} // namespace output_test
