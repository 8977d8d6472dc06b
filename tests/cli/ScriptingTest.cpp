// What scripts rely on: JSON output, exit statuses, errors on stderr and data on stdout, --help.
#include "cli/JsonWriter.h"
#include "kerfline/Version.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

#include <unistd.h>

namespace {

using testing_support::fixture;
using testing_support::shellPath;

struct Streams {
    std::string out;
    std::string err;
    int status = -1;
};

Streams cli(const std::string& arguments) {
    // ctest runs each test as a process of its own, side by side: one folder per process.
    static const auto dir = testing_support::scratchDir("cli-streams-" + std::to_string(getpid()));
    const auto errFile = dir / "err";
    const std::string command = std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli " + arguments;
    Streams run;
    run.out = testing_support::runCommand(command + " 2>'" + shellPath(errFile) + "'", &run.status);
    const auto err = testing_support::readBytes(errFile);
    run.err.assign(err.begin(), err.end());
    return run;
}

std::string quoted(const std::filesystem::path& path) {
    return "'" + shellPath(path) + "'";
}

TEST(JsonWriter, EscapesWhatJsonCannotHoldAndKeepsValidUtf8) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"plain", "\"plain\""},
        {"say \"hi\" \\ there", R"("say \"hi\" \\ there")"},
        {"a\nb\tc\rd\be\ff", R"("a\nb\tc\rd\be\ff")"},
        {std::string("nul\0x", 5), R"("nul\u0000x")"},
        {"\x1f", R"("\u001f")"},
        {"Bj\xC3\xB6rk \xE2\x82\xAC \xF0\x9F\x8E\xB5", "\"Bj\xC3\xB6rk \xE2\x82\xAC \xF0\x9F\x8E\xB5\""},
        // Latin-1 bytes, a cut sequence, an overlong form and a surrogate are not UTF-8.
        {"caf\xE9.mp3", "\"caf\xEF\xBF\xBD.mp3\""},
        {"end\xE2\x82", "\"end\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(jsonString(c.in), c.out) << c.in;
    }
}

TEST(JsonWriter, PlacesCommasBetweenMembersAtEveryDepth) {
    JsonWriter out;
    out.beginObject().key("a").value(1).key("list").beginArray();
    out.beginObject().key("x").value(true).endObject().beginObject().endObject().value("s").null();
    out.endArray().key("empty").beginArray().endArray().key("n").value(std::int64_t{-5000000000}).endObject();
    EXPECT_EQ(out.text(), R"({"a":1,"list":[{"x":true},{},"s",null],"empty":[],"n":-5000000000})");
}

TEST(CliJson, InfoDescribesTheFirstFrameAndTheWholeFile) {
    const auto path = fixture("cbr128.mp3");
    const Streams run = cli("info --json " + quoted(path));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(
        run.out,
        "{\"file\":\"" + shellPath(path) +
            R"(","sample_rate_hz":44100,"channels":2,"bitrate_bps":128000,"frames":79,"duration_ms":2038})"
            "\n");
    // Without a frame there is no stream to describe: an error, and no object a script could take
    // for a file of no frames.
    const auto dir = testing_support::scratchDir("cli-json-empty");
    testing_support::writeBytes(dir / "empty.mp3", {});
    const Streams empty = cli("info --json " + quoted(dir / "empty.mp3"));
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.out, "");
}

TEST(CliJson, BreakpointsGiveFramesAndStartTimes) {
    const auto path = fixture("ten-seconds.mp3");
    // Times are exact, to the nearest millisecond: frame k starts (k - 1) * 1152 / 44100 s in,
    // behind the Info frame, and the file lasts 384 audio frames.
    const Streams run = cli("breakpoints --json " + quoted(path) + " --count 3");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "{\"file\":\"" + shellPath(path) +
                           R"(","method":"count","value":3,"frames":385,"duration_ms":10031,"break_points":[)"
                           R"({"frame":128,"time_ms":3318},{"frame":257,"time_ms":6687}]})"
                           "\n");
    // The plain form lists the same frames.
    EXPECT_EQ(cli("breakpoints " + quoted(path) + " --count 3").out, "128\n257\n");
    const Streams none = cli("breakpoints " + quoted(path) + " --json --length 60");
    EXPECT_NE(none.out.find(R"("method":"length","value":60,)"), std::string::npos) << none.out;
    EXPECT_NE(none.out.find(R"("break_points":[]})"), std::string::npos) << none.out;
}

TEST(CliExitStatus, SuccessFileErrorAndBadUsageAreToldApart) {
    const std::string mp3 = quoted(fixture("cbr128.mp3"));
    const auto dir = testing_support::scratchDir("cli-status");
    const std::string missing = quoted(dir / "missing.mp3");
    const std::string noFolder = quoted(dir / "no" / "such" / "folder" / "out.wav");
    const struct {
        std::string arguments;
        int status;
    } cases[] = {
        {"--version", 0},
        {"info " + mp3, 0},
        {"", 2},
        {"frobnicate", 2},
        {"info", 2},
        {"info --json", 2},
        {"info " + mp3 + " " + mp3, 2},
        {"levels --loud " + mp3, 2},
        {"breakpoints " + mp3, 2},
        {"breakpoints " + mp3 + " --count three", 2},
        {"breakpoints " + mp3 + " --count 2 --length 1", 2},
        // A value the method refuses for this file is the caller's to correct.
        {"breakpoints " + mp3 + " --count 1000", 2},
        {"wav " + mp3, 2},
        {"split " + mp3 + " --at 10", 2},
        {"split " + mp3 + " -o " + quoted(dir) + " --at 10 --count 2", 2},
        {"info " + missing, 1},
        {"levels " + quoted(dir), 1},
        {"breakpoints " + missing + " --count 2", 1},
        {"split " + missing + " -o " + quoted(dir) + " --at 10", 1},
        {"wav " + mp3 + " " + noFolder, 1},
    };
    for (const auto& c : cases) {
        const Streams run = cli(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.err;
        if (c.status == 0) {
            EXPECT_EQ(run.err, "") << c.arguments;
        } else {
            // The reason is on stderr; nothing a script would take for data is on stdout.
            EXPECT_NE(run.err.find("kerfline-cli"), std::string::npos) << c.arguments;
            if (c.arguments.rfind("wav ", 0) != 0) {
                EXPECT_EQ(run.out, "") << c.arguments;
            }
        }
    }
}

TEST(CliHelp, EveryCommandExplainsItselfOnStdout) {
    const Streams overview = cli("--help");
    EXPECT_EQ(overview.status, 0);
    for (const std::string command : {"info", "levels", "breakpoints", "wav", "split"}) {
        EXPECT_NE(overview.out.find("kerfline-cli " + command + " "), std::string::npos) << command;
        for (const std::string asked : {" --help", " -h", " FILE.mp3 --help"}) {
            const Streams help = cli(command + asked);
            EXPECT_EQ(help.status, 0) << command << asked;
            EXPECT_EQ(help.err, "") << command << asked;
            EXPECT_EQ(help.out.rfind("Usage: kerfline-cli " + command + " ", 0), 0u) << help.out;
            EXPECT_NE(
                help.out.find("Exit status: 0 success, 1 a file could not be read or written, 2 bad usage, "
                              "3 the silence\nfinder found no silence."),
                std::string::npos)
                << command;
        }
    }
    EXPECT_EQ(cli("--version").out, std::string("kerfline-cli ") + kKerflineVersion + "\n");
}

} // namespace
