// Cutting near silences (--length with --near-silence) and trimming silence (--trim-silence), on the
// sox-made silence fixture and a tone padded with silence, checked against the fixture's known
// silences and ffprobe's durations.
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
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
    static const auto dir = scratchDir("cli-silence-cuts-" + std::to_string(getpid()));
    const auto errFile = dir / "err";
    CliRun run;
    run.out = runCommand("timeout 120 " + std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli " + arguments +
                             " 2>" + quoted(errFile) + " </dev/null",
                         &run.status);
    const auto err = readBytes(errFile);
    run.err.assign(err.begin(), err.end());
    return run;
}

std::vector<int> frames(const std::string& lines) {
    std::vector<int> out;
    std::istringstream in(lines);
    for (int frame = 0; in >> frame;) {
        out.push_back(frame);
    }
    return out;
}

// A time in the fixture as a frame: after the Info frame and the encoder's and decoder's delay (see
// SilenceSearchTest).
double frameAt(double seconds) {
    return (seconds * 44100.0 + 1152 + 576 + 529) / 1152.0;
}

double ffprobeSeconds(const std::filesystem::path& piece) {
    int status = -1;
    const std::string text =
        runCommand("ffprobe -v quiet -show_entries format=duration -of csv=p=0 " + quoted(piece), &status);
    EXPECT_EQ(status, 0) << "ffprobe (scripts/install-deps.sh installs ffmpeg)";
    return std::atof(text.c_str());
}

// The fixture's silences: 1.0-1.8 s, 3.3-4.9 s, 7.2-8.4 s, in 9.4 s.
TEST(NearSilence, MovesEachCutToTheLongestSilenceNearIt) {
    const std::string file = quoted(fixture("silences.mp3"));
    struct Case {
        std::string arguments;
        std::vector<double> expected; // frames
        int plainCuts;
    };
    const Case cases[] = {
        // 3 s on: the silence at 3.3-4.9 s; 3 s after its middle, the one at 7.2-8.4 s.
        {"--length 3 --near-silence 1.5", {frameAt(4.1), frameAt(7.8)}, 0},
        {"--length 3 --near-silence 1.5 --cut start", {frameAt(3.3), frameAt(7.2)}, 0},
        // Both the 0.8 s and the 1.6 s silence lie within 2.5 s of 2 s: the longer wins.
        {"--length 2 --near-silence 2.5", {frameAt(4.1), frameAt(7.8)}, 0},
        // Nothing within 0.2 s: plain cuts 3 s apart, each told. Frame k starts at (k - 1) x 1152 / 44100 s:
        // 3 s is nearest frame 116 (3.004 s), 6.004 s frame 231, 9.008 s frame 346.
        {"--length 3 --near-silence 0.2", {116, 231, 346}, 3},
        // A stricter threshold finds the silences still (they are digital silence).
        {"--length 3 --near-silence 1.5 --silence-db -70", {frameAt(4.1), frameAt(7.8)}, 0},
    };
    for (const Case& test : cases) {
        for (const std::string& command :
             {"breakpoints " + file + " ", "split " + file + " -o /nonexistent -n --json "}) {
            const CliRun run = cli(command + test.arguments);
            ASSERT_EQ(run.status, 0) << command << test.arguments << run.err;
            std::vector<int> got;
            if (command.rfind("split", 0) == 0) {
                // The pieces after the first start at the break points.
                std::string firsts;
                for (std::size_t at = run.out.find("\"first_frame\":"); at != std::string::npos;
                     at = run.out.find("\"first_frame\":", at + 1)) {
                    firsts += run.out.substr(at + 14, run.out.find(',', at) - at - 14) + "\n";
                }
                got = frames(firsts);
                got.erase(got.begin());
            } else {
                got = frames(run.out);
            }
            ASSERT_EQ(got.size(), test.expected.size()) << command << test.arguments << run.out;
            for (std::size_t i = 0; i < got.size(); ++i) {
                EXPECT_LE(std::abs(got[i] - test.expected[i]), 1.0) << command << test.arguments << " " << i;
            }
            std::size_t told = 0;
            for (std::size_t at = run.err.find("no silence within"); at != std::string::npos;
                 at = run.err.find("no silence within", at + 1)) {
                ++told;
            }
            EXPECT_EQ(told, static_cast<std::size_t>(test.plainCuts)) << command << test.arguments << run.err;
        }
    }
    EXPECT_NE(cli("breakpoints " + file + " --length 3 --near-silence 0.2")
                  .err.find("kerfline-cli: no silence within 0.2 s of 0:00:03.000: cut at frame 116"),
              std::string::npos);
    for (const std::string bad : {"--near-silence 3", "--count 3 --near-silence 3",
                                  "--length 3 --near-silence -1", "--length 3 --near-silence x"}) {
        EXPECT_EQ(cli("breakpoints " + file + " " + bad).status, 2) << bad;
    }
}

