#include "OutputTestSupport.h"

#include "engine/PlatformFile.h"
#include "output/SaveAll.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace output_test;
using namespace testing_support;

namespace {

// A Save All of four pieces named "{artist}/{n}" with no artist: every piece goes into out/_.
struct LinkedFolderRun {
    std::filesystem::path dir;
    std::filesystem::path out;
    std::filesystem::path outside;
    TestDocument test;

    explicit LinkedFolderRun(const std::string& name)
        : dir(scratchDir(name)), out(dir / "out"), outside(dir / "outside"),
          test(writeNumberedFrames(dir / "talk.mp3", 200)) {
        std::filesystem::create_directories(out);
        std::filesystem::create_directories(outside);
        test.doc->m_breakPoints = {50, 100, 150};
        test.doc->m_outputFolder = out;
        PieceOptions options;
        options.nameTemplate = "{artist}/{n}";
        test.doc->setPieceOptions(options);
    }

    std::string refusal(int first, int second, int number) const {
        return "Separated block " + std::to_string(first) + " F - " + std::to_string(second) +
               " F could not be saved to " + (out / "_" / (std::to_string(number) + ".mp3")).string() + ": " +
               (out / "_").string() + " is a link or no folder, and pieces are never written through one";
    }
};

#ifndef _WIN32
std::filesystem::path g_swapFolder;
int g_opened = 0;

// At the second opening of the pieces' folder (the second piece), another program puts a link to
// the outside folder in its place, just after the folder was checked or made.
void swapOnSecondOpening(platform::FileCall call, const std::filesystem::path& folder) {
    if (call != platform::FileCall::OpenSubfolder || folder != g_swapFolder || ++g_opened != 2) {
        return;
    }
    std::filesystem::rename(folder, folder.parent_path() / "moved");
    std::filesystem::create_directory_symlink(folder.parent_path().parent_path() / "outside", folder);
}
#endif

} // namespace

#ifndef _WIN32
TEST(PieceFolders, ALinkPlantedBelowTheOutputFolderIsNeverWrittenThrough) {
    LinkedFolderRun run("piece-folder-planted-link");
    std::filesystem::create_directory_symlink(std::filesystem::path("..") / "outside", run.out / "_");
    const SaveAllResult result = runSaveAll(*run.test.doc);
    EXPECT_EQ(result.failed, 4);
    EXPECT_TRUE(std::filesystem::is_empty(run.outside));
    EXPECT_TRUE(std::filesystem::is_symlink(run.out / "_"));
    EXPECT_EQ(
        run.test.lines(LogLevel::Error),
        (std::vector<std::string>{run.refusal(0, 50, 0), run.refusal(50, 100, 1), run.refusal(100, 150, 2),
                                  run.refusal(150, 199, 3), "4 of 4 separated blocks could not be saved"}));
}

// The swap happens between making the folder and opening it, where a check by name and a later
// open by name would both be fooled.
TEST(PieceFolders, ALinkSwappedInDuringARunStopsThePiecesAtIt) {
    LinkedFolderRun run("piece-folder-swapped-link");
    g_swapFolder = run.out / "_";
    g_opened = 0;
    platform::observeFileCalls(&swapOnSecondOpening);
    const SaveAllResult result = runSaveAll(*run.test.doc);
    platform::observeFileCalls(nullptr);
    ASSERT_GE(g_opened, 2);
    EXPECT_EQ(result.failed, 3);
    EXPECT_TRUE(std::filesystem::is_empty(run.outside));
    EXPECT_EQ(readBytes(run.out / "moved" / "0.mp3"), frameBytes(run.dir / "talk.mp3", 0, 50));
    EXPECT_EQ(
        run.test.lines(LogLevel::Error),
        (std::vector<std::string>{run.refusal(50, 100, 1), run.refusal(100, 150, 2), run.refusal(150, 199, 3),
                                  "3 of 4 separated blocks could not be saved"}));
}
#endif

namespace {

std::vector<std::pair<platform::FileCall, std::filesystem::path>> g_calls;

void recordCall(platform::FileCall call, const std::filesystem::path& name) {
    g_calls.emplace_back(call, name);
}

// Whether the system puts a whole file system on the disk in one call (Windows has none for a user).
bool oneSyncForTheFileSystem(const std::filesystem::path& folder) {
    const auto probe = folder / "sync-probe";
    bool synced = false;
    {
        const platform::FileHandle file = platform::createNewFile(probe);
        synced = file.isOpen() && platform::syncFileSystem(file.get());
    }
    std::filesystem::remove(probe);
    return synced;
}

} // namespace

// The pieces are put on the disk together (one sync of the file system) before any is renamed; the
// folders' entries go to the disk once, at the end of the run (the new subfolder's parent too).
TEST(PieceFolders, ARunSyncsItsPiecesBeforeTheRenamesAndEachFolderOnceAtTheEnd) {
    using enum platform::FileCall;
    for (const bool templated : {false, true}) {
        SCOPED_TRACE(templated);
        LinkedFolderRun run(templated ? "piece-folder-syncs-templated" : "piece-folder-syncs");
        if (!templated) {
            run.test.doc->setPieceOptions({});
        }
        const bool oneSync = oneSyncForTheFileSystem(run.out);
        g_calls.clear();
        platform::observeFileCalls(&recordCall);
        const SaveAllResult result = runSaveAll(*run.test.doc);
        platform::observeFileCalls(nullptr);
        EXPECT_EQ(result.failed, 0);
        std::vector<platform::FileCall> perPiece;
        std::vector<std::filesystem::path> syncedFolders;
        for (const auto& [call, name] : g_calls) {
            if (call == SyncFolder) {
                syncedFolders.push_back(name);
            } else if (call != OpenSubfolder) {
                EXPECT_TRUE(syncedFolders.empty()) << "a folder synced before the last piece";
                perPiece.push_back(call);
            }
        }
        // Without that call each piece syncs itself, still after all were written.
        std::vector<platform::FileCall> expected = {SyncFileSystem};
        for (int piece = 0; piece < 4; ++piece) {
            if (!oneSync) {
                expected.push_back(SyncFile);
            }
            expected.insert(expected.end(), {CloseFile, Rename});
        }
        EXPECT_EQ(perPiece, expected);
        const std::vector<std::filesystem::path> folders =
            templated ? std::vector<std::filesystem::path>{run.out, run.out / "_"}
                      : std::vector<std::filesystem::path>{run.out};
        EXPECT_EQ(syncedFolders, folders);
        const auto first = templated ? run.out / "_" / "0.mp3" : run.out / "talk-0.mp3";
        EXPECT_EQ(readBytes(first), frameBytes(run.dir / "talk.mp3", 0, 50));
    }
}
