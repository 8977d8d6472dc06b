#pragma once

#include "document/MessageQueueLink.h"
#include "document/SplitDocument.h"
#include "support/FrameFiles.h"
#include "support/RecordingPrompts.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace output_test {

using testing_support::frameBytes;
using testing_support::independentWalk;
using testing_support::numberedFrame;
using testing_support::WalkedFrame;
using testing_support::writeNumberedFrames;

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
