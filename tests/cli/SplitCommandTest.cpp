#include "support/FrameFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;

namespace {

std::string cli() {
    return std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli";
}

std::string split(const std::string& arguments, int* status) {
    return runCommand(cli() + " split " + arguments + " 2>&1", status);
}

TEST(SplitCommand, CutsAtTheGivenFramesLikeSaveAll) {
    const auto dir = scratchDir("cli-split-at");
    const auto source = writeNumberedFrames(dir / "book.mp3", 1000);
    int status = -1;
    const std::string out =
        split(shellPath(source) + " -o " + shellPath(dir / "out") + " --at 300,100", &status);
    EXPECT_EQ(status, 0) << out;
    const auto piece = [&](int number) {
        return shellPath(dir / "out") + toolSeparator() + "book-" + std::to_string(number) + ".mp3";
    };
    EXPECT_EQ(
        out,
        "Separated block 0 F - 100 F has been saved, total size 41700 Bytes of the block's frames, "
        "written to " +
            piece(0) +
            " as 41700 Bytes\n"
            "Separated block 100 F - 300 F has been saved, total size 83400 Bytes of the block's frames, "
            "written to " +
            piece(1) +
            " as 83400 Bytes\n"
            "Separated block 300 F - 999 F has been saved, total size 291900 Bytes of the block's frames, "
            "written to " +
            piece(2) + " as 291900 Bytes\n");
    EXPECT_EQ(readBytes(dir / "out" / "book-1.mp3"), frameBytes(source, 100, 300));
    EXPECT_EQ(readBytes(dir / "out" / "book-2.mp3"), frameBytes(source, 300, 1000));
}

TEST(SplitCommand, ReadsBreakPointFilesAndOverlaps) {
    const auto dir = scratchDir("cli-split-bps");
    const auto source = writeNumberedFrames(dir / "book.mp3", 1000);
    // 100, -1 and 1000 (both dropped), 600, and two stray bytes.
    writeBytes(dir / "cuts.bps",
               {0x64, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xE8, 0x03, 0, 0, 0x58, 0x02, 0, 0, 0x2C, 0x01});
    int status = -1;
    const std::string out = split(shellPath(source) + " -o " + shellPath(dir) + " --breakpoints " +
                                      shellPath(dir / "cuts.bps") + " --overlap 1",
                                  &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(
        out.find(
            "Separated block 100 F - 600 F has been saved, total size 208500 Bytes of the block's frames, "
            "written to " +
            shellPath(dir) + toolSeparator() + "book-1.mp3 as " + std::to_string(208500 + 78 * 417) +
            " Bytes"),
        std::string::npos)
        << out;
    std::vector<std::uint8_t> middle = frameBytes(source, 61, 600);
    append(middle, frameBytes(source, 600, 639));
    EXPECT_EQ(readBytes(dir / "book-1.mp3"), middle);
    EXPECT_FALSE(std::filesystem::exists(dir / "book-3.mp3"));
}

TEST(SplitCommand, FailsWhenAPieceFailsOrTheInputIsWrong) {
    const auto dir = scratchDir("cli-split-fail");
    const auto source = writeNumberedFrames(dir / "book.mp3", 200);
    std::filesystem::create_directories(dir / "book-1.mp3");
    int status = 0;
    const std::string out = split(shellPath(source) + " -o " + shellPath(dir) + " --at 100", &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("Separated block 100 F - 199 F could not be saved to"), std::string::npos) << out;

    const std::string usage[] = {shellPath(source),
                                 shellPath(source) + " -o " + shellPath(dir) + " --at 1,x",
                                 shellPath(source) + " -o " + shellPath(dir) + " --at 5 --count 3",
                                 shellPath(dir / "none.mp3") + " -o " + shellPath(dir),
                                 shellPath(source) + " -o " + shellPath(dir) + " --breakpoints " +
                                     shellPath(dir / "no.bps"),
                                 shellPath(source) + " -o " + shellPath(dir) + " --breakpoints /dev/zero",
                                 shellPath(source) + " -o " + shellPath(dir) + " --overlap -1"};
    for (const std::string& arguments : usage) {
        status = 0;
        const std::string complaint = split(arguments, &status);
        EXPECT_NE(status, 0) << arguments;
        EXPECT_EQ(complaint.rfind("kerfline-cli: ", 0), 0u) << complaint;
    }

    // A refused method writes nothing rather than the file in one piece.
    const auto refused = dir / "refused";
    status = 0;
    const std::string complaint =
        split(shellPath(source) + " -o " + shellPath(refused) + " --count 2000000000", &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(complaint.find("The number of blocks 2000000000 is more than the number of frames 200 F"),
              std::string::npos)
        << complaint;
    EXPECT_TRUE(std::filesystem::is_empty(refused));
}

// A source name so long that "-10.mp3" makes the piece name longer than a file system takes: the
// default names are checked before the first piece, and the name shortened, keeping the number and
// the extension, rather than the run failing at the eleventh piece after writing ten.
TEST(SplitCommand, DefaultNamesTooLongAreShortenedBeforeAnythingIsWritten) {
    const auto dir = scratchDir("cli-split-long-name");
    const std::string stem(249, 'a');
    const auto source = writeNumberedFrames(dir / (stem + ".mp3"), 120);
    int status = -1;
    const std::string out = split("'" + shellPath(source) + "' -o " + shellPath(dir / "out") +
                                      " --at 10,20,30,40,50,60,70,80,90,100",
                                  &status);
    EXPECT_EQ(status, 0) << out;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 11u) << out;
    for (int number = 0; number <= 10; ++number) {
        const std::string ending = "-" + std::to_string(number) + ".mp3";
        const auto name = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
            return n.ends_with(ending) && n.find_first_not_of('a') == n.size() - ending.size();
        });
        ASSERT_NE(name, names.end()) << ending;
        EXPECT_LE(name->size(), 255u);
        const int digits = number < 10 ? 1 : 2;
        EXPECT_EQ(name->size(), std::min<std::size_t>(255, 249 + 5 + digits)) << *name;
    }
}

} // namespace
