#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <string>
#include <vector>

namespace {

using testing_support::runCommand;
using testing_support::scratchDir;
using testing_support::shellPath;

std::string quoted(const std::filesystem::path& path) {
    return "'" + shellPath(path) + "'";
}

std::string cli(const std::string& arguments, int* status) {
    return runCommand(std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli " + arguments + " 2>&1", status);
}

// The figures of one JSON object of the tool's output, in the order they come.
struct Figures {
    double integrated = std::numeric_limits<double>::quiet_NaN();
    double samplePeak = std::numeric_limits<double>::quiet_NaN();
    double truePeak = std::numeric_limits<double>::quiet_NaN();
    int firstFrame = -1;
    int endFrame = -1;
};

std::vector<Figures> figuresOf(const std::string& json) {
    std::vector<Figures> all;
    const std::regex object(
        R"re("first_frame":(\d+),"end_frame":(\d+),"integrated_lufs":([-0-9.e]+),"loudness_range_lu":[-0-9.e]+,"sample_peak_dbfs":([-0-9.e]+),"true_peak_dbtp":([-0-9.e]+))re");
    for (auto match = std::sregex_iterator(json.begin(), json.end(), object); match != std::sregex_iterator();
         ++match) {
        Figures figures;
        figures.firstFrame = std::stoi((*match)[1]);
        figures.endFrame = std::stoi((*match)[2]);
        figures.integrated = std::stod((*match)[3]);
        figures.samplePeak = std::stod((*match)[4]);
        figures.truePeak = std::stod((*match)[5]);
        all.push_back(figures);
    }
    return all;
}

// What ffmpeg's ebur128 filter prints in its summary.
Figures ffmpegFigures(const std::string& input, const std::string& filterBefore = "") {
    int status = 0;
    const std::string report = runCommand("ffmpeg -hide_banner -nostats -i " + input + " -af '" +
                                              filterBefore + "ebur128=peak=sample+true' -f null - 2>&1",
                                          &status);
    EXPECT_EQ(status, 0) << report;
    Figures figures;
    std::smatch match;
    const std::string summary = report.substr(std::min(report.find("Summary:"), report.size()));
    if (std::regex_search(summary, match, std::regex(R"(I:\s+([-0-9.]+) LUFS)"))) {
        figures.integrated = std::stod(match[1]);
    }
    const std::size_t sample = summary.find("Sample peak:");
    const std::size_t truePeak = summary.find("True peak:");
    const std::regex peak(R"(Peak:\s+([-0-9.]+))");
    if (sample != std::string::npos &&
        std::regex_search(summary.begin() + static_cast<long>(sample), summary.end(), match, peak)) {
        figures.samplePeak = std::stod(match[1]);
    }
    if (truePeak != std::string::npos &&
        std::regex_search(summary.begin() + static_cast<long>(truePeak), summary.end(), match, peak)) {
        figures.truePeak = std::stod(match[1]);
    }
    return figures;
}

// A quiet tone, then loud white noise: blocks of very different loudness, and a file whose integrated
// loudness the gate decides.
std::filesystem::path makeFile(const std::filesystem::path& dir) {
    int status = 0;
    runCommand("sox -R -n -r 44100 -c 2 " + quoted(dir / "quiet.wav") + " synth 5 sine 440 vol 0.05 2>&1",
               &status);
    EXPECT_EQ(status, 0);
    runCommand("sox -R -n -r 44100 -c 2 " + quoted(dir / "loud.wav") + " synth 5 whitenoise vol 0.3 2>&1",
               &status);
    EXPECT_EQ(status, 0);
    runCommand("sox -R " + quoted(dir / "quiet.wav") + " " + quoted(dir / "loud.wav") + " " +
                   quoted(dir / "both.wav") + " 2>&1",
               &status);
    EXPECT_EQ(status, 0);
    const std::filesystem::path mp3 = dir / "both.mp3";
    runCommand("lame --quiet -b 192 " + quoted(dir / "both.wav") + " " + quoted(mp3) + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    return mp3;
}

// The file's figures match ffmpeg's on the same file; each block's match ffmpeg's on the same
// samples, cut from mpg123's frame-by-frame decode (which leaves out the Info frame, frame 0).
TEST(LoudnessCommand, AgreesWithFfmpegForTheFileAndEachBlock) {
    const std::filesystem::path dir = scratchDir("loudness-command");
    const std::filesystem::path mp3 = makeFile(dir);
    int status = 0;
    const std::string json = cli("loudness --json " + quoted(mp3) + " --blocks 150,300", &status);
    ASSERT_EQ(status, 0) << json;
    const std::vector<Figures> ours = figuresOf(json);
    ASSERT_EQ(ours.size(), 4u) << json; // the file, then three blocks
    EXPECT_EQ(ours[1].firstFrame, 0);
    EXPECT_EQ(ours[1].endFrame, 150);
    EXPECT_EQ(ours[3].firstFrame, 300);
    EXPECT_EQ(ours[3].endFrame, ours[0].endFrame);

    const Figures file = ffmpegFigures(quoted(mp3));
    EXPECT_NEAR(ours[0].integrated, file.integrated, 0.1);
    EXPECT_NEAR(ours[0].samplePeak, file.samplePeak, 0.1);
    // Oversampling filters differ between the two meters.
    EXPECT_NEAR(ours[0].truePeak, file.truePeak, 0.5);

    const std::filesystem::path frames = dir / "frames.wav";
    runCommand("mpg123 -q --no-gapless -w " + quoted(frames) + " " + quoted(mp3) + " 2>&1", &status);
    ASSERT_EQ(status, 0);
    for (std::size_t block = 2; block < ours.size(); ++block) {
        SCOPED_TRACE(block);
        const int first = (ours[block].firstFrame - 1) * 1152;
        const int end = (ours[block].endFrame - 1) * 1152;
        const Figures cut = ffmpegFigures(quoted(frames), "atrim=start_sample=" + std::to_string(first) +
                                                              ":end_sample=" + std::to_string(end) + ",");
        EXPECT_NEAR(ours[block].integrated, cut.integrated, 0.1);
        EXPECT_NEAR(ours[block].samplePeak, cut.samplePeak, 0.1);
    }
    // The blocks really differ: the quiet tone and the loud noise.
    EXPECT_LT(ours[1].integrated, ours[3].integrated - 10);
}

// What players play: without the encoder delay, the decoder's delay and the padding. On a short file
// those few thousand silent samples would lower the integrated loudness by 0.2 LU.
TEST(LoudnessCommand, MeasuresOnlyTheSamplesAPlayerPlays) {
    const std::filesystem::path dir = scratchDir("loudness-played");
    int status = 0;
    const std::filesystem::path mp3 = dir / "short.mp3";
    runCommand("sox -R -n -r 44100 -c 2 " + quoted(dir / "short.wav") +
                   " synth 0.6 sine 1000 vol 0.5 2>&1 && " + "lame --quiet -b 128 " +
                   quoted(dir / "short.wav") + " " + quoted(mp3) + " 2>&1",
               &status);
    ASSERT_EQ(status, 0);
    const std::string json = cli("loudness --json " + quoted(mp3), &status);
    ASSERT_EQ(status, 0) << json;
    const std::vector<Figures> ours = figuresOf(json);
    ASSERT_EQ(ours.size(), 1u) << json;
    // ffmpeg's loudnorm prints the integrated loudness to a hundredth.
    const std::string report = runCommand("ffmpeg -hide_banner -nostats -i " + quoted(mp3) +
                                              " -af loudnorm=print_format=json -f null - 2>&1",
                                          &status);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(report, match, std::regex(R"re("input_i" : "([-0-9.]+)")re"))) << report;
    EXPECT_NEAR(ours[0].integrated, std::stod(match[1]), 0.03);
}

TEST(LoudnessCommand, RefusesBadUsage) {
    const std::string file = quoted(testing_support::fixture("cbr128.mp3"));
    for (const std::string& arguments :
         {std::string("loudness"), "loudness " + file + " --blocks", "loudness " + file + " --blocks 10,x",
          "loudness " + file + " --blocks -5", "loudness " + file + " --frobnicate",
          "loudness " + file + " " + file + " --jobs 0"}) {
        int status = 0;
        const std::string out = cli(arguments, &status);
        EXPECT_EQ(status, 2) << arguments << ": " << out;
        EXPECT_NE(out.find("kerfline-cli: "), std::string::npos) << arguments;
    }
    int status = 0;
    cli("loudness /no/such/file.mp3", &status);
    EXPECT_EQ(status, 1);
}

} // namespace
