#include "support/FrameFiles.h"
#include "support/Id3v2Bytes.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace testing_support;

// Every command that opens a file whose ID3v2 chapters nest 20,000 deep reads it (TagLib alone
// overflows its stack on it, status 139).
TEST(NestedChaptersCli, EveryCommandOpensTheFile) {
    const auto dir = scratchDir("cli-nested-chapters");
    std::vector<std::uint8_t> bytes = nestedChapterTag(4, "CHAP", 20000);
    append(bytes, readBytes(fixture("cbr128.mp3")));
    const auto path = dir / "nested.mp3";
    writeBytes(path, bytes);
    const std::string tool = std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli ";
    const std::string file = "'" + shellPath(path) + "' ";
    const std::string line = "The ID3v2 tag of " + shellPath(path) +
                             " nests its chapters deeper than 32 levels, it has been read "
                             "without its chapters!";
    struct Case {
        std::string arguments;
        int status;
        bool readsTag;
    };
    const Case cases[] = {
        {"info " + file, 0, false},
        {"split " + file + "-o '" + shellPath(dir) + "/out' --at 20 --copy-tags", 0, true},
        {"chapters " + file + "'" + shellPath(dir) + "/copy.mp3' --count 2", 0, true},
        {"wav " + file + "'" + shellPath(dir) + "/whole.wav'", 0, true},
        // The file's own chapters can not be read: a failure, not a crash.
        {"breakpoints " + file + "--chapters", 1, true},
    };
    std::filesystem::create_directories(dir / "out");
    for (const Case& c : cases) {
        int status = -1;
        const std::string err = runCommand(tool + c.arguments + " 2>&1 >/dev/null", &status);
        EXPECT_EQ(status, c.status) << c.arguments << "\n" << err;
        EXPECT_EQ(err.find(line) != std::string::npos, c.readsTag) << c.arguments << "\n" << err;
    }
    // The pieces keep the rest of the tag.
    const std::vector<std::string> frames = mutagenFrames(dir / "out" / "nested-1.mp3");
    EXPECT_NE(std::find(frames.begin(), frames.end(), "TIT2 Deep"), frames.end());
    EXPECT_NE(std::find(frames.begin(), frames.end(), "TRCK 2/2"), frames.end());
}
