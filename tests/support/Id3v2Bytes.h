#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// ID3v2 tags built byte by byte, for inputs no tag writer makes.

// Four size bytes: syncsafe for version 4, plain for version 3.
std::vector<std::uint8_t> id3Size(std::uint32_t size, int version);
// A frame with its 10-byte header.
std::vector<std::uint8_t> id3Frame(const std::string& id, const std::vector<std::uint8_t>& body, int version,
                                   std::uint8_t formatFlags = 0);
// A text frame in Latin-1.
std::vector<std::uint8_t> id3TextFrame(const std::string& id, const std::string& text, int version);
// A whole tag around `frames`.
std::vector<std::uint8_t> id3Tag(int version, const std::vector<std::uint8_t>& frames,
                                 std::uint8_t flags = 0);
// A tag of a TIT2 "Deep" followed by `depth` CHAP (or CTOC) frames, each embedded in the one before, the
// innermost holding a TIT2 "Inside". Built front to back, so 20,000 levels cost no more than their bytes.
std::vector<std::uint8_t> nestedChapterTag(int version, const std::string& id, int depth);

// The frames of the file's ID3v2 tag as mutagen reads them (tests/support/id3_frames.py, one line per
// frame after a "version 2.x" line). Fails the test when mutagen can not run.
std::vector<std::string> mutagenFrames(const std::filesystem::path& path);

} // namespace testing_support
