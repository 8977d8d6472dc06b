#include "OutputTestSupport.h"

#include "engine/PlatformFile.h"
#include "output/DurableBatch.h"
#include "output/SaveAll.h"
#include "output/SaveBlocks.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

using namespace output_test;
using namespace testing_support;

namespace {

// Every name in `folder`, hidden temporaries included, sorted.
std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Fails the calls of one kind with an error, from the `from`-th such call on (1 for the first).
platform::FileCall g_failedCall = platform::FileCall::SyncFileSystem;
int g_failFrom = 1;
int g_failError = EIO;
int g_calls = 0;

int failCall(platform::FileCall call, const std::filesystem::path&) {
    if (call != g_failedCall) {
        return 0;
    }
    return ++g_calls >= g_failFrom ? g_failError : 0;
}

// Fails only the `from`-th call of its kind.
int failOneCall(platform::FileCall call, const std::filesystem::path&) {
    if (call != g_failedCall) {
        return 0;
    }
    return ++g_calls == g_failFrom ? g_failError : 0;
}

struct Faults {
    Faults(platform::FileCallFault fault, platform::FileCall call, int from, int error) {
        g_failedCall = call;
        g_failFrom = from;
        g_failError = error;
        g_calls = 0;
        platform::injectFileCallFaults(fault);
    }
    ~Faults() { platform::injectFileCallFaults(nullptr); }
    Faults(const Faults&) = delete;
    Faults& operator=(const Faults&) = delete;
};

// A Save All of a tagged VBR file with gapless headers and copied tags into `out`.
SaveAllResult saveAllInto(const std::filesystem::path& source, const std::filesystem::path& out,
                          const std::vector<int>& breakPoints) {
    TestDocument test(source);
    test.doc->m_breakPoints = breakPoints;
    test.doc->m_outputFolder = out;
    PieceOptions options;
    options.gapless = true;
    options.copyTags = true;
    test.doc->setPieceOptions(options);
    std::filesystem::create_directories(out);
    return runSaveAll(*test.doc);
}

int g_mostOpen = 0;

int openDescriptors() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator()));
}

void countOpenAtSync(platform::FileCall call, const std::filesystem::path&) {
    if (call == platform::FileCall::SyncFileSystem) {
        g_mostOpen = std::max(g_mostOpen, openDescriptors());
    }
}

} // namespace

// The pieces put on the disk together are the same bytes as pieces each synced on their own (where
// the system has no file system sync) and as the single block a Save Block writes.
TEST(DurableBatch, PiecesAreTheSameWhicheverWayTheyReachTheDisk) {
    const auto dir = scratchDir("durable-batch-same-bytes");
    const auto source = dir / "source.mp3";
    std::filesystem::copy_file(fixture("id3v2-cover.mp3"), source);
    const std::vector<int> breakPoints = {20, 41, 60};

    EXPECT_EQ(saveAllInto(source, dir / "together", breakPoints).failed, 0);
    {
        const Faults noFileSystemSync(&failCall, platform::FileCall::SyncFileSystem, 1, ENOSYS);
        EXPECT_EQ(saveAllInto(source, dir / "each", breakPoints).failed, 0);
    }
    const std::vector<std::string> names = namesIn(dir / "together");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(namesIn(dir / "each"), names);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(readBytes(dir / "together" / name), readBytes(dir / "each" / name));
        EXPECT_EQ(toolComplaints(dir / "together" / name), "");
    }
    // The blocks after the first, each by Save Block, which syncs its one piece itself.
    for (std::size_t block = 1; block < names.size(); ++block) {
        SCOPED_TRACE(block);
        TestDocument single(source);
        single.doc->m_breakPoints = breakPoints;
        PieceOptions options;
        options.gapless = true;
        options.copyTags = true;
        single.doc->setPieceOptions(options);
        single.doc->m_blockPath = dir / ("block-" + std::to_string(block) + ".mp3");
        single.doc->m_blockFrom = breakPoints[block - 1];
        ASSERT_TRUE(runBlockSave(*single.doc));
        EXPECT_EQ(readBytes(single.doc->m_blockPath), readBytes(dir / "together" / names[block]));
    }
}

