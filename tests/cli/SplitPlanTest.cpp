// split's dry run, fractional overlap, playlists and tags, each checked against what a run writes or
// an outside reader (python's json, mutagen) finds.
#include "support/FrameFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace testing_support;

namespace {

struct CliRun {
    std::string out;
    std::string err;
    int status = -1;
};

std::string quoted(const std::filesystem::path& path) {
    return "'" + shellPath(path) + "'";
}

CliRun cli(const std::string& arguments) {
    static const auto dir = scratchDir("cli-plan-" + std::to_string(getpid()));
    const auto errFile = dir / "err";
    CliRun run;
    run.out = runCommand("timeout 120 " + std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli " + arguments +
                             " 2>" + quoted(errFile) + " </dev/null",
                         &run.status);
    const auto err = readBytes(errFile);
    run.err.assign(err.begin(), err.end());
    return run;
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The numbered frames are 417 bytes and 1152 / 44100 s each.
TEST(SplitDryRun, PrintsThePiecesAndWritesNothing) {
    const auto dir = scratchDir("cli-dry-run");
    const auto source = writeNumberedFrames(dir / "book.mp3", 1000);
    const auto out = dir / "out";
    const std::string base = quoted(source) + " -o " + quoted(out) + " --at 300,100 ";
    const std::string o = shellPath(out) + toolSeparator();
    struct Case {
        std::string arguments;
        std::string expected;
    };
    const Case cases[] = {
        {"--dry-run",
         o + "book-0.mp3: frames 0-99, start 0:00:00.000, duration 0:00:02.612, 41700 bytes\n" + o +
             "book-1.mp3: frames 100-299, start 0:00:02.612, duration 0:00:05.224, 83400 bytes\n" + o +
             "book-2.mp3: frames 300-999, start 0:00:07.837, duration 0:00:18.286, 291900 bytes\n"},
        // 39 frames of 26 ms make the first full second of overlap.
        {"-n --overlap 1",
         o + "book-0.mp3: frames 0-138, start 0:00:00.000, duration 0:00:03.631, 57963 bytes\n" + o +
             "book-1.mp3: frames 61-338, start 0:00:01.593, duration 0:00:07.262, 115926 bytes\n" + o +
             "book-2.mp3: frames 261-999, start 0:00:06.818, duration 0:00:19.304, 308163 bytes\n"},
        {"--dry-run --name 'part {n1:02}'",
         o + "part 01.mp3: frames 0-99, start 0:00:00.000, duration 0:00:02.612, 41700 bytes\n" + o +
             "part 02.mp3: frames 100-299, start 0:00:02.612, duration 0:00:05.224, 83400 bytes\n" + o +
             "part 03.mp3: frames 300-999, start 0:00:07.837, duration 0:00:18.286, 291900 bytes\n"},
    };
    for (const Case& test : cases) {
        const CliRun run = cli("split " + base + test.arguments);
        EXPECT_EQ(run.status, 0) << test.arguments << run.err;
        EXPECT_EQ(run.out, test.expected) << test.arguments;
        EXPECT_EQ(run.err, "") << test.arguments;
        EXPECT_FALSE(std::filesystem::exists(out)) << test.arguments;
    }

    // The JSON names the same pieces the run then writes, with their exact sizes.
    const CliRun json = cli("split " + base + "--dry-run --json");
    ASSERT_EQ(json.status, 0) << json.err;
    writeBytes(dir / "plan.json", std::vector<std::uint8_t>(json.out.begin(), json.out.end()));
    const std::string listed = runCommand(
        "python3 -c \"import json,sys; d=json.load(open(sys.argv[1])); "
        "[print(p['file'], p['first_frame'], p['last_frame'], p['start_ms'], p['duration_ms'], p['bytes']) "
        "for p in d['pieces']]\" " +
        quoted(dir / "plan.json"));
    EXPECT_EQ(listed, o + "book-0.mp3 0 99 0 2612 41700\n" + o + "book-1.mp3 100 299 2612 5224 83400\n" + o +
                          "book-2.mp3 300 999 7837 18286 291900\n");
    const CliRun real = cli("split " + base);
    ASSERT_EQ(real.status, 0) << real.err;
    EXPECT_EQ(std::filesystem::file_size(out / "book-1.mp3"), 83400u);
    EXPECT_EQ(std::filesystem::file_size(out / "book-2.mp3"), 291900u);

    // --json alone is a mistake, not a silent normal run.
    EXPECT_EQ(cli("split " + base + "--json").status, 2);
}

TEST(SplitOverlap, TakesFractionsOfASecond) {
    const auto dir = scratchDir("cli-overlap-fraction");
    const auto source = writeNumberedFrames(dir / "book.mp3", 400);
    // Frames count 26 ms each toward the overlap until it is reached: 1.5 s takes 58 (57 are 1482 ms).
    struct Case {
        std::string seconds;
        int frames;
    };
    for (const Case& test :
         {Case{"1", 39}, Case{"1.5", 58}, Case{"0.5", 20}, Case{"0.026", 1}, Case{"0", 0}}) {
        const auto out = dir / ("out-" + test.seconds);
        const CliRun run =
            cli("split " + quoted(source) + " -o " + quoted(out) + " --at 200 --overlap " + test.seconds);
        ASSERT_EQ(run.status, 0) << test.seconds << run.err;
        std::vector<std::uint8_t> first = frameBytes(source, 0, 200 + test.frames);
        EXPECT_EQ(readBytes(out / "book-0.mp3"), first) << test.seconds;
        EXPECT_EQ(readBytes(out / "book-1.mp3"), frameBytes(source, 200 - test.frames, 400)) << test.seconds;
    }
    for (const std::string bad : {"-1", "1.0005", "x", "86401", "1,5"}) {
        const CliRun run =
            cli("split " + quoted(source) + " -o " + quoted(dir / "bad") + " --at 200 --overlap " + bad);
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_NE(run.err.find("--overlap needs a number of seconds"), std::string::npos) << run.err;
    }
}

std::string inspect(const std::filesystem::path& piece) {
    int status = -1;
    const std::string text = runCommand("mutagen-inspect " + quoted(piece), &status);
    EXPECT_EQ(status, 0) << "mutagen-inspect (scripts/install-deps.sh installs python3-mutagen)";
    // The frames only, not the stream line, which depends on the mutagen version.
    std::string frames;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.size() > 5 && line[4] == '=') {
            frames += line + "\n";
        }
    }
    return frames;
}

