// The break point options every command that takes break points shares: one parser, the same
// values accepted and refused everywhere, --at as frames or times, and each fault told once.
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using testing_support::fixture;
using testing_support::shellPath;

struct CliRun {
    std::string out;
    std::string err;
    int status = -1;
};

std::string quoted(const std::filesystem::path& path) {
    return "'" + shellPath(path) + "'";
}

CliRun cli(const std::string& arguments) {
    static const auto dir = testing_support::scratchDir("cli-options-" + std::to_string(getpid()));
    const auto errFile = dir / "err";
    CliRun run;
    run.out =
        testing_support::runCommand("timeout 60 " + std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli " +
                                        arguments + " 2>'" + shellPath(errFile) + "' </dev/null",
                                    &run.status);
    const auto err = testing_support::readBytes(errFile);
    run.err.assign(err.begin(), err.end());
    return run;
}

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The three commands that take break points: split writes into the folder `out`, chapters the file
// `out`.mp3.
std::vector<std::string> commandsOn(const std::filesystem::path& source, const std::filesystem::path& out) {
    return {"breakpoints " + quoted(source) + " ", "split " + quoted(source) + " -o " + quoted(out) + " ",
            "chapters " + quoted(source) + " " + quoted(std::filesystem::path(shellPath(out) + ".mp3")) +
                " "};
}

bool nothingWritten(const std::filesystem::path& out) {
    return (!std::filesystem::exists(out) || std::filesystem::is_empty(out)) &&
           !std::filesystem::exists(shellPath(out) + ".mp3");
}

// ten-seconds.mp3: an Info frame and 384 audio frames of 1152 samples at 44.1 kHz (frames 0 to 384).
TEST(BreakPointOptions, BadValuesAreUsageErrorsInEveryCommand) {
    const auto dir = testing_support::scratchDir("cli-options-bad");
    const auto out = dir / "out";
    const std::string bad[] = {
        // Values no file accepts.
        "--length 0", "--length -5", "--length 1.5", "--length ten", "--count 0", "--count -3",
        "--silence -1", "--silence 0", "--tracks 0", "--min-silence -1", "--cut left", "--at", "--at ''",
        "--at 1,,2", "--at 5x", "--at 1.5", "--at 1:75", "--at -2s", "--at 1:2:3:4",
        // Options the commands do not know, or that repeat or clash.
        "--frobnicate 3", "--count 2 --count 3", "--at 10 --count 2", "--cue a.cue --labels b.txt",
        // Positions this file has no frame for: at or past its end, before frame 1.
        "--at 385", "--at 0", "--at -5", "--at 100,0s", "--at 0.01s", "--at 11s", "--at 1:02:03.5"};
    for (const std::string& options : bad) {
        for (const std::string& command : commandsOn(fixture("ten-seconds.mp3"), out)) {
            SCOPED_TRACE(command + options);
            const CliRun run = cli(command + options);
            EXPECT_EQ(run.status, 2) << run.err;
            EXPECT_EQ(run.err.rfind("kerfline-cli: ", 0), 0u) << run.err;
            EXPECT_EQ(lineCount(run.err), 1u) << run.err;
            EXPECT_EQ(run.out, "");
            EXPECT_TRUE(nothingWritten(out));
        }
    }
    // The refusal names the positions the file has no frame for, as typed.
    const CliRun outside =
        cli("breakpoints " + quoted(fixture("ten-seconds.mp3")) + " --at 0,100,385,2.5s,11s");
    EXPECT_NE(outside.err.find("--at 0, 385, 11s: no break point of '"), std::string::npos) << outside.err;
    EXPECT_NE(outside.err.find("', where frames 1 F to 384 F can start a block"), std::string::npos)
        << outside.err;

    // Options of split alone, and the chapters command without its output.
    for (const std::string& arguments :
         {"split " + quoted(fixture("ten-seconds.mp3")) + " -o " + quoted(out) + " --at 10 --overlap -1",
          "split " + quoted(fixture("ten-seconds.mp3")) + " -o " + quoted(out) + " --at 10 --overlap x",
          "breakpoints " + quoted(fixture("ten-seconds.mp3")) + " --at 10 --overlap 1",
          "chapters " + quoted(fixture("ten-seconds.mp3")) + " --count 2"}) {
        const CliRun run = cli(arguments);
        EXPECT_EQ(run.status, 2) << arguments << "\n" << run.err;
        EXPECT_EQ(run.err.rfind("kerfline-cli: ", 0), 0u) << run.err;
    }
    EXPECT_TRUE(nothingWritten(out));
}