// A failure the program sees leaves no temporary file; a failed sync leaves no piece at all, since
// none of them is known to be on the disk.
TEST(DurableBatch, AFailureMidwayLeavesNoTemporaryFile) {
    const auto dir = scratchDir("durable-batch-failures");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 200);
    const std::vector<int> breakPoints = {50, 100, 150};
    {
        SCOPED_TRACE("the file system sync fails");
        const Faults faults(&failCall, platform::FileCall::SyncFileSystem, 1, EIO);
        TestDocument test(source);
        test.doc->m_breakPoints = breakPoints;
        test.doc->m_outputFolder = dir / "sync";
        std::filesystem::create_directories(dir / "sync");
        EXPECT_EQ(runSaveAll(*test.doc).failed, 4);
        EXPECT_EQ(namesIn(dir / "sync"), std::vector<std::string>{});
        const auto errors = test.lines(LogLevel::Error);
        ASSERT_EQ(errors.size(), 5u);
        EXPECT_EQ(errors[0], "Separated block 0 F - 50 F could not be saved to " +
                                 (dir / "sync" / "talk-0.mp3").string() +
                                 ": it could not be put on the disk: " + platform::systemError(EIO));
        EXPECT_EQ(errors[4], "4 of 4 separated blocks could not be saved");
        EXPECT_EQ(test.lines(LogLevel::Normal).size(), 0u);
    }
    {
        SCOPED_TRACE("the third rename fails");
        const Faults faults(&failOneCall, platform::FileCall::Rename, 3, EACCES);
        TestDocument test(source);
        test.doc->m_breakPoints = breakPoints;
        test.doc->m_outputFolder = dir / "rename";
        std::filesystem::create_directories(dir / "rename");
        EXPECT_EQ(runSaveAll(*test.doc).failed, 1);
        EXPECT_EQ(namesIn(dir / "rename"),
                  (std::vector<std::string>{"talk-0.mp3", "talk-1.mp3", "talk-3.mp3"}));
        EXPECT_EQ(readBytes(dir / "rename" / "talk-3.mp3"), frameBytes(source, 150, 200));
    }
    {
        SCOPED_TRACE("the chosen blocks' sync fails");
        const Faults faults(&failCall, platform::FileCall::SyncFileSystem, 1, EIO);
        TestDocument test(source);
        test.doc->m_breakPoints = breakPoints;
        std::filesystem::create_directories(dir / "chosen");
        std::vector<CheckedRow> rows;
        for (int row = 1; row <= 2; ++row) {
            CheckedRow checked;
            checked.number = row;
            checked.block = {row * 50, row * 50 + 50};
            rows.push_back(checked);
        }
        const SpecifiedBlocksJob job = specifiedBlocksJob(*test.doc, dir / "chosen", rows, 4);
        EXPECT_EQ(runSpecifiedBlocksSave(job, test.frame, test.view), 2);
        EXPECT_EQ(namesIn(dir / "chosen"), std::vector<std::string>{});
    }
}

// Pieces wait for their sync with their files open (each with its folder), but a run of many pieces
// never holds more than a batch of them: the open file limit is often 1024.
TEST(DurableBatch, ARunOfManyPiecesHoldsFewFilesOpen) {
    const auto dir = scratchDir("durable-batch-many");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 400);
    TestDocument test(source);
    for (int frame = 1; frame < 400; ++frame) {
        test.doc->m_breakPoints.push_back(frame);
    }
    test.doc->m_outputFolder = dir / "out";
    std::filesystem::create_directories(dir / "out");
    const int before = openDescriptors();
    g_mostOpen = 0;
    platform::observeFileCalls(&countOpenAtSync);
    const SaveAllResult result = runSaveAll(*test.doc);
    platform::observeFileCalls(nullptr);
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(namesIn(dir / "out").size(), 400u);
    EXPECT_GT(g_mostOpen, before);
    EXPECT_LE(g_mostOpen, before + 2 * static_cast<int>(DurableBatch::kMostPending) + 8);
    EXPECT_EQ(readBytes(dir / "out" / "talk-399.mp3"), frameBytes(source, 399, 400));
}

// Tag fields written by the caller go into each piece before it takes its name and before the pieces
// are put on the disk; a piece whose tags cannot be written fails whole.
TEST(DurableBatch, CallersTagsGoInBeforeThePieceTakesItsName) {
    const auto dir = scratchDir("durable-batch-tag-writer");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 200);
    static std::vector<std::string> calls;
    calls.clear();
    platform::observeFileCalls([](platform::FileCall call, const std::filesystem::path& name) {
        if (call == platform::FileCall::SyncFileSystem || call == platform::FileCall::Rename) {
            calls.push_back(call == platform::FileCall::Rename ? "rename" : "sync");
        }
        (void)name;
    });
    struct Run {
        const char* folder;
        int refusedPiece; // -1: every piece's tags are written
        int failed;
    };
    for (const Run& run : {Run{"written", -1, 0}, Run{"refused", 1, 1}}) {
        SCOPED_TRACE(run.folder);
        calls.clear();
        TestDocument test(source);
        test.doc->m_breakPoints = {50, 100};
        test.doc->m_outputFolder = dir / run.folder;
        std::filesystem::create_directories(dir / run.folder);
        SaveAllOptions options;
        std::vector<std::string> tagged;
        options.tagWriter = [&](const std::filesystem::path& temporary, const PieceIdentity& identity) {
            tagged.push_back(temporary.filename().string());
            calls.push_back("tag " + std::to_string(identity.number));
            EXPECT_EQ(identity.count, 3);
            return identity.number != run.refusedPiece;
        };
        EXPECT_EQ(runSaveAll(*test.doc, options).failed, run.failed);
        ASSERT_EQ(tagged.size(), 3u);
        for (const std::string& name : tagged) {
            EXPECT_EQ(name.rfind(".kf", 0), 0u) << name; // the temporary, never the final name
        }
        const std::vector<std::string> expectedCalls =
            run.refusedPiece < 0
                ? std::vector<std::string>{"tag 0", "tag 1", "tag 2", "sync", "rename", "rename", "rename"}
                : std::vector<std::string>{"tag 0", "tag 1", "tag 2", "sync", "rename", "rename"};
        EXPECT_EQ(calls, expectedCalls);
        const std::vector<std::string> expectedNames =
            run.refusedPiece < 0 ? std::vector<std::string>{"talk-0.mp3", "talk-1.mp3", "talk-2.mp3"}
                                 : std::vector<std::string>{"talk-0.mp3", "talk-2.mp3"};
        EXPECT_EQ(namesIn(dir / run.folder), expectedNames);
    }
    platform::observeFileCalls(nullptr);
}
