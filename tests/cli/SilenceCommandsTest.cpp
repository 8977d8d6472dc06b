// The silence finder's options of breakpoints and split, on the sox-made silence fixtures.
#include "cli/JsonWriter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
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

CliRun cli(const std::string& arguments) {
    static const auto dir = testing_support::scratchDir("cli-silences-" + std::to_string(getpid()));
    const auto errFile = dir / "err";
    CliRun run;
    run.out = testing_support::runCommand(std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli " + arguments +
                                              " 2>'" + shellPath(errFile) + "'",
                                          &run.status);
    const auto err = testing_support::readBytes(errFile);
    run.err.assign(err.begin(), err.end());
    return run;
}

std::string path(const char* name) {
    return "'" + shellPath(fixture(name)) + "'";
}

std::vector<int> frames(const std::string& lines) {
    std::vector<int> out;
    std::istringstream in(lines);
    for (int frame = 0; in >> frame;) {
        out.push_back(frame);
    }
    return out;
}

// The middles of the fixture's silences (0.8 s at 1.0 s, 1.6 s at 3.3 s, 1.2 s at 7.2 s) in frames,
// after the Info frame and the encoder's and decoder's delay (see SilenceSearchTest).
double middleFrame(double from, double to) {
    return ((from + to) / 2 * 44100.0 + 1152 + 576 + 529) / 1152.0;
}
const double kMiddles[] = {middleFrame(1.0, 1.8), middleFrame(3.3, 4.9), middleFrame(7.2, 8.4)};

void expectNear(const std::vector<int>& got, const std::vector<double>& expected, const std::string& what) {
    ASSERT_EQ(got.size(), expected.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_LE(std::abs(got[i] - expected[i]), 1.0) << what << " " << i;
    }
}

TEST(SilenceCommands, BreakpointsFollowTheOptions) {
    const struct {
        const char* options;
        std::vector<double> middles;
    } cases[] = {
        {"--silence-db -40", {kMiddles[0], kMiddles[1], kMiddles[2]}},
        {"--cut middle --min-silence 0.5", {kMiddles[0], kMiddles[1], kMiddles[2]}},
        {"--tracks 3", {kMiddles[1], kMiddles[2]}},
        {"--tracks 2 --silence-db -45.5", {kMiddles[1]}},
        {"--min-piece 1.5", {kMiddles[1], kMiddles[2]}},
        {"--min-piece 2.5", {kMiddles[1]}},
        // The 0.3 s pause at 5.9 s.
        {"--min-silence 0.25", {kMiddles[0], kMiddles[1], middleFrame(5.9, 6.2), kMiddles[2]}},
    };
    for (const auto& c : cases) {
        const CliRun run = cli("breakpoints " + path("silences.mp3") + " " + c.options);
        EXPECT_EQ(run.status, 0) << c.options << run.err;
        EXPECT_EQ(run.err, "") << c.options;
        expectNear(frames(run.out), c.middles, c.options);
    }
    // A noise floor under the threshold is silence too.
    const CliRun noisy = cli("breakpoints " + path("noise-floor-50.mp3") + " --silence-db -40");
    EXPECT_EQ(noisy.status, 0);
    expectNear(frames(noisy.out), {kMiddles[0], kMiddles[1], kMiddles[2]}, "noise floor -50");
}

TEST(SilenceCommands, JsonCarriesTheReport) {
    const CliRun run = cli("breakpoints --json " + path("silences.mp3") + " --tracks 5 --cut start");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find(R"("method":"silences","value":0,)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(R"("silences":{"silence_db":-40,"min_silence_s":0.5,"cut":"start",)"
                           R"("min_piece_s":0,"tracks":5,"found":3,"kept":3,"shortest_s":0.)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(R"("fewer_than_asked":true}})"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "kerfline-cli: Only 4 tracks could be made of 5 asked for\n");

    // The old method's output has no report.
    const CliRun old = cli("breakpoints --json " + path("silences.mp3") + " --silence 10");
    EXPECT_EQ(old.status, 0);
    EXPECT_EQ(old.out.find("\"silences\""), std::string::npos) << old.out;
}

