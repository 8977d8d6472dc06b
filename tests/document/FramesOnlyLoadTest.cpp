// A load that reads only the frame headers (for the command-line tool's commands that need no levels)
// finds the same frames as the decoding load, and every break point source but the silence finder
// places the same break points on it.
#include "DocumentHarness.h"

#include "document/BreakPointLists.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

using testing_support::fixture;
using testing_support::scratchDir;

namespace {

struct Placement {
    std::string what;
    std::vector<BreakPoint> breakPoints;
};

// The break points of each source, placed one after the other on the loaded document.
std::vector<Placement> placements(SplitDocument& doc, const std::filesystem::path& cue,
                                  const std::filesystem::path& labels) {
    std::vector<Placement> placed;
    const auto take = [&](const std::string& what) {
        placed.push_back({what, doc.m_breakPoints});
        doc.replaceBreakPoints({});
    };
    doc.placeAutomaticBreakPoints(AutoMethod::EqualCount, 7, false);
    take("--count 7");
    doc.placeAutomaticBreakPoints(AutoMethod::EveryLength, 2, false);
    take("--length 2");
    importBreakPoints(doc, cue, ListFormat::CueSheet, false);
    take("--cue");
    importBreakPoints(doc, labels, ListFormat::LabelFile, false);
    take("--labels");
    return placed;
}

} // namespace

TEST(FramesOnlyLoad, FindsTheFramesAndBreakPointsOfTheDecodingLoad) {
    const auto dir = scratchDir("frames-only-load");
    const auto cue = dir / "tracks.cue";
    std::ofstream(cue) << "FILE \"x.mp3\" MP3\n"
                          "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                          "  TRACK 02 AUDIO\n    INDEX 01 00:01:37\n"
                          "  TRACK 03 AUDIO\n    INDEX 01 00:03:05\n"
                          "  TRACK 04 AUDIO\n    INDEX 01 00:07:74\n";
    const auto labels = dir / "labels.txt";
    std::ofstream(labels) << "0.73\t0.73\tone\n2.5\t2.5\ttwo\n4.019\t4.019\tthree\n";

    std::vector<std::filesystem::path> sources;
    for (const auto& entry : std::filesystem::directory_iterator(fixture(""))) {
        if (entry.path().extension() == ".mp3") {
            sources.push_back(entry.path());
        }
    }
    std::sort(sources.begin(), sources.end());
    ASSERT_GE(sources.size(), 10u);
    for (const auto& source : sources) {
        SCOPED_TRACE(source.filename().string());
        DocumentHarness decoded;
        decoded.load(source);
        DocumentHarness headers;
        headers.doc.m_loadLevels = false;
        headers.load(source);
        ASSERT_EQ(headers.doc.frameCount(), decoded.doc.frameCount());
        if (decoded.doc.frameCount() == 0) {
            continue;
        }
        EXPECT_EQ(headers.doc.m_frameOffsets, decoded.doc.m_frameOffsets);
        EXPECT_EQ(headers.doc.m_frameLengths, decoded.doc.m_frameLengths);
        EXPECT_EQ(headers.doc.secondsPerFrame(), decoded.doc.secondsPerFrame());
        // Nothing was decoded: no level to find silences in.
        EXPECT_TRUE(headers.doc.m_frameRmsDb.empty());
        const std::vector<Placement> expected = placements(decoded.doc, cue, labels);
        const std::vector<Placement> got = placements(headers.doc, cue, labels);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(got[i].breakPoints, expected[i].breakPoints) << expected[i].what;
        }
        EXPECT_FALSE(expected[0].breakPoints.empty());
    }
}
