#include "DocumentHarness.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using testing_support::fixture;
using testing_support::scratchDir;

namespace {

// The system may refuse a thread (pthread_create fails with EAGAIN when the process may start no
// more): the command says so at level 2 and the document stays as it was, the file before included.
TEST(WorkerStart, ALoadWithoutAThreadLeavesTheLoadedFile) {
    DocumentHarness h;
    const auto first = fixture("cbr128.mp3");
    h.load(first);
    h.doc.replaceBreakPoints({300, 100});
    h.doc.setBlockTag(1, ID3Info{"Album", "Artist", "Title", "", 2001});
    const int frames = h.doc.frameCount();
    const ID3Info mainTag = h.doc.m_mainTag;
    const auto tags = h.doc.m_blockTags;
    h.link.clearRecords();

    WorkerSlot::refuseStartsForTesting(1);
    h.doc.openFile(fixture("ten-seconds.mp3"));
    EXPECT_FALSE(h.doc.m_loadThread.isSet());
    EXPECT_EQ(h.link.logLines(LogLevel::Error), std::vector<std::string>{"could not start a worker thread"});
    EXPECT_EQ(h.doc.m_filePath, first);
    EXPECT_EQ(h.doc.frameCount(), frames);
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{300, 100}));
    EXPECT_EQ(h.doc.m_mainTag, mainTag);
    EXPECT_EQ(h.doc.m_blockTags, tags);
    ASSERT_TRUE(h.doc.m_cursor.isOpen());
    EXPECT_EQ(h.doc.m_cursor.path(), first);
    EXPECT_TRUE(h.doc.canEditBreakPoints());

    // The next start is granted again.
    h.load(fixture("ten-seconds.mp3"));
    EXPECT_EQ(h.doc.m_filePath, fixture("ten-seconds.mp3"));
}

TEST(WorkerStart, AConversionWithoutAThreadWritesNothing) {
    const auto dir = scratchDir("worker-start-wav");
    DocumentHarness h;
    h.load(fixture("cbr128.mp3"));
    h.link.clearRecords();
    WorkerSlot::refuseStartsForTesting(1);
    h.doc.startWavConversion(dir / "out.wav");
    EXPECT_FALSE(h.doc.m_wavThread.isSet());
    EXPECT_EQ(h.link.logLines(LogLevel::Error), std::vector<std::string>{"could not start a worker thread"});
    EXPECT_TRUE(h.doc.m_wavPath.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    EXPECT_TRUE(h.doc.canEditBreakPoints());
}

} // namespace
