#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

using testing_support::fixture;
using testing_support::readBytes;
using testing_support::runCommand;
using testing_support::scratchDir;

namespace {

std::string cli(const std::string& arguments, int* status) {
    return runCommand("'" + std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli' " + arguments + " 2>&1",
                      status);
}

std::string quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

TEST(DocumentCommands, BreakpointsPrintsWhatEachMethodAppends) {
    const auto file = quoted(fixture("ten-seconds.mp3"));
    struct Case {
        std::string options;
        std::string output;
    };
    const Case cases[] = {
        {"--length 10", "384\n"},
        {"--count 3", "128\n257\n"}, // three blocks of 128, 129 and 128 frames
        {"--silence 1000", ""},
    };
    for (const Case& c : cases) {
        int status = -1;
        EXPECT_EQ(cli("breakpoints " + file + " " + c.options, &status), c.output) << c.options;
        EXPECT_EQ(status, 0) << c.options;
    }
}

TEST(DocumentCommands, BreakpointsFailuresExitNonZero) {
    const auto file = quoted(fixture("ten-seconds.mp3"));
    const auto missing = quoted(scratchDir("cli-missing") / "gone.mp3");
    for (const std::string& arguments :
         {"breakpoints " + file, "breakpoints " + file + " --count", "breakpoints " + file + " --count three",
          "breakpoints " + file + " --count 0", "breakpoints " + file + " --count 2 --length 3",
          "breakpoints " + missing + " --count 2",
          "breakpoints " + quoted(scratchDir("cli-folder")) + " --count 2",
          "breakpoints " + file + " --count 2000000000"}) {
        int status = 0;
        const std::string output = cli(arguments, &status);
        EXPECT_NE(status, 0) << arguments;
        EXPECT_NE(output.find("kerfline-cli: "), std::string::npos) << arguments;
    }
}

TEST(DocumentCommands, WavDecodesToTheSamplesOfMpg123) {
    const auto dir = scratchDir("cli-wav");
    const auto source = fixture("ten-seconds.mp3");
    int status = -1;
    const std::string output = cli("wav " + quoted(source) + " " + quoted(dir / "out.wav"), &status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("Current mp3 file has been saved to wav format."), std::string::npos) << output;

    const std::string reference = runCommand("mpg123 --no-gapless -q -s " + quoted(source), &status);
    ASSERT_EQ(status, 0);
    const auto wav = readBytes(dir / "out.wav");
    // Our first frame is the Info frame, decoded as one frame of silence; mpg123 skips it.
    ASSERT_EQ(wav.size(), 44u + 4608u + reference.size());
    EXPECT_TRUE(
        std::all_of(wav.begin() + 44, wav.begin() + 44 + 4608, [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(reference.begin(), reference.end(), wav.begin() + 44 + 4608,
                           [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));

    // sox reads the header as 2 channels of 16 bits at 44100 Hz.
    EXPECT_EQ(runCommand("soxi -c " + quoted(dir / "out.wav")), "2\n");
    EXPECT_EQ(runCommand("soxi -r " + quoted(dir / "out.wav")), "44100\n");
    EXPECT_EQ(runCommand("soxi -b " + quoted(dir / "out.wav")), "16\n");
}

TEST(DocumentCommands, WavFailuresExitNonZero) {
    const auto dir = scratchDir("cli-wav-fail");
    const auto source = dir / "song.mp3";
    std::filesystem::copy_file(fixture("cbr128.mp3"), source);
    const auto size = std::filesystem::file_size(source);
    for (const std::string& arguments :
         {"wav " + quoted(source) + " " + quoted(source),
          "wav " + quoted(source) + " " + quoted(dir / "x" / "y.wav"),
          "wav " + quoted(dir / "gone.mp3") + " " + quoted(dir / "out.wav"), "wav " + quoted(source)}) {
        int status = 0;
        const std::string output = cli(arguments, &status);
        EXPECT_NE(status, 0) << arguments;
        EXPECT_NE(output.find("kerfline-cli: "), std::string::npos) << output;
        EXPECT_EQ(output.find("has been saved to wav format"), std::string::npos) << output;
    }
    EXPECT_EQ(std::filesystem::file_size(source), size);
}

} // namespace
