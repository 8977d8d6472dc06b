#include "document/SilenceFinder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// Frames of 0.1 s, so that 0.5 s is 5 frames.
constexpr double kFrame = 0.1;

// "3L 6S 4L": 3 loud frames (-10 dB), 6 silent ones (-60 dB), 4 loud; "2=-40" two frames at -40 dB.
std::vector<float> levels(const std::string& pattern) {
    std::vector<float> out;
    std::istringstream words(pattern);
    std::string word;
    while (words >> word) {
        std::size_t used = 0;
        const int count = std::stoi(word, &used);
        const std::string kind = word.substr(used);
        const float level = kind == "L" ? -10.0f : kind == "S" ? -60.0f : std::stof(kind.substr(1));
        out.insert(out.end(), static_cast<std::size_t>(count), level);
    }
    return out;
}

SilenceSettings settings(SilenceCut cut = SilenceCut::Middle, double minPiece = 0.0, int tracks = 0) {
    SilenceSettings s;
    s.cut = cut;
    s.minPieceSeconds = minPiece;
    s.tracks = tracks;
    return s;
}

struct Case {
    const char* name;
    const char* pattern;
    SilenceSettings settings;
    std::vector<int> breakPoints;
    int found;
    bool fewerThanAsked = false;
};

TEST(SilenceFinder, PlacesBreakPointsAsTheSettingsSay) {
    const Case cases[] = {
        {"middle of each", "3L 6S 4L 5S 2L", settings(), {6, 15}, 2},
        {"start: first silent frame", "3L 6S 4L 5S 2L", settings(SilenceCut::Start), {3, 13}, 2},
        {"end: first loud frame after", "3L 6S 4L 5S 2L", settings(SilenceCut::End), {9, 18}, 2},
        {"runs touching the ends are no gaps", "7S 3L 6S 2L 9S", settings(), {13}, 1},
        {"shorter than the minimum", "3L 4S 3L 5S 3L", settings(), {12}, 1},
        {"at the threshold is silent", "3L 5=-40 3L 5=-39.9 3L", settings(), {5}, 1},
        {"nothing but sound", "20L", settings(), {}, 0},
        {"nothing but silence", "20S", settings(), {}, 0},
        {"nothing at all", "", settings(), {}, 0},
        // Lengths 6, 9, 7, 5: the two longest, in file order.
        {"tracks keep the longest",
         "2L 6S 2L 9S 2L 7S 2L 5S 2L",
         settings(SilenceCut::Middle, 0, 3),
         {14, 24},
         4},
        {"equal lengths: the earlier", "2L 6S 2L 6S 2L 6S 2L", settings(SilenceCut::Start, 0, 3), {2, 10}, 3},
        {"one track keeps none", "2L 6S 2L", settings(SilenceCut::Middle, 0, 1), {}, 1},
        {"fewer than asked", "2L 6S 2L 7S 2L", settings(SilenceCut::Middle, 0, 5), {5, 13}, 2, true},
        {"none for tracks", "2L 3S 2L", settings(SilenceCut::Middle, 0, 2), {}, 0, true},
        // Cuts at 5, 13, 21 give pieces of 5, 8, 8 and 5 frames: with 0.6 s only one cut stays,
        // the first that leaves both its pieces long enough.
        {"minimum piece drops the cut of a short first and last piece",
         "2L 6S 2L 6S 2L 6S 2L",
         settings(SilenceCut::Middle, 0.6),
         {13},
         3},
        {"minimum piece keeps the longer of two close silences",
         "10L 6S 1L 8S 10L",
         settings(SilenceCut::Middle, 1.0),
         {21},
         2},
        {"minimum piece of exactly a piece", "10L 6S 10L", settings(SilenceCut::Start, 1.0), {10}, 1},
        {"minimum piece longer than the file", "10L 6S 10L", settings(SilenceCut::Start, 10.0), {}, 1},
        {"minimum piece with tracks",
         "2L 6S 2L 9S 2L 7S 8L 5S 20L",
         settings(SilenceCut::Middle, 1.0, 4),
         {14, 24, 38},
         4},
    };
    for (const Case& c : cases) {
        const SilenceResult result = findSilences(levels(c.pattern), kFrame, c.settings);
        EXPECT_EQ(result.breakPoints, c.breakPoints) << c.name;
        EXPECT_EQ(result.report.found, c.found) << c.name;
        EXPECT_EQ(result.report.kept, static_cast<int>(c.breakPoints.size())) << c.name;
        EXPECT_EQ(result.report.fewerThanAsked, c.fewerThanAsked) << c.name;
    }
}

TEST(SilenceFinder, ReportsTheShortestAndLongestFoundSilence) {
    SilenceSettings s = settings(SilenceCut::Middle, 0, 2);
    const SilenceResult result = findSilences(levels("2L 6S 2L 12S 2L 5S 2L"), kFrame, s);
    EXPECT_EQ(result.report.found, 3);
    EXPECT_EQ(result.report.kept, 1);
    EXPECT_DOUBLE_EQ(result.report.shortestSeconds, 0.5);
    EXPECT_DOUBLE_EQ(result.report.longestSeconds, 1.2);

    const SilenceResult none = findSilences(levels("2L 3S 2L"), kFrame, s);
    EXPECT_EQ(none.report.shortestSeconds, 0.0);
    EXPECT_EQ(none.report.longestSeconds, 0.0);
}

// The minimum silence counts whole frames that last at least that long: 0.5 s of 26.12 ms frames
// is 20 frames, not 19.
TEST(SilenceFinder, MinimumSilenceInWholeFramesOfTheFile) {
    const double mp3Frame = 1152.0 / 44100.0;
    SilenceSettings s;
    EXPECT_EQ(findSilences(levels("5L 19S 5L"), mp3Frame, s).report.found, 0);
    EXPECT_EQ(findSilences(levels("5L 20S 5L"), mp3Frame, s).report.found, 1);
    s.thresholdDb = -70;
    EXPECT_EQ(findSilences(levels("5L 20S 5L"), mp3Frame, s).report.found, 0);
    s.minSilenceSeconds = 0;
    s.thresholdDb = -40;
    EXPECT_EQ(findSilences(levels("5L 1S 5L"), mp3Frame, s).breakPoints, std::vector<int>{5});
}

// Whatever the settings, the break points are ascending, distinct, inside the file, and no piece
// is shorter than the minimum.
TEST(SilenceFinder, PiecesRespectTheMinimumOnRandomLevels) {
    unsigned seed = 7;
    const auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) % 1000; };
    for (int round = 0; round < 200; ++round) {
        std::vector<float> rms;
        while (rms.size() < 400) {
            rms.insert(rms.end(), 1 + next() % 30, -10.0f);
            rms.insert(rms.end(), 1 + next() % 20, -60.0f);
        }
        const double minPiece = static_cast<double>(next() % 60) / 10.0;
        const int tracks = static_cast<int>(next() % 8);
        for (const SilenceCut cut : {SilenceCut::Start, SilenceCut::Middle, SilenceCut::End}) {
            const SilenceResult result = findSilences(rms, kFrame, settings(cut, minPiece, tracks));
            int previous = 0;
            for (const int frame : result.breakPoints) {
                ASSERT_GE(frame - previous, std::max(1, static_cast<int>(minPiece / kFrame + 0.5))) << round;
                previous = frame;
            }
            ASSERT_GE(static_cast<int>(rms.size()) - previous, minPiece / kFrame - 1e-6) << round;
            if (tracks > 0) {
                ASSERT_LE(result.report.kept, tracks - 1);
            }
        }
    }
}

} // namespace
