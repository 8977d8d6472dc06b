#include "engine/FileScan.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::fixture;
using testing_support::shellPath;

struct CliRun {
    std::string out;
    int status = -1;
};

// Runs the built tool; `redirect` chooses what reaches the captured output.
CliRun cli(const std::string& arguments, const std::string& redirect = "2>/dev/null") {
    CliRun run;
    run.out = testing_support::runCommand(
        std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli " + arguments + " " + redirect, &run.status);
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

TEST(InfoCommand, PrintsTheStreamLineFrameCountAndDuration) {
    const CliRun run = cli("info " + quoted(fixture("cbr128.mp3")));
    EXPECT_EQ(run.status, 0);
    // The Info frame holds no audio: 78 frames of 1152 samples at 44.1 kHz are 2037.55 ms, 2038 to the
    // nearest.
    EXPECT_EQ(run.out,
              "MP3 file basic info: 44100 Hz, 2 channel(s), 128000 BPS\nframes: 79\nduration_ms: 2038\n");
    const CliRun mono = cli("info " + quoted(fixture("mpeg25.mp3")));
    EXPECT_EQ(mono.out,
              "MP3 file basic info: 8000 Hz, 1 channel(s), 16000 BPS\nframes: 30\nduration_ms: 2160\n");
}

TEST(LevelsCommand, PrintsWhatTheLoadingScanStores) {
    for (const char* name : {"ten-seconds.mp3", "vbr.mp3", "mpeg2-mono.mp3"}) {
        mp3::processDecoding().cache.clear();
        const mp3::LevelScan scan = mp3::scanLevels(fixture(name));
        mp3::processDecoding().cache.clear();
        const CliRun smoothed = cli("levels " + quoted(fixture(name)));
        EXPECT_EQ(smoothed.status, 0);
        EXPECT_EQ(numbers(smoothed.out), scan.levels) << name;
        const CliRun raw = cli("levels --raw " + quoted(fixture(name)));
        EXPECT_EQ(raw.status, 0);
        EXPECT_EQ(numbers(raw.out), scan.rawLevels) << name;
        EXPECT_NE(scan.levels, scan.rawLevels);
    }
}

// A file long enough to be split over the cores by default gives the levels of the scan the
// environment switch keeps in file order, byte for byte.
TEST(LevelsCommand, TheSplitScanPrintsTheLevelsOfTheScanInFileOrder) {
    const auto path = testing_support::scratchDir("LevelsSplitScan") / "joined.mp3";
    std::vector<std::uint8_t> joined;
    const std::vector<std::uint8_t> part = testing_support::readBytes(fixture("ten-seconds.mp3"));
    for (int copy = 0; copy < 14; ++copy) {
        testing_support::append(joined, part);
    }
    testing_support::writeBytes(path, joined);
    ASSERT_GE(mp3::planScan(path, {}, mp3::kMaxIndexedFrames).parts.size(), 2u);

    const CliRun split = cli("levels --raw " + quoted(path));
    int status = -1;
    const std::string inOrder =
        testing_support::runCommand("KERFLINE_SCAN_IN_ORDER=1 " + std::string(KERFLINE_BINARY_DIR) +
                                        "/kerfline-cli levels --raw " + quoted(path) + " 2>/dev/null",
                                    &status);
    EXPECT_EQ(split.status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(numbers(split.out).size(), 14u * 385u);
    EXPECT_EQ(split.out, inOrder);
}

// The reader finds "frames" in any file, so an empty file, text or scattered frames once gave
// "frames: 0" or bogus frames with status 0. They are refused as the other commands refuse them.
TEST(InfoCommand, FileThatIsNoMp3StreamIsRefused) {
    const auto dir = testing_support::scratchDir("cli-no-stream");
    testing_support::writeBytes(dir / "empty.mp3", {});
    const std::string text = "# Kerfline\n\nCuts MP3 files into pieces without re-encoding them.\n";
    testing_support::writeBytes(dir / "README.md", std::vector<std::uint8_t>(text.begin(), text.end()));
    // Real frames of a real file, never two in a row.
    std::vector<std::uint8_t> apart;
    mp3::FrameReader reader(fixture("cbr128.mp3"));
    for (int i = 0; i < 40; ++i, reader.readNext()) {
        apart.insert(apart.end(), reader.frameData(), reader.frameData() + reader.frameLength());
        apart.insert(apart.end(), 7, 0);
    }
    reader.close();
    testing_support::writeBytes(dir / "apart.mp3", apart);

    const std::pair<const char*, const char*> cases[] = {
        {"empty.mp3", " is not an MP3 file: it holds no MPEG audio frame"},
        {"README.md", " is not an MP3 file: it holds no MPEG audio frame"},
        {"apart.mp3", " is not an MP3 file: no three of its frame headers follow each other"},
    };
    for (const auto& [name, reason] : cases) {
        const std::string line = "kerfline-cli: The file " + shellPath(dir / name) + reason;
        for (const std::string command : {"info", "info --json", "levels", "levels --raw"}) {
            SCOPED_TRACE(command + " " + name);
            const CliRun quiet = cli(command + " " + quoted(dir / name));
            EXPECT_EQ(quiet.status, 1);
            EXPECT_EQ(quiet.out, "");
            const CliRun both = cli(command + " " + quoted(dir / name), "2>&1");
            EXPECT_NE(both.out.find(line), std::string::npos) << both.out;
        }
    }
}

TEST(InfoCommand, FileThatCannotBeOpenedFailsWithAMessage) {
    const auto dir = testing_support::scratchDir("cli-bad");
    for (const std::string command : {"info", "levels", "levels --raw"}) {
        for (const auto& path : {dir / "missing.mp3", dir}) {
            const CliRun stdoutOnly = cli(command + " " + quoted(path));
            EXPECT_NE(stdoutOnly.status, 0) << command << " " << path;
            EXPECT_EQ(stdoutOnly.out, "") << command << " " << path;
            const CliRun both = cli(command + " " + quoted(path), "2>&1");
            EXPECT_NE(both.out.find("kerfline-cli: cannot open '" + shellPath(path) + "'"), std::string::npos)
                << both.out;
        }
    }
}

#ifndef _WIN32
// Windows has no device files among the paths the tool is given.
TEST(InfoCommand, DeviceIsRefused) {
    const CliRun run = cli("levels /dev/zero", "2>&1");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.out.find("not a regular file"), std::string::npos) << run.out;
}
#endif

TEST(InfoCommand, WrongArgumentsShowTheUsage) {
    for (const std::string arguments : {"info", "levels", "levels --raw", "info a b"}) {
        const CliRun run = cli(arguments, "2>&1");
        EXPECT_NE(run.status, 0) << arguments;
        EXPECT_NE(run.out.find("usage: kerfline-cli"), std::string::npos) << arguments;
    }
}

} // namespace

namespace {

// Two minutes of tone encoded by lame at each kind of rate, with and without its Info frame: the
// duration is what ffprobe reads from the same file (exact from the Info frame's count, from the
// size of a constant-rate file without one), not a sum of whole milliseconds per frame, which is
// half a second short here at 44.1 kHz.
TEST(InfoCommand, DurationAgreesWithFfprobe) {
    const auto dir = testing_support::scratchDir("cli-info-ffprobe");
    const struct {
        int rate;
        const char* lameRate;
        int kbps;
        bool info;
    } cases[] = {
        {44100, "44.1", 64, true}, {44100, "44.1", 64, false}, {48000, "48", 64, true},
        {32000, "32", 48, false},  {22050, "22.05", 32, true}, {8000, "8", 8, false},
    };
    for (const auto& c : cases) {
        const std::string name = std::to_string(c.rate) + (c.info ? "-info" : "-plain");
        SCOPED_TRACE(name);
        const auto wav = dir / (name + ".wav");
        const auto mp3 = dir / (name + ".mp3");
        int status = -1;
        testing_support::runCommand("sox -n -r " + std::to_string(c.rate) + " -c 1 " + quoted(wav) +
                                        " synth 120 sine 440 vol 0.1 && lame --quiet -m m -b " +
                                        std::to_string(c.kbps) + " --resample " + c.lameRate +
                                        (c.info ? " " : " -t ") + quoted(wav) + " " + quoted(mp3) + " 2>&1",
                                    &status);
        ASSERT_EQ(status, 0) << "sox and lame (scripts/install-deps.sh installs them)";
        const std::string probed = testing_support::runCommand(
            "ffprobe -v quiet -show_entries format=duration -of csv=p=0 " + quoted(mp3), &status);
        ASSERT_EQ(status, 0) << "ffprobe (scripts/install-deps.sh installs ffmpeg)";
        const CliRun info = cli("info " + quoted(mp3));
        ASSERT_EQ(info.status, 0);
        const std::size_t at = info.out.find("duration_ms: ");
        ASSERT_NE(at, std::string::npos) << info.out;
        EXPECT_NEAR(std::stod(info.out.substr(at + 13)), std::stod(probed) * 1000.0, 0.5) << info.out;
    }
    std::filesystem::remove_all(dir);
}

} // namespace
