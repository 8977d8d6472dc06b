#include "support/Id3v2Bytes.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>

namespace testing_support {

std::vector<std::uint8_t> id3Size(std::uint32_t size, int version) {
    if (version >= 4) {
        return {static_cast<std::uint8_t>(size >> 21 & 0x7F), static_cast<std::uint8_t>(size >> 14 & 0x7F),
                static_cast<std::uint8_t>(size >> 7 & 0x7F), static_cast<std::uint8_t>(size & 0x7F)};
    }
    return {static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
            static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)};
}

std::vector<std::uint8_t> id3Frame(const std::string& id, const std::vector<std::uint8_t>& body, int version,
                                   std::uint8_t formatFlags) {
    std::vector<std::uint8_t> frame(id.begin(), id.end());
    append(frame, id3Size(static_cast<std::uint32_t>(body.size()), version));
    frame.push_back(0);
    frame.push_back(formatFlags);
    append(frame, body);
    return frame;
}

std::vector<std::uint8_t> id3TextFrame(const std::string& id, const std::string& text, int version) {
    std::vector<std::uint8_t> body{0};
    body.insert(body.end(), text.begin(), text.end());
    return id3Frame(id, body, version);
}

std::vector<std::uint8_t> id3Tag(int version, const std::vector<std::uint8_t>& frames, std::uint8_t flags) {
    std::vector<std::uint8_t> tag{'I', 'D', '3', static_cast<std::uint8_t>(version), 0, flags};
    append(tag, id3Size(static_cast<std::uint32_t>(frames.size()), 4));
    append(tag, frames);
    return tag;
}

std::vector<std::uint8_t> nestedChapterTag(int version, const std::string& id, int depth) {
    const bool chapter = id == "CHAP";
    // Element id, then times and offsets (CHAP) or flags and an empty child list (CTOC).
    std::vector<std::uint8_t> fields{'e', 0};
    fields.resize(chapter ? 18 : 4, 0);
    const std::vector<std::uint8_t> inner = id3TextFrame("TIT2", "Inside", version);
    std::vector<std::uint8_t> frames = id3TextFrame("TIT2", "Deep", version);
    std::size_t remaining = static_cast<std::size_t>(depth) * (10 + fields.size()) + inner.size();
    for (int level = 0; level < depth; ++level) {
        frames.insert(frames.end(), id.begin(), id.end());
        append(frames, id3Size(static_cast<std::uint32_t>(remaining - 10), version));
        frames.push_back(0);
        frames.push_back(0);
        append(frames, fields);
        remaining -= 10 + fields.size();
    }
    append(frames, inner);
    return id3Tag(version, frames);
}

std::vector<std::string> mutagenFrames(const std::filesystem::path& path) {
    int status = -1;
    const std::string out = runCommand("/usr/bin/python3 '" + std::string(KERFLINE_SOURCE_DIR) +
                                           "/tests/support/id3_frames.py' '" + path.string() + "' 2>&1",
                                       &status);
    EXPECT_EQ(status, 0) << "mutagen (python3-mutagen, from scripts/install-deps.sh): " << out;
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace testing_support
