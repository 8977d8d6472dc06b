#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace {

using testing_support::readBytes;
using testing_support::runCommand;
using testing_support::scratchDir;
using testing_support::shellPath;

std::string quoted(const std::filesystem::path& path) {
    return "'" + shellPath(path) + "'";
}

std::string cli(const std::string& arguments, int* status) {
    return runCommand(std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli " + arguments + " 2>&1", status);
}

// A tone over noise at `volume`, encoded by lame with `lameOptions`.
std::filesystem::path makeSource(const std::filesystem::path& dir, const std::string& lameOptions,
                                 double volume, int channels = 2) {
    const std::filesystem::path wav = dir / "source.wav";
    const std::filesystem::path mp3 = dir / "source.mp3";
    int status = 0;
    const std::string made = runCommand("sox -n -r 44100 -c " + std::to_string(channels) + " " + quoted(wav) +
                                            " synth 8 sine 300-900 synth 8 pinknoise mix vol " +
                                            std::to_string(volume) + " 2>&1 && lame --quiet " + lameOptions +
                                            " " + quoted(wav) + " " + quoted(mp3) + " 2>&1",
                                        &status);
    EXPECT_EQ(status, 0) << made;
    return mp3;
}

std::vector<std::int16_t> decode(const std::filesystem::path& file, const std::string& tool) {
    const std::filesystem::path raw = shellPath(file) + "." + tool + ".raw";
    const std::string command = tool == "mpg123"
                                    ? "mpg123 -q -s " + quoted(file) + " > " + quoted(raw)
                                    : "ffmpeg -v error -y -i " + quoted(file) + " -f s16le " + quoted(raw);
    int status = 0;
    const std::string said = runCommand(command + " 2>&1", &status);
    EXPECT_EQ(status, 0) << said;
    const std::vector<std::uint8_t> bytes = readBytes(raw);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return samples;
}

// The decode before it is rounded to 16 bits, on the same scale: the exact reference for a scaled
// decode.
std::vector<double> decodeFloat(const std::filesystem::path& file, const std::string& tool) {
    const std::filesystem::path raw = shellPath(file) + "." + tool + ".f32";
    const std::string command = tool == "mpg123"
                                    ? "mpg123 -q -e f32 -s " + quoted(file) + " > " + quoted(raw)
                                    : "ffmpeg -v error -y -i " + quoted(file) + " -f f32le " + quoted(raw);
    int status = 0;
    const std::string said = runCommand(command + " 2>&1", &status);
    EXPECT_EQ(status, 0) << said;
    const std::vector<std::uint8_t> bytes = readBytes(raw);
    std::vector<double> samples(bytes.size() / 4);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        float value = 0;
        std::memcpy(&value, bytes.data() + 4 * i, sizeof value);
        samples[i] = value * 32768.0;
    }
    return samples;
}

// The largest difference between the 16-bit decode of `changed` and the exact decode of `plain`
// scaled by 2^(steps/4), over the samples the scaled decode does not clip; -1 when the decodes differ
// in length.
double worstDifference(const std::filesystem::path& plain, const std::filesystem::path& changed, int steps,
                       const std::string& tool) {
    const std::vector<double> x = decodeFloat(plain, tool);
    const std::vector<std::int16_t> y = decode(changed, tool);
    if (x.size() != y.size() || x.empty()) {
        return -1;
    }
    const double factor = std::pow(2.0, steps / 4.0);
    double worst = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double expected = x[i] * factor;
        if (std::abs(expected) < 32700) {
            worst = std::max(worst, std::abs(y[i] - expected));
        }
    }
    return worst;
}

std::string mp3valComplaints(const std::filesystem::path& file) {
    int status = 0;
    const std::string report = runCommand("mp3val " + quoted(file) + " 2>&1", &status);
    std::string complaints;
    std::size_t at = 0;
    while (at < report.size()) {
        const std::size_t end = std::min(report.find('\n', at), report.size());
        const std::string line = report.substr(at, end - at);
        // A piece without tags is no fault of its frames.
        if ((line.rfind("WARNING", 0) == 0 || line.rfind("ERROR", 0) == 0) &&
            line.find("No supported tags") == std::string::npos) {
            // Without the file's name, so two files' complaints compare.
            const std::size_t name = line.find(shellPath(file));
            complaints += (name == std::string::npos
                               ? line
                               : line.substr(0, name) + line.substr(name + shellPath(file).size())) +
                          "\n";
        }
        at = end + 1;
    }
    return complaints;
}

