#include "support/TestFiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::fixture;
using testing_support::scratchDir;
using testing_support::shellPath;

struct CliRun {
    std::string out;
    int status = -1;
};

// Runs the built tool under a time limit, so a tool that blocks fails the test instead of hanging it.
CliRun cli(const std::string& arguments, const std::string& redirect = "2>/dev/null") {
    CliRun run;
    run.out = testing_support::runCommand("timeout 60 " + std::string(KERFLINE_BINARY_DIR) +
                                              "/kerfline-cli " + arguments + " " + redirect,
                                          &run.status);
    return run;
}

std::string quoted(const std::filesystem::path& path) {
    return "'" + shellPath(path) + "'";
}

std::vector<int> numbers(const std::string& text) {
    std::vector<int> values;
    std::istringstream in(text);
    for (int v = 0; in >> v;) {
        values.push_back(v);
    }
    return values;
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ListCommands, BreakPointsPassThroughEveryFormatUnchanged) {
    const auto dir = scratchDir("cli-list-chain");
    const std::string source = quoted(fixture("ten-seconds.mp3"));
    const CliRun first = cli("breakpoints " + source + " --count 5 --export cue -o " + quoted(dir / "a.cue"));
    ASSERT_EQ(first.status, 0);
    // Five blocks: four cut points, all inside the file.
    const std::vector<int> frames = numbers(first.out);
    ASSERT_EQ(frames.size(), 4u);

    // cue -> labels -> tracklist -> bps, each read back to the same frames.
    const struct {
        const char* readOption;
        const char* readFile;
        const char* exportFormat;
        const char* writeFile;
    } steps[] = {
        {"--cue", "a.cue", "labels", "b.txt"},
        {"--labels", "b.txt", "tracklist", "c.txt"},
        {"--tracklist", "c.txt", "bps", "d.bps"},
        {"--breakpoints", "d.bps", "cue", "e.cue"},
    };
    for (const auto& step : steps) {
        const CliRun run =
            cli("breakpoints " + source + " " + step.readOption + " " + quoted(dir / step.readFile) +
                " --export " + step.exportFormat + " -o " + quoted(dir / step.writeFile));
        EXPECT_EQ(run.status, 0) << step.readFile;
        EXPECT_EQ(numbers(run.out), frames) << step.readFile;
    }
    EXPECT_EQ(readText(dir / "e.cue"), readText(dir / "a.cue"));
}

TEST(ListCommands, SplitByACueSheetTitlesThePieces) {
    const auto dir = scratchDir("cli-split-cue");
    std::ofstream(dir / "sheet.cue")
        << "PERFORMER \"Band\"\nTITLE \"Live\"\nFILE \"ten-seconds.mp3\" MP3\n"
           "  TRACK 01 AUDIO\n    TITLE \"Opening\"\n    INDEX 01 00:00:00\n"
           "  TRACK 02 AUDIO\n    TITLE \"Second\"\n    INDEX 01 00:04:00\n"
           "  TRACK 03 AUDIO\n    TITLE \"After the end\"\n    INDEX 01 01:00:00\n";
    const CliRun run = cli("split " + quoted(fixture("ten-seconds.mp3")) + " -o " + quoted(dir / "out") +
                           " --cue " + quoted(dir / "sheet.cue"));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("of line 10 of "), std::string::npos) << run.out;
    const struct {
        const char* piece;
        const char* title;
    } pieces[] = {{"ten-seconds-0 Opening.mp3", "Opening"}, {"ten-seconds-1 Second.mp3", "Second"}};
    for (const auto& piece : pieces) {
        int status = -1;
        const std::string out = testing_support::runCommand(
            "ffprobe -v error -show_entries format_tags=title,artist,album -of default=noprint_wrappers=1 " +
                quoted(dir / "out" / piece.piece),
            &status);
        ASSERT_EQ(status, 0) << "ffprobe (scripts/install-deps.sh installs ffmpeg)";
        EXPECT_NE(out.find("TAG:title=" + std::string(piece.title) + "\n"), std::string::npos) << out;
        EXPECT_NE(out.find("TAG:artist=Band\n"), std::string::npos) << out;
        EXPECT_NE(out.find("TAG:album=Live\n"), std::string::npos) << out;
    }
    // The titles name the pieces too; the track past the end makes none.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "out"),
                            std::filesystem::directory_iterator()),
              2);
}