TEST(BreakPointOptions, AtTakesFramesAndTimesInEveryCommand) {
    const std::string source = quoted(fixture("ten-seconds.mp3"));
    // A time becomes the frame starting nearest to it, one frame on behind the Info frame:
    // 2.5 s = 95.70 frames of 1152 / 44100 s, so audio frame 96, frame 97; 5 s = 191.41 -> 192.
    const struct {
        const char* at;
        std::vector<int> frames;
    } forms[] = {
        {"100", {100}},   {"100f", {100}},     {"100F", {100}}, {"2.5s", {97}},
        {"0:02.5", {97}}, {"0:00:02.5", {97}}, {"0:05", {192}}, {"7s", {269}},
        {"1", {1}},       {"384f", {384}},     {"0.03s", {2}},  {"2.5s,100,0:05", {97, 100, 192}},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(form.at);
        const CliRun run = cli("breakpoints " + source + " --at " + form.at);
        EXPECT_EQ(run.status, 0) << run.err;
        std::string expected;
        for (const int frame : form.frames) {
            expected += std::to_string(frame) + "\n";
        }
        EXPECT_EQ(run.out, expected);
        EXPECT_EQ(run.err, "");
    }

    // split cuts there...
    const auto dir = testing_support::scratchDir("cli-options-at");
    const CliRun split = cli("split " + source + " -o " + quoted(dir / "pieces") + " --at 2.5s,100,0:05");
    EXPECT_EQ(split.status, 0) << split.err;
    for (const char* block : {"Separated block 0 F - 97 F ", "Separated block 97 F - 100 F ",
                              "Separated block 100 F - 192 F ", "Separated block 192 F - 384 F "}) {
        EXPECT_NE(split.out.find(block), std::string::npos) << block << "\n" << split.out;
    }
    // ...and chapters start there, as ffprobe reads them: 96 and 191 frames of 1152 / 44100 s.
    const CliRun chapters = cli("chapters " + source + " " + quoted(dir / "book.mp3") + " --at 2.5s,0:05");
    ASSERT_EQ(chapters.status, 0) << chapters.err;
    int status = -1;
    const std::string probed = testing_support::runCommand(
        "ffprobe -v quiet -show_entries chapter=start_time -of csv=p=0 " + quoted(dir / "book.mp3"), &status);
    ASSERT_EQ(status, 0) << "ffprobe (scripts/install-deps.sh installs ffmpeg)";
    std::istringstream lines(probed);
    for (const double seconds : {0.0, 96 * 1152 / 44100.0, 191 * 1152 / 44100.0}) {
        std::string line;
        ASSERT_TRUE(std::getline(lines, line)) << probed;
        EXPECT_NEAR(std::stod(line), seconds, 0.0006) << line;
    }
}

// Every source works with every command that takes break points.
TEST(BreakPointOptions, EverySourceWorksWithEveryCommand) {
    const auto dir = testing_support::scratchDir("cli-options-sources");
    const auto source = fixture("ten-seconds.mp3");
    std::ofstream(dir / "list.txt") << "0:00 One\n0:04 Two\n";
    testing_support::writeBytes(dir / "cuts.bps", {0x64, 0, 0, 0});
    const std::string sources[] = {
        "--at 150",   "--breakpoints " + quoted(dir / "cuts.bps"), "--count 2",
        "--length 4", "--tracklist " + quoted(dir / "list.txt"),   "--silence-db -20"};
    int made = 0;
    for (const std::string& options : sources) {
        for (const std::string& command : commandsOn(source, dir / ("out" + std::to_string(made++)))) {
            const CliRun run = cli(command + options);
            // The tone has no silence: the silence finder's "nothing found" is its status 3.
            EXPECT_EQ(run.status, options.rfind("--silence", 0) == 0 ? 3 : 0)
                << command << options << run.err;
        }
    }
}