TEST(TrimSilence, DropsTheSilenceAtTheEndsOfTheFileAndOfEachPiece) {
    const auto dir = scratchDir("cli-trim-silence");
    // 1.5 s of silence, 2 s of tone, 1 s of silence, 1 s of tone, 2 s of silence.
    int status = -1;
    runCommand(
        "cd " + quoted(dir) +
            " && sox -n -r 44100 -c 1 a.wav synth 2 sine 440 pad 1.5 1 && sox -n -r 44100 -c 1 b.wav synth "
            "1 sine 440 pad 0 2 && sox a.wav b.wav padded.wav && lame --quiet -b 64 padded.wav padded.mp3",
        &status);
    ASSERT_EQ(status, 0) << "sox and lame (scripts/install-deps.sh installs them)";
    struct Case {
        std::string arguments;
        std::vector<double> seconds; // of each piece, as ffprobe reads them
    };
    const Case cases[] = {
        {"--trim-silence", {4.0}},
        {"--trim-silence --silence-db -60", {4.0}},
        {"--trim-silence --at 4.5s", {2.0, 1.0}},
        {"--trim-silence --at 4.5s --name 'part {n1}'", {2.0, 1.0}},
    };
    int run = 0;
    for (const Case& test : cases) {
        const auto out = dir / ("out" + std::to_string(run++));
        const CliRun split =
            cli("split " + quoted(dir / "padded.mp3") + " -o " + quoted(out) + " " + test.arguments);
        ASSERT_EQ(split.status, 0) << test.arguments << split.err;
        std::vector<std::filesystem::path> pieces;
        for (const auto& entry : std::filesystem::directory_iterator(out)) {
            pieces.push_back(entry.path());
        }
        std::sort(pieces.begin(), pieces.end());
        ASSERT_EQ(pieces.size(), test.seconds.size()) << test.arguments;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            // A frame is 26 ms; the encoder's edges smear the tone by a frame or two at most.
            EXPECT_NEAR(ffprobeSeconds(pieces[i]), test.seconds[i], 0.08)
                << test.arguments << " " << pieces[i];
        }
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "out2" / "padded-1.mp3"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out3" / "part 2.mp3"));
    EXPECT_EQ(cli("split " + quoted(dir / "padded.mp3") + " -o " + quoted(dir / "x") +
                  " --trim-silence --overlap 1")
                  .status,
              2);

    // Tags of trimmed pieces, the block's and those the block tags do not hold alike.
    const CliRun tagged =
        cli("split " + quoted(dir / "padded.mp3") + " -o " + quoted(dir / "tagged") +
            " --trim-silence --at 4.5s --tag 'title=Part {n1}' --tag genre=Live --tag track={n1}");
    ASSERT_EQ(tagged.status, 0) << tagged.err;
    const std::string tags =
        runCommand("mutagen-inspect " + quoted(dir / "tagged" / "padded-1.mp3"), &status);
    ASSERT_EQ(status, 0) << "mutagen-inspect (scripts/install-deps.sh installs python3-mutagen)";
    for (const char* frame : {"TIT2=Part 2", "TCON=Live", "TRCK=2"}) {
        EXPECT_NE(tags.find(frame), std::string::npos) << frame << "\n" << tags;
    }
}

} // namespace
