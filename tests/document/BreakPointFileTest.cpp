#include "DocumentHarness.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using testing_support::readBytes;
using testing_support::scratchDir;
using testing_support::writeBytes;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BreakPointFile, SavesLittleEndianValuesInListOrder) {
    const auto dir = scratchDir("bps-save");
    DocumentHarness h;
    h.pretendLoaded(500);
    h.doc.replaceBreakPoints({300, 100, 100});
    h.doc.saveBreakPointFile(dir / "three.bps");
    EXPECT_EQ(readBytes(dir / "three.bps"), (Bytes{0x2C, 0x01, 0, 0, 0x64, 0, 0, 0, 0x64, 0, 0, 0}));

    h.doc.replaceBreakPoints({-2, 500});
    h.doc.saveBreakPointFile(dir / "odd.bps");
    EXPECT_EQ(readBytes(dir / "odd.bps"), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0xF4, 0x01, 0, 0}));

    h.doc.replaceBreakPoints({});
    h.doc.saveBreakPointFile(dir / "empty.bps");
    EXPECT_TRUE(std::filesystem::exists(dir / "empty.bps"));
    EXPECT_EQ(std::filesystem::file_size(dir / "empty.bps"), 0u);

    const std::string prefix = "Break points saved to file ";
    EXPECT_EQ(h.link.logLines(), (std::vector<std::string>{prefix + (dir / "three.bps").string(),
                                                           prefix + (dir / "odd.bps").string(),
                                                           prefix + (dir / "empty.bps").string()}));
}

TEST(BreakPointFile, FailedWritesAreReportedNotAnnouncedAsSaved) {
    const auto dir = scratchDir("bps-fail");
    DocumentHarness h;
    h.pretendLoaded(500);
    h.doc.replaceBreakPoints({1, 2, 3});
    h.doc.saveBreakPointFile(dir / "no-such-folder" / "x.bps"); // cannot be created
    h.doc.saveBreakPointFile(dir);                              // a folder
    if (std::filesystem::exists("/dev/full")) {
        h.doc.saveBreakPointFile("/dev/full"); // the device takes no byte
    }
    const auto errors = h.link.logLines(LogLevel::Error);
    EXPECT_GE(errors.size(), 2u);
    for (const std::string& line : errors) {
        EXPECT_EQ(line.rfind("Break points could not be saved to file ", 0), 0u) << line;
    }
    EXPECT_TRUE(h.link.logLines(LogLevel::Normal).empty());
}

TEST(BreakPointFile, SaveNeverReplacesTheLoadedMp3) {
    const auto dir = scratchDir("bps-over-source");
    const auto source = dir / "song.mp3";
    std::filesystem::copy_file(testing_support::fixture("cbr128.mp3"), source);
    std::vector<std::filesystem::path> targets = {source, dir / "." / "song.mp3"};
#ifndef _WIN32
    std::filesystem::create_symlink(source, dir / "link.bps");
    targets.push_back(dir / "link.bps");
#endif
    const Bytes original = readBytes(source);
    DocumentHarness h;
    h.load(source);
    h.link.clearRecords();
    h.doc.replaceBreakPoints({5, 9});
    for (const auto& target : targets) {
        h.doc.saveBreakPointFile(target);
    }
    EXPECT_EQ(readBytes(source), original);
    EXPECT_TRUE(h.link.logLines(LogLevel::Normal).empty());
    const auto errors = h.link.logLines(LogLevel::Error);
    ASSERT_EQ(errors.size(), targets.size());
    EXPECT_EQ(errors[0],
              "Break points could not be saved to file " + source.string() + ", it is the loaded mp3 file");
}

TEST(BreakPointFile, LoadKeepsFramesBelowFAndAppends) {
    const auto dir = scratchDir("bps-load");
    // 5, -1, 400 (= F), 399, 0, 70000 and then 3 trailing bytes
    writeBytes(dir / "mixed.bps", Bytes{5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x90, 0x01, 0, 0, 0x8F, 0x01,
                                        0, 0, 0, 0, 0,    0,    0x70, 0x11, 0x01, 0,    9, 9, 9});
    DocumentHarness h;
    h.pretendLoaded(400);
    h.doc.replaceBreakPoints({42});
    h.doc.m_selectedBreakPoint = 42;
    h.doc.setBlockTag(1, ID3Info{});
    h.doc.loadBreakPointFile(dir / "mixed.bps");
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{42, 5, 399, 0}));
    h.doc.loadBreakPointFile(dir / "mixed.bps");
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{42, 5, 399, 0, 5, 399, 0}));
    EXPECT_EQ(h.doc.m_selectedBreakPoint, 42);
    EXPECT_EQ(h.doc.m_blockTags.size(), 1u);
    EXPECT_EQ(h.link.logLines().back(), "Break points loaded from file " + (dir / "mixed.bps").string());

    // A missing file changes nothing and says nothing.
    h.link.clearRecords();
    h.doc.loadBreakPointFile(dir / "missing.bps");
    EXPECT_EQ(h.doc.m_breakPoints.size(), 7u);
    EXPECT_TRUE(h.link.records().empty());
}

TEST(BreakPointFile, LoadRefusesWhatIsNotARegularFile) {
    DocumentHarness h;
    h.pretendLoaded(400);
    h.doc.replaceBreakPoints({42});
    const auto folder = scratchDir("bps-not-a-file");
    h.doc.loadBreakPointFile(folder);
    // Endless zeros would otherwise be appended as break points at frame 0 until memory runs out.
    if (std::filesystem::exists("/dev/zero")) {
        h.doc.loadBreakPointFile("/dev/zero");
    }
    EXPECT_EQ(h.doc.m_breakPoints, BreakPointList{42});
    EXPECT_TRUE(h.link.logLines(LogLevel::Normal).empty());
    const auto errors = h.link.logLines(LogLevel::Error);
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front(),
              "Break points could not be loaded from file " + folder.string() + ", it is not a regular file");
}

TEST(BreakPointFile, RoundTripDropsFOnReading) {
    const auto dir = scratchDir("bps-roundtrip");
    DocumentHarness h;
    h.pretendLoaded(900);
    h.doc.replaceBreakPoints({300, 600, 900});
    h.doc.saveBreakPointFile(dir / "count.bps");
    EXPECT_EQ(readBytes(dir / "count.bps").size(), 12u);
    h.doc.replaceBreakPoints({});
    h.doc.loadBreakPointFile(dir / "count.bps");
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{300, 600}));
}

} // namespace
