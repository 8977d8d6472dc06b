#include "engine/AtomicFile.h"
#include "engine/PlatformFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

std::vector<platform::FileCall> g_calls;

void recordCall(platform::FileCall call, const std::filesystem::path&) {
    g_calls.push_back(call);
}

// Records the helper calls made while it lives.
struct CallRecorder {
    CallRecorder() {
        g_calls.clear();
        platform::observeFileCalls(&recordCall);
    }
    ~CallRecorder() { platform::observeFileCalls(nullptr); }
    CallRecorder(const CallRecorder&) = delete;
    CallRecorder& operator=(const CallRecorder&) = delete;
};

const std::vector<std::uint8_t> kBytes = {1, 2, 3, 4, 5};

} // namespace

// The name must never stand for bytes that are not on the disk: the file is synced after the last
// change (a tagger's, by name, after writing ended) and before the rename, and the folder after it.
TEST(AtomicFile, SyncsTheFileBeforeTheRenameAndTheFolderAfterIt) {
    const auto dir = scratchDir("atomic-sync-order");
    std::vector<platform::FileCall> calls;
    {
        const CallRecorder recorder;
        AtomicFile file(dir / "out.bin");
        ASSERT_TRUE(file.write(kBytes.data(), kBytes.size()));
        ASSERT_TRUE(file.finishWriting());
        EXPECT_TRUE(g_calls.empty()) << "synced before a tagger had its turn";
        std::ofstream(file.temporaryPath(), std::ios::binary | std::ios::app) << "TAG";
        ASSERT_TRUE(file.commit());
        calls = g_calls;
    }
    using enum platform::FileCall;
    EXPECT_EQ(calls, (std::vector<platform::FileCall>{SyncFile, CloseFile, Rename, SyncFolder}));
    EXPECT_EQ(readBytes(dir / "out.bin"), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 'T', 'A', 'G'}));
    EXPECT_EQ(std::filesystem::file_size(dir / "out.bin"), 8u);
}

// The temporary name is short and of fixed length, so every name the file system takes can be
// written; a name it does not take fails cleanly.
TEST(AtomicFile, NamesUpToTheFileSystemLimitAreWritten) {
    const auto dir = scratchDir("atomic-long-names");
    for (const std::size_t length : {230u, 240u, 255u}) {
        SCOPED_TRACE(length);
        const std::string name = std::string(length - 4, 'a') + ".mp3";
        AtomicFile file(dir / name);
        EXPECT_TRUE(file.write(kBytes.data(), kBytes.size()));
        EXPECT_TRUE(file.commit()) << file.error();
        EXPECT_EQ(readBytes(dir / name), kBytes);
        EXPECT_LE(file.temporaryPath().filename().string().size(), 25u);
    }
    AtomicFile tooLong(dir / (std::string(252, 'b') + ".mp3"));
    tooLong.write(kBytes.data(), kBytes.size());
    EXPECT_FALSE(tooLong.commit());
    EXPECT_EQ(tooLong.error(), platform::systemError(ENAMETOOLONG));
    EXPECT_TRUE(hiddenNames(dir).empty());
}

#ifndef _WIN32
// The folder is held from the start: a link put in its place meanwhile does not lead the file
// elsewhere.
TEST(AtomicFile, AFolderSwappedForALinkWhileWritingKeepsTheFileWhereItBegan) {
    const auto dir = scratchDir("atomic-swapped-folder");
    std::filesystem::create_directories(dir / "out");
    std::filesystem::create_directories(dir / "outside");
    AtomicFile file(dir / "out" / "piece.mp3");
    ASSERT_TRUE(file.write(kBytes.data(), kBytes.size()));
    std::filesystem::rename(dir / "out", dir / "moved");
    std::filesystem::create_directory_symlink(dir / "outside", dir / "out");
    ASSERT_TRUE(file.commit()) << file.error();
    EXPECT_TRUE(std::filesystem::is_empty(dir / "outside"));
    EXPECT_EQ(readBytes(dir / "moved" / "piece.mp3"), kBytes);
    EXPECT_TRUE(hiddenNames(dir / "moved").empty());
}
#endif