TEST(SplitTags, SetsTagsForEveryPieceAndWritesAPlaylist) {
    const auto dir = scratchDir("cli-split-tags");
    const auto source = writeNumberedFrames(dir / "The Band - Live Set.mp3", 300);
    const auto out = dir / "out";
    const CliRun run = cli("split " + quoted(source) + " -o " + quoted(out) +
                           " --at 100 --tag-from-name '{artist} - {album}' --tag 'title=Part {n1}' "
                           "--tag track={n1}/{N} --tag genre=Live --tag year=2021 --m3u set.m3u");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(inspect(out / "The Band - Live Set-1.mp3"),
              "TALB=Live Set\nTCON=Live\nTDRC=2021\nTIT2=Part 2\nTPE1=The Band\n"
              "TRCK=2/2\n");
    EXPECT_EQ(readText(out / "set.m3u"), "#EXTM3U\n#EXTINF:3,Part 1\nThe Band - Live Set-0.mp3\n"
                                         "#EXTINF:5,Part 2\nThe Band - Live Set-1.mp3\n");

    // --tag is taken over the name's fields.
    const CliRun over = cli("split " + quoted(source) + " -o " + quoted(dir / "over") +
                            " --at 100 --tag-from-name '{artist} - {album}' --tag artist=Other");
    ASSERT_EQ(over.status, 0) << over.err;
    EXPECT_EQ(inspect(dir / "over" / "The Band - Live Set-0.mp3"), "TALB=Live Set\nTPE1=Other\n");

    struct Refused {
        std::string arguments;
        int status;
    };
    for (const Refused& bad :
         {Refused{"--tag mood=calm", 2}, Refused{"--tag title", 2}, Refused{"--tag year=soon", 2},
          Refused{"--tag track=first", 2}, Refused{"--tag-from-name '{artist}{album}'", 2},
          Refused{"--tag-from-name '{band} - {album}'", 2}, Refused{"--tag-from-name 'plain'", 2},
          Refused{"--tag-from-name '{artist} -- {album}'", 1}}) {
        const auto refusedOut = dir / "refused";
        const CliRun refused =
            cli("split " + quoted(source) + " -o " + quoted(refusedOut) + " --at 100 " + bad.arguments);
        EXPECT_EQ(refused.status, bad.status) << bad.arguments << refused.err;
        EXPECT_FALSE(std::filesystem::exists(refusedOut / "The Band - Live Set-0.mp3")) << bad.arguments;
    }
}

TEST(SplitTags, AListsTitlesNameThePieces) {
    const auto dir = scratchDir("cli-split-titles");
    const auto source = writeNumberedFrames(dir / "book.mp3", 300);
    std::ofstream(dir / "book.cue") << "FILE \"book.mp3\" MP3\n  TRACK 01 AUDIO\n    TITLE \"Opening\"\n"
                                       "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Act/Two\"\n"
                                       "    INDEX 01 00:04:00\n";
    struct Case {
        std::string arguments;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"--cue " + quoted(dir / "book.cue"), {"book-0 Opening.mp3", "book-1 Act_Two.mp3"}},
        {"--cue " + quoted(dir / "book.cue") + " --name '{n1} {title}'", {"1 Opening.mp3", "2 Act_Two.mp3"}},
        // Plain positions give no titles: the usual names.
        {"--at 4s", {"book-0.mp3", "book-1.mp3"}},
    };
    int run = 0;
    for (const Case& test : cases) {
        const auto out = dir / ("out" + std::to_string(run++));
        const CliRun split = cli("split " + quoted(source) + " -o " + quoted(out) + " " + test.arguments);
        ASSERT_EQ(split.status, 0) << test.arguments << split.err;
        for (const std::string& name : test.names) {
            EXPECT_TRUE(std::filesystem::is_regular_file(out / name)) << test.arguments << " " << name;
        }
    }
    EXPECT_EQ(inspect(dir / "out0" / "book-1 Act_Two.mp3"), "TIT2=Act/Two\n");
}

} // namespace