struct Format {
    const char* name;
    const char* lame;
    int channels;
};

// CBR joint stereo (mid/side), VBR, MPEG-2 and 2.5 (one granule a frame), mono, plain stereo, and
// CRC-protected frames, whose CRC must follow the changed side information.
const Format kFormats[] = {
    {"cbr", "-b 128", 2},
    {"vbr", "-V 2", 2},
    {"mpeg2", "--resample 22.05 -b 64", 2},
    {"mpeg25", "--resample 11.025 -b 32", 2},
    {"mono", "-m m -b 96", 1},
    {"stereo", "-m s -b 160", 2},
    {"crc", "-p -b 128", 2},
};

TEST(LevelCommand, GainScalesEveryPieceAndTheEditedCopyExactly) {
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.name);
        const std::filesystem::path dir = scratchDir(std::string("level-gain-") + format.name);
        const std::filesystem::path source = makeSource(dir, format.lame, 0.2, format.channels);
        const std::vector<std::uint8_t> sourceBytes = readBytes(source);
        int status = 0;
        std::string said =
            cli("split " + quoted(source) + " -o " + quoted(dir / "plain") + " --at 3s,5s", &status);
        ASSERT_EQ(status, 0) << said;
        said = cli("edit " + quoted(source) + " -o " + quoted(dir / "plain-edit.mp3") + " --remove 3s-5s",
                   &status);
        ASSERT_EQ(status, 0) << said;
        // Down by 6 dB (-4 steps), and up by 3 dB (+2 steps) where the quiet source does not clip.
        for (const auto& [db, steps] : {std::pair{"-6", -4}, std::pair{"3", 2}}) {
            SCOPED_TRACE(db);
            const std::filesystem::path folder = dir / (std::string("gain") + db);
            said = cli("split " + quoted(source) + " -o " + quoted(folder) + " --at 3s,5s --gain " + db,
                       &status);
            ASSERT_EQ(status, 0) << said;
            const std::filesystem::path edited = dir / (std::string("edit") + db + ".mp3");
            said = cli("edit " + quoted(source) + " -o " + quoted(edited) + " --remove 3s-5s --gain " + db,
                       &status);
            ASSERT_EQ(status, 0) << said;
            std::vector<std::pair<std::filesystem::path, std::filesystem::path>> pairs = {
                {dir / "plain-edit.mp3", edited}};
            for (const char* piece : {"source-0.mp3", "source-1.mp3", "source-2.mp3"}) {
                pairs.emplace_back(dir / "plain" / piece, folder / piece);
            }
            for (const auto& [plain, changed] : pairs) {
                SCOPED_TRACE(changed.filename().string());
                for (const char* tool : {"mpg123", "ffmpeg"}) {
                    const double worst = worstDifference(plain, changed, steps, tool);
                    EXPECT_GE(worst, 0) << tool;
                    EXPECT_LE(worst, 1.0) << tool;
                }
                // mp3val finds nothing new (pieces of a VBR file have no VBR header without --gapless).
                EXPECT_EQ(mp3valComplaints(changed), mp3valComplaints(plain));
                EXPECT_EQ(readBytes(plain).size(), readBytes(changed).size());
            }
        }
        EXPECT_EQ(readBytes(source), sourceBytes);
    }
}

// The peak of the samples [from, to) of a decode (all channels interleaved).
int peakOf(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
    int peak = 0;
    for (std::size_t i = from; i < std::min(to, samples.size()); ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    }
    return peak;
}