TEST(SilenceCommands, NothingFoundSaysSoAndWritesNothing) {
    const std::string floor30 = path("noise-floor-30.mp3");
    const CliRun plain = cli("breakpoints " + floor30 + " --silence-db -40");
    EXPECT_EQ(plain.status, 3);
    EXPECT_EQ(plain.out, "");
    EXPECT_NE(plain.err.find("No silence found with these settings"), std::string::npos) << plain.err;

    const auto dir = testing_support::scratchDir("cli-silences-none");
    const CliRun exported = cli("breakpoints " + floor30 + " --min-silence 1 --export cue -o '" +
                                shellPath(dir / "list.cue") + "'");
    EXPECT_EQ(exported.status, 3);
    EXPECT_FALSE(std::filesystem::exists(dir / "list.cue"));

    const CliRun json = cli("breakpoints --json " + floor30 + " --cut end");
    EXPECT_EQ(json.status, 3);
    EXPECT_NE(json.out.find(R"("break_points":[],"silences":{)"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find(R"("found":0,"kept":0,"shortest_s":0,"longest_s":0)"), std::string::npos)
        << json.out;

    const CliRun chapters =
        cli("chapters " + floor30 + " '" + shellPath(dir / "chapters.mp3") + "' --silence-db -45");
    EXPECT_EQ(chapters.status, 3);
    EXPECT_FALSE(std::filesystem::exists(dir / "chapters.mp3"));

    const CliRun split = cli("split " + floor30 + " -o '" + shellPath(dir / "pieces") + "' --tracks 4");
    EXPECT_EQ(split.status, 3);
    EXPECT_NE(split.err.find("No silence found with these settings"), std::string::npos) << split.err;
    EXPECT_TRUE(!std::filesystem::exists(dir / "pieces") || std::filesystem::is_empty(dir / "pieces"));
}

TEST(SilenceCommands, SplitWritesThePiecesBetweenTheSilences) {
    const auto dir = testing_support::scratchDir("cli-silences-split");
    const CliRun run = cli("split " + path("silences.mp3") + " -o '" + shellPath(dir) + "' --tracks 3");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "silences-2.mp3"));
    EXPECT_FALSE(std::filesystem::exists(dir / "silences-3.mp3"));
    EXPECT_NE(run.out.find("Silences found: 3, kept: 2"), std::string::npos) << run.out;
}

TEST(SilenceCommands, BadValuesAreUsageErrors) {
    const std::string file = path("silences.mp3");
    const char* bad[] = {
        "--silence-db 5",
        "--silence-db -130",
        "--silence-db loud",
        "--silence-db",
        "--min-silence -1",
        "--min-silence nan",
        "--min-silence 1e9",
        "--min-piece -0.5",
        "--min-piece inf",
        "--cut left",
        "--cut",
        "--tracks 0",
        "--tracks 1.5",
        "--tracks -2",
        "--silence 20 --silence-db -40",
        "--tracks 3 --count 2",
    };
    for (const char* options : bad) {
        for (const char* command : {"breakpoints ", "split "}) {
            const std::string arguments =
                std::string(command) + file + (command[0] == 's' ? " -o /nonexistent/x " : " ") + options;
            const CliRun run = cli(arguments);
            EXPECT_EQ(run.status, 2) << arguments << "\n" << run.err;
            EXPECT_EQ(run.err.rfind("kerfline-cli: ", 0), 0u) << arguments << "\n" << run.err;
        }
    }
}

TEST(JsonWriter, WritesNumbersWithFractions) {
    JsonWriter out;
    out.beginArray().value(0.5).value(-40.0).value(1.2345).value(std::nan("")).endArray();
    EXPECT_EQ(out.text(), "[0.5,-40,1.2345,null]");
}

} // namespace