TEST(ListCommands, UnreadableListsStopBeforeAnythingIsWritten) {
    const auto dir = scratchDir("cli-list-bad");
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "pipe.cue").c_str(), 0600), 0);
#endif
    std::ofstream(dir / "garbage.txt") << "00:00 Fine\nnot a track\n";
    // An unreadable list is a file that could not be read (1); two sources are bad usage (2).
    const struct {
        const char* arguments;
        const char* message;
        int status;
    } cases[] = {
#ifndef _WIN32
        {"--cue pipe.cue", "not a regular file", 1},
#endif
        {"--tracklist garbage.txt", "line 2: ", 1},
        {"--labels .", "not a regular file", 1},
        {"--cue pipe.cue --count 3", "one source only", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        for (const std::string& command : {"split " + quoted(fixture("cbr128.mp3")) + " -o out ",
                                           "breakpoints " + quoted(fixture("cbr128.mp3")) + " "}) {
            int status = -1;
            const std::string out = testing_support::runCommand(
                "cd " + quoted(dir) + " && timeout 60 " + std::string(KERFLINE_BINARY_DIR) +
                    "/kerfline-cli " + command + c.arguments + " 2>&1",
                &status);
            EXPECT_EQ(status, c.status) << out;
            EXPECT_NE(out.find(c.message), std::string::npos) << out;
        }
        EXPECT_TRUE(!std::filesystem::exists(dir / "out") || std::filesystem::is_empty(dir / "out"))
            << "pieces were written";
    }
}

TEST(ListCommands, ChaptersCommandWritesACopyWhoseChaptersReadBack) {
    const auto dir = scratchDir("cli-chapters");
    const std::string source = quoted(fixture("ten-seconds.mp3"));
    std::ofstream(dir / "tracks.txt")
        << "0:00 Narrator - Prologue\n0:03.5 Narrator - Chapter One\n0:07 Epilogue\n";
    const CliRun made = cli("chapters " + source + " " + quoted(dir / "book.mp3") + " --tracklist " +
                            quoted(dir / "tracks.txt"));
    ASSERT_EQ(made.status, 0);
    int status = -1;
    const std::string probed = testing_support::runCommand(
        "ffprobe -v quiet -show_entries chapter=start_time:chapter_tags=title -of csv=p=0 " +
            quoted(dir / "book.mp3"),
        &status);
    ASSERT_EQ(status, 0) << "ffprobe (scripts/install-deps.sh installs ffmpeg)";
    // Each start lies on the frame start nearest the listed time (1152 / 44100 s = 26.1 ms a frame).
    std::istringstream lines(probed);
    const struct {
        double seconds;
        const char* title;
    } expected[] = {{0.0, "Prologue"}, {3.5, "Chapter One"}, {7.0, "Epilogue"}};
    for (const auto& chapter : expected) {
        std::string line;
        ASSERT_TRUE(std::getline(lines, line)) << probed;
        EXPECT_NEAR(std::stod(line), chapter.seconds, 0.0262) << line;
        EXPECT_EQ(line.substr(line.find(',') + 1), chapter.title);
    }

    const CliRun fromChapters = cli("breakpoints " + quoted(dir / "book.mp3") + " --chapters");
    const CliRun fromList = cli("breakpoints " + source + " --tracklist " + quoted(dir / "tracks.txt"));
    EXPECT_EQ(fromChapters.status, 0);
    EXPECT_EQ(numbers(fromChapters.out), numbers(fromList.out));
    EXPECT_EQ(numbers(fromList.out).size(), 2u);

    // Never into the source itself, and a source without chapters is an error.
    const CliRun overSource =
        cli("chapters " + quoted(dir / "book.mp3") + " " + quoted(dir / "book.mp3") + " --count 2");
    EXPECT_EQ(overSource.status, 1);
    EXPECT_EQ(cli("breakpoints " + source + " --chapters").status, 1);
}

} // namespace