TEST(LevelCommand, FadesReachSilenceAtTheCutsAndTheFileEnds) {
    const std::filesystem::path dir = scratchDir("level-fades");
    const std::filesystem::path source = makeSource(dir, "-b 128", 0.5);
    int status = 0;
    std::string said = cli("split " + quoted(source) + " -o " + quoted(dir / "plain") + " --at 4s", &status);
    ASSERT_EQ(status, 0) << said;
    said = cli("split " + quoted(source) + " -o " + quoted(dir / "faded") +
                   " --at 4s --fade-cuts 1 --fade-in 0.5 --fade-out 0.5",
               &status);
    ASSERT_EQ(status, 0) << said;
    for (const char* piece : {"source-0.mp3", "source-1.mp3"}) {
        SCOPED_TRACE(piece);
        const std::vector<std::int16_t> plain = decode(dir / "plain" / piece, "mpg123");
        const std::vector<std::int16_t> faded = decode(dir / "faded" / piece, "mpg123");
        ASSERT_EQ(plain.size(), faded.size());
        // The piece's first and last granules are at the floor (-60 dB of a source at -6 dBFS) or
        // silent (2 channels).
        const std::size_t granule = 2 * 576;
        EXPECT_LE(peakOf(faded, 0, granule), 20);
        EXPECT_LE(peakOf(faded, faded.size() - granule, faded.size()), 20);
        // A tenth of a second in, the fade is still deep; the middle is untouched.
        const std::size_t tenth = 2 * 4410;
        EXPECT_LT(peakOf(faded, tenth, tenth + granule), peakOf(plain, tenth, tenth + granule) / 10);
        const std::size_t middle = faded.size() / 2;
        EXPECT_EQ(std::vector<std::int16_t>(faded.begin() + static_cast<long>(middle),
                                            faded.begin() + static_cast<long>(middle + granule)),
                  std::vector<std::int16_t>(plain.begin() + static_cast<long>(middle),
                                            plain.begin() + static_cast<long>(middle + granule)));
        EXPECT_EQ(mp3valComplaints(dir / "faded" / piece), "");
    }
    // The edited copy fades out before its junction and in after it.
    said =
        cli("edit " + quoted(source) + " -o " + quoted(dir / "edited.mp3") + " --remove 3s-5s --fade-cuts 1",
            &status);
    ASSERT_EQ(status, 0) << said;
    const std::vector<std::int16_t> edited = decode(dir / "edited.mp3", "mpg123");
    const std::size_t junction = 2 * 3 * 44100;
    EXPECT_LE(peakOf(edited, junction - 2 * 1200, junction + 2 * 1200), 400);
    EXPECT_GT(peakOf(edited, junction - 2 * 44100, junction - 2 * 40000), 1000);
}

TEST(LevelCommand, ClippingIsRefusedUnlessAllowedAndClampingIsReported) {
    const std::filesystem::path dir = scratchDir("level-clipping");
    const std::filesystem::path source = makeSource(dir, "-b 128", 0.9);
    int status = 0;
    std::string said =
        cli("split " + quoted(source) + " -o " + quoted(dir / "loud") + " --at 4s --gain 6", &status);
    EXPECT_EQ(status, 2) << said;
    EXPECT_TRUE(std::regex_search(said, std::regex(R"(would clip by \d+\.\d dB; give --allow-clipping)")))
        << said;
    EXPECT_FALSE(std::filesystem::exists(dir / "loud" / "source-0.mp3"));
    said =
        cli("split " + quoted(source) + " -o " + quoted(dir / "loud") + " --at 4s --gain 6 --allow-clipping",
            &status);
    EXPECT_EQ(status, 0) << said;
    EXPECT_TRUE(std::filesystem::exists(dir / "loud" / "source-0.mp3"));
    // global_gain stops at 255: most of a gain of 120 dB cannot be applied, and the user is told.
    said = cli("split " + quoted(source) + " -o " + quoted(dir / "quiet") +
                   " --at 4s --gain 120 --allow-clipping",
               &status);
    EXPECT_TRUE(std::regex_search(said, std::regex(R"(\d+\.\d dB of the gain could not be applied)")))
        << said;
    EXPECT_EQ(mp3valComplaints(dir / "quiet" / "source-0.mp3"), "");
}

