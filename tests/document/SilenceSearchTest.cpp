#include "DocumentHarness.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

using testing_support::fixture;

// The silence fixtures (see tests/fixtures/make-fixtures.sh): silences of 0.8, 1.6 and 1.2 s and a
// pause of 0.3 s between tones, at these seconds of the WAV lame encoded.
struct Gap {
    double from;
    double to;
};
const Gap kSilences[] = {{1.0, 1.8}, {3.3, 4.9}, {7.2, 8.4}};
const Gap kPause = {5.9, 6.2};

// Where a second of the WAV is in the decoded frames: after the Info frame (1152 samples of
// silence) and lame's and the decoder's delay (576 + 529 samples).
double frameAt(double seconds) {
    return (seconds * 44100.0 + 1152.0 + 576.0 + 529.0) / 1152.0;
}

double middleOf(const Gap& gap) {
    return frameAt((gap.from + gap.to) / 2);
}

TEST(SilenceSearch, LoadMeasuresTheFramesAndTheirDuration) {
    DocumentHarness h;
    EXPECT_EQ(h.doc.secondsPerFrame(), 0.0);
    EXPECT_TRUE(h.doc.frameRmsDb().empty());
    h.load(fixture("silences.mp3"));
    EXPECT_DOUBLE_EQ(h.doc.secondsPerFrame(), 1152.0 / 44100.0);
    EXPECT_EQ(h.doc.frameRmsDb().size(), h.doc.m_frameLevels.size());
    h.load(fixture("mpeg2-mono.mp3"));
    EXPECT_DOUBLE_EQ(h.doc.secondsPerFrame(), 576.0 / 22050.0);
}

TEST(SilenceSearch, MiddleCutsLandInTheMiddleOfEachSilence) {
    for (const char* file : {"silences.mp3", "noise-floor-50.mp3"}) {
        DocumentHarness h;
        h.load(fixture(file));
        const SilenceResult result = h.doc.findSilences({});
        ASSERT_EQ(result.breakPoints.size(), std::size(kSilences)) << file;
        for (std::size_t i = 0; i < std::size(kSilences); ++i) {
            EXPECT_LE(std::abs(result.breakPoints[i] - middleOf(kSilences[i])), 1.0) << file << " " << i;
        }
        EXPECT_EQ(result.report.found, 3) << file;
        EXPECT_NEAR(result.report.shortestSeconds, 0.8, 0.06) << file;
        EXPECT_NEAR(result.report.longestSeconds, 1.6, 0.06) << file;

        // The pause inside a track counts once the minimum is below it.
        SilenceSettings shorter;
        shorter.minSilenceSeconds = 0.2;
        const SilenceResult withPause = h.doc.findSilences(shorter);
        ASSERT_EQ(withPause.breakPoints.size(), 4u) << file;
        EXPECT_LE(std::abs(withPause.breakPoints[2] - middleOf(kPause)), 1.0) << file;

        // Start and end: the first silent frame and the first loud one, each within a frame.
        SilenceSettings edges;
        edges.cut = SilenceCut::Start;
        const SilenceResult starts = h.doc.findSilences(edges);
        edges.cut = SilenceCut::End;
        const SilenceResult ends = h.doc.findSilences(edges);
        for (std::size_t i = 0; i < std::size(kSilences); ++i) {
            EXPECT_LE(std::abs(starts.breakPoints[i] - frameAt(kSilences[i].from)), 1.0) << file << " " << i;
            EXPECT_LE(std::abs(ends.breakPoints[i] - frameAt(kSilences[i].to)), 1.0) << file << " " << i;
        }
    }
}

TEST(SilenceSearch, TracksAndMinimumPieceChooseAmongTheSilences) {
    DocumentHarness h;
    h.load(fixture("silences.mp3"));
    SilenceSettings settings;
    settings.tracks = 3; // the 1.6 and 1.2 s silences
    const auto nearest = [](const std::vector<int>& got, const std::vector<double>& expected) {
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_LE(std::abs(got[i] - expected[i]), 1.0) << i;
        }
    };
    nearest(h.doc.findSilences(settings).breakPoints, {middleOf(kSilences[1]), middleOf(kSilences[2])});
    settings.tracks = 2;
    nearest(h.doc.findSilences(settings).breakPoints, {middleOf(kSilences[1])});
    settings.tracks = 5;
    const SilenceResult fewer = h.doc.findSilences(settings);
    EXPECT_EQ(fewer.report.kept, 3);
    EXPECT_TRUE(fewer.report.fewerThanAsked);

    // Pieces of 1.4, 2.7, 3.7 and 1.6 s: at least 1.5 s merges the first into the second.
    settings = {};
    settings.minPieceSeconds = 1.5;
    nearest(h.doc.findSilences(settings).breakPoints, {middleOf(kSilences[1]), middleOf(kSilences[2])});
    settings.minPieceSeconds = 2.5;
    nearest(h.doc.findSilences(settings).breakPoints, {middleOf(kSilences[1])});
}

