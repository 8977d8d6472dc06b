#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

std::string edit(const std::string& arguments, int* status) {
    return runCommand(std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli edit " + arguments + " 2>&1", status);
}

// Frames, times in every form and the complement as --keep ranges give the same copy.
TEST(EditCommand, FramesTimesAndKeptRangesNameTheSameFrames) {
    const auto dir = scratchDir("cli-edit");
    const std::string source = shellPath(fixture("cbr128.mp3"));
    // Frame k starts at (k - 1) * 1152 / 44100 s behind the Info frame: 20 at 0.496 s, 40 at 1.019 s.
    const std::string ways[] = {"--remove 20-40", "--remove 20f-40f", "--remove 0.5s-0:01.02",
                                "--remove 0:00:00.500-1.02s", "--keep 0-20 --keep 40-"};
    std::vector<std::uint8_t> first;
    for (const std::string& way : ways) {
        SCOPED_TRACE(way);
        int status = -1;
        const auto out = dir / "out.mp3";
        const std::string log = edit(source + " -o " + shellPath(out) + " " + way, &status);
        EXPECT_EQ(status, 0) << log;
        EXPECT_NE(log.find("The edited copy has been saved to"), std::string::npos) << log;
        if (first.empty()) {
            first = readBytes(out);
        } else {
            EXPECT_EQ(readBytes(out), first);
        }
    }
}

TEST(EditCommand, ExitStatusesOfTheOtherCommands) {
    const auto dir = scratchDir("cli-edit-status");
    const std::string source = shellPath(fixture("cbr128.mp3"));
    const std::string out = shellPath(dir / "out.mp3");
    struct Case {
        std::string arguments;
        int status;
    };
    const Case cases[] = {
        {source + " -o " + out, 2},                              // no range
        {source + " -o " + out + " --remove 20", 2},             // no dash
        {source + " -o " + out + " --remove 40-20", 2},          // empty range
        {source + " -o " + out + " --remove 1x-20", 2},          // not a position
        {source + " -o " + out + " --remove 1-2 --keep 3-4", 2}, // both kinds
        {source + " -o " + out + " --remove 500-600", 2},        // past the end
        {shellPath(dir / "missing.mp3") + " -o " + out + " --remove 1-2", 1},
        {source + " -o " + source + " --remove 1-2", 1}, // the source itself
        {source + " -o " + out + " --remove 0-", 1},     // nothing kept
        {source + " -o " + out + " --remove 0-10 --no-tags --chapters", 0},
    };
    for (const Case& c : cases) {
        int status = -1;
        const std::string log = edit(c.arguments, &status);
        EXPECT_EQ(status, c.status) << c.arguments << "\n" << log;
    }
}

// Ranges in frames are copied while the source is still being walked, before its frame count is
// known: a range past the end is still refused with the count, and nothing is written.
TEST(EditCommand, RangesPastTheEndAreNamedWithTheFrameCount) {
    const auto dir = scratchDir("cli-edit-past-end");
    const std::string source = shellPath(fixture("cbr128.mp3"));
    const auto out = dir / "out.mp3";
    const std::pair<std::string, std::string> cases[] = {
        {"--remove 10-20 --remove 500-600", "the range 500 F - 600 F holds no frame of the 79 in"},
        {"--remove 500-", "the range 500 F - 79 F holds no frame of the 79 in"},
        {"--keep 79-80", "the range 79 F - 80 F holds no frame of the 79 in"},
    };
    for (const auto& [ranges, message] : cases) {
        int status = -1;
        const std::string log = edit(source + " -o " + shellPath(out) + " " + ranges, &status);
        EXPECT_EQ(status, 2) << ranges;
        EXPECT_NE(log.find(message), std::string::npos) << log;
        EXPECT_TRUE(std::filesystem::is_empty(dir)) << ranges;
    }
    int status = -1;
    const std::string log = edit(source + " -o " + shellPath(out) + " --keep 78-80", &status);
    EXPECT_EQ(status, 0) << log;
}

// A copy that cannot be created says why, also when the source is still being walked.
TEST(EditCommand, ACopyThatCannotBeCreatedSaysWhy) {
    const auto dir = scratchDir("cli-edit-cannot-create");
    const std::string source = shellPath(fixture("cbr128.mp3"));
    writeBytes(dir / "taken.mp3", {1, 2, 3});
    const std::pair<std::string, std::string> cases[] = {
        {"-o " + shellPath(dir / "taken.mp3") + " --no-clobber --remove 10-20", ": the file already exists"},
        {"-o " + shellPath(dir / "no" / "out.mp3") + " --remove 10-20", ": No such file or directory"},
        {"-o " + source + " --remove 10-20", ": it is the loaded source file"},
        {"-o " + shellPath(dir / "no" / "out.mp3") + " --remove 0-", ": every block has been removed"},
    };
    for (const auto& [arguments, why] : cases) {
        int status = -1;
        const std::string log = edit(source + " " + arguments, &status);
        EXPECT_EQ(status, 1) << arguments;
        EXPECT_NE(log.find("The edited copy could not be saved to "), std::string::npos) << log;
        EXPECT_NE(log.find(why), std::string::npos) << log;
    }
    EXPECT_EQ(readBytes(dir / "taken.mp3"), (std::vector<std::uint8_t>{1, 2, 3}));
}

} // namespace