double decodedPeakDbfs(const std::filesystem::path& file) {
    const std::vector<std::int16_t> samples = decode(file, "mpg123");
    return 20 * std::log10(std::max(1, peakOf(samples, 0, samples.size())) / 32768.0);
}

TEST(LevelCommand, NormaliseBringsEachPieceToItsTargetWithoutPassingIt) {
    const std::filesystem::path dir = scratchDir("level-normalise");
    const std::filesystem::path source = makeSource(dir, "-b 192", 0.1);
    int status = 0;
    std::string said = cli(
        "split " + quoted(source) + " -o " + quoted(dir / "peak") + " --at 4s --normalize peak=-1", &status);
    ASSERT_EQ(status, 0) << said;
    for (const char* piece : {"source-0.mp3", "source-1.mp3"}) {
        const double peak = decodedPeakDbfs(dir / "peak" / piece);
        EXPECT_LE(peak, -1.0 + 0.05) << piece;
        EXPECT_GT(peak, -1.0 - 1.6) << piece;
    }
    said = cli("split " + quoted(source) + " -o " + quoted(dir / "lufs") + " --at 4s --normalize lufs=-23",
               &status);
    ASSERT_EQ(status, 0) << said;
    const std::string report =
        runCommand("ffmpeg -hide_banner -nostats -i " + quoted(dir / "lufs" / "source-1.mp3") +
                   " -af ebur128 -f null - 2>&1");
    std::smatch match;
    const std::string summary = report.substr(std::min(report.find("Summary:"), report.size()));
    ASSERT_TRUE(std::regex_search(summary, match, std::regex(R"(I:\s+([-0-9.]+) LUFS)"))) << report;
    EXPECT_NEAR(std::stod(match[1]), -23.0, 0.9);
}

TEST(LevelCommand, ReplayGainTagsAreWrittenAndTheAudioIsUntouched) {
    const std::filesystem::path dir = scratchDir("level-replaygain");
    const std::filesystem::path source = makeSource(dir, "-b 128", 0.3);
    int status = 0;
    std::string said = cli("split " + quoted(source) + " -o " + quoted(dir / "plain") + " --at 4s", &status);
    ASSERT_EQ(status, 0) << said;
    said = cli("split " + quoted(source) + " -o " + quoted(dir / "rg") + " --at 4s --replaygain", &status);
    ASSERT_EQ(status, 0) << said;
    for (const char* piece : {"source-0.mp3", "source-1.mp3"}) {
        SCOPED_TRACE(piece);
        const std::string tags =
            runCommand("/usr/bin/python3 -c \"import mutagen.id3 as m, sys; t = m.ID3(sys.argv[1]); "
                       "print(t['TXXX:REPLAYGAIN_TRACK_GAIN'].text[0]); "
                       "print(t['TXXX:REPLAYGAIN_TRACK_PEAK'].text[0])\" " +
                           quoted(dir / "rg" / piece) + " 2>&1",
                       &status);
        ASSERT_EQ(status, 0) << tags;
        std::smatch match;
        ASSERT_TRUE(std::regex_search(tags, match, std::regex(R"(^([-+]\d+\.\d\d) dB\n(\d\.\d{6})\n$)")))
            << tags;
        const std::string report =
            runCommand("ffmpeg -hide_banner -nostats -i " + quoted(dir / "rg" / piece) +
                       " -af ebur128=peak=sample -f null - 2>&1");
        std::smatch loudness;
        const std::string summary = report.substr(std::min(report.find("Summary:"), report.size()));
        ASSERT_TRUE(std::regex_search(summary, loudness, std::regex(R"(I:\s+([-0-9.]+) LUFS)"))) << report;
        EXPECT_NEAR(std::stod(match[1]), -18.0 - std::stod(loudness[1]), 0.35);
        const double peak = std::stod(match[2]);
        EXPECT_NEAR(20 * std::log10(peak), decodedPeakDbfs(dir / "rg" / piece), 0.1);
        EXPECT_EQ(decode(dir / "rg" / piece, "mpg123"), decode(dir / "plain" / piece, "mpg123"));
    }
}

} // namespace