TEST(SilenceSearch, PlacingAddsOneStepOrSaysNothingWasFound) {
    DocumentHarness h;
    h.load(fixture("noise-floor-30.mp3"));
    h.doc.appendBreakPoint(7);
    const SilenceResult none = h.doc.placeSilenceBreakPoints({}, true);
    EXPECT_EQ(none.report.found, 0);
    EXPECT_EQ(h.doc.m_breakPoints, BreakPointList{7});
    EXPECT_EQ(h.link.logLines(LogLevel::Error),
              std::vector<std::string>{"No silence found with these settings"});

    h.load(fixture("silences.mp3"));
    h.doc.appendBreakPoint(7);
    const SilenceResult placed = h.doc.placeSilenceBreakPoints({}, true);
    EXPECT_EQ(h.doc.m_breakPoints, BreakPointList(placed.breakPoints.begin(), placed.breakPoints.end()));
    ASSERT_TRUE(h.doc.undoEdit());
    EXPECT_EQ(h.doc.m_breakPoints, BreakPointList{7});

    // Silences found but none kept (no piece may be that long) leave the list too, and say so.
    SilenceSettings tooLong;
    tooLong.minPieceSeconds = 3600.0;
    const SilenceResult dropped = h.doc.placeSilenceBreakPoints(tooLong, true);
    EXPECT_GT(dropped.report.found, 0);
    EXPECT_EQ(dropped.report.kept, 0);
    EXPECT_EQ(h.doc.m_breakPoints, BreakPointList{7});
    EXPECT_EQ(h.link.logLines(LogLevel::Error).back(), "No silence found with these settings");

    // While a thread saves, the list stays as it is.
    HeldThread saving(h.doc.m_saveAllThread);
    h.doc.placeSilenceBreakPoints({}, false);
    EXPECT_EQ(h.doc.m_breakPoints, BreakPointList{7});
}

// Running the finder again adds nothing it added before, nor frames the list already holds; the
// list's own duplicates (from other methods) stay as they are.
TEST(SilenceSearch, PlacingAgainAddsOnlyBreakPointsTheListDoesNotHold) {
    DocumentHarness h;
    h.load(fixture("silences.mp3"));
    const SilenceResult found = h.doc.findSilences({});
    ASSERT_GE(found.breakPoints.size(), 2u);
    const int first = found.breakPoints[0];
    h.doc.replaceBreakPoints({5, 5, first});

    h.doc.placeSilenceBreakPoints({}, false);
    BreakPointList expected = {5, 5, first};
    expected.insert(expected.end(), found.breakPoints.begin() + 1, found.breakPoints.end());
    EXPECT_EQ(h.doc.m_breakPoints, expected);
    EXPECT_EQ(h.link.logLines(LogLevel::Normal).back(),
              "1 silence is already a break point and has not been added again");

    const std::size_t steps = h.doc.m_history.undoSteps();
    h.link.clearRecords();
    h.doc.placeSilenceBreakPoints({}, false);
    EXPECT_EQ(h.doc.m_breakPoints, expected);
    EXPECT_EQ(h.doc.m_history.undoSteps(), steps); // nothing changed, nothing to undo
    const auto lines = h.link.logLines(LogLevel::Normal);
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& line) { return line.starts_with("Break point has been added"); }),
        0);
    EXPECT_EQ(lines.back(), std::to_string(found.breakPoints.size()) +
                                " silences are already break points and have not been added again");

    // Starting from an empty list keeps one of each.
    h.doc.placeSilenceBreakPoints({}, true);
    EXPECT_EQ(h.doc.m_breakPoints, BreakPointList(found.breakPoints.begin(), found.breakPoints.end()));
}

// Thousands of silences in a long recording would bury the log: one line says how many were added
// (the older automatic methods keep their line per break point).
TEST(SilenceSearch, PlacingLogsOneSummaryLineInsteadOfOnePerBreakPoint) {
    DocumentHarness h;
    h.load(fixture("silences.mp3"));
    const SilenceResult found = h.doc.findSilences({});
    ASSERT_GE(found.breakPoints.size(), 2u);
    h.link.clearRecords();
    h.doc.placeSilenceBreakPoints({}, false);
    ASSERT_EQ(h.doc.m_breakPoints.size(), found.breakPoints.size());
    EXPECT_EQ(
        h.link.logLines(LogLevel::Normal),
        (std::vector<std::string>{silenceReportLine(found.report), std::to_string(found.breakPoints.size()) +
                                                                       " break points have been added"}));
}

} // namespace