// A list that cannot be read is told once on stderr, not by the log, a box and the command each.
TEST(BreakPointOptions, AListErrorIsPrintedOnce) {
    const auto dir = testing_support::scratchDir("cli-options-list-error");
    std::ofstream(dir / "garbage.txt") << "00:00 Fine\nnot a track\n";
    for (const std::string& command : commandsOn(fixture("ten-seconds.mp3"), dir / "out")) {
        const CliRun run = cli(command + "--tracklist " + quoted(dir / "garbage.txt"));
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(lineCount(run.err), 1u) << command << "\n" << run.err;
        EXPECT_NE(run.err.find("line 2: "), std::string::npos) << run.err;
        EXPECT_EQ(run.err.rfind("kerfline-cli: ", 0), 0u) << run.err;
    }
}

// A break point at frame 1 behind an Info frame leaves a block of only that frame: not written, said.
TEST(BreakPointOptions, SplitAtFrameOneBehindAnInfoFrameWritesNoEmptyPiece) {
    const auto dir = testing_support::scratchDir("cli-options-info-block");
    const CliRun run = cli("split " + quoted(fixture("ten-seconds.mp3")) + " -o " + quoted(dir) + " --at 1");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Separated block 0 F - 1 F holds no audio frame, only the Info frame: it has not "
                           "been saved"),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(std::filesystem::exists(dir / "ten-seconds-0.mp3"));
    int status = -1;
    const std::string probed = testing_support::runCommand(
        "ffprobe -v quiet -show_entries format=duration -of csv=p=0 " + quoted(dir / "ten-seconds-1.mp3"),
        &status);
    EXPECT_EQ(status, 0);
    EXPECT_NEAR(std::stod(probed), 384 * 1152 / 44100.0, 0.0001);

    // A file of nothing but its Info frame has no piece to write: that is a failure, said once.
    auto infoFrame = testing_support::readBytes(fixture("ten-seconds.mp3"));
    infoFrame.resize(417);
    testing_support::writeBytes(dir / "info-only.mp3", infoFrame);
    const CliRun nothing =
        cli("split " + quoted(dir / "info-only.mp3") + " -o " + quoted(dir / "none") + " --count 1");
    EXPECT_EQ(nothing.status, 1) << nothing.out;
    EXPECT_EQ(lineCount(nothing.err), 1u) << nothing.err;
    EXPECT_TRUE(!std::filesystem::exists(dir / "none") || std::filesystem::is_empty(dir / "none"));
}

} // namespace

namespace {

// A fault the document reports (a box, a level-2 line) is the command's whole answer: no second line
// says again, in other words, that nothing was done.
TEST(BreakPointOptions, EveryFaultIsToldOnce) {
    const auto dir = testing_support::scratchDir("cli-options-told-once");
    const auto source = dir / "talk.mp3";
    testing_support::copyOver(fixture("ten-seconds.mp3"), source);
    const std::string cases[] = {
        "chapters " + quoted(source) + " " + quoted(source) + " --count 2",
        "breakpoints " + quoted(dir / "missing.mp3") + " --count 2",
        "chapters " + quoted(dir / "missing.mp3") + " " + quoted(dir / "out.mp3") + " --count 2",
        "wav " + quoted(source) + " " + quoted(dir / "no" / "folder" / "out.wav"),
        "breakpoints " + quoted(source) + " --chapters",
    };
    for (const std::string& arguments : cases) {
        const CliRun run = cli(arguments);
        EXPECT_EQ(run.status, 1) << arguments;
        EXPECT_EQ(lineCount(run.err), 1u) << arguments << "\n" << run.err;
    }
}

} // namespace
