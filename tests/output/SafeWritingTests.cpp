#include "OutputTestSupport.h"

#include "engine/PlatformFile.h"
#include "output/FrameCopy.h"
#include "output/PieceFile.h"
#include "output/SaveAll.h"
#include "output/SourceCheck.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include "support/SmallDisk.h"
#include "support/WriteLimit.h"

#include <sys/stat.h>
#endif

#include <chrono>
#include <functional>
#include <new>

using namespace output_test;
using namespace testing_support;

namespace {

// What a name in the output folder can be besides a file of our own.
struct Occupant {
    const char* name;
    std::function<std::filesystem::path(const std::filesystem::path& dir)> place;
};

TEST(SafeWriting, NamesHeldByLinksPipesDevicesAndFoldersAreRefusedUntouched) {
    const auto dir = scratchDir("safe-occupied");
    const auto source = writeNumberedFrames(dir / "source.mp3", 20);
    const auto original = readBytes(source);
    std::filesystem::create_directories(dir / "elsewhere");
    writeBytes(dir / "elsewhere" / "precious.txt", {1, 2, 3});
    const Occupant occupants[] = {
#ifndef _WIN32
        {"link to a file elsewhere",
         [](const auto& out) {
             std::filesystem::create_symlink(out / ".." / "elsewhere" / "precious.txt", out / "piece.mp3");
             return out / "piece.mp3";
         }},
        {"dangling link",
         [](const auto& out) {
             std::filesystem::create_symlink(out / ".." / "elsewhere" / "created.txt", out / "piece.mp3");
             return out / "piece.mp3";
         }},
        {"pipe",
         [](const auto& out) {
             ::mkfifo((out / "piece.mp3").c_str(), 0644);
             return out / "piece.mp3";
         }},
        {"device", [](const auto&) { return std::filesystem::path("/dev/null"); }},
#endif
        {"folder",
         [](const auto& out) {
             std::filesystem::create_directories(out / "piece.mp3");
             return out / "piece.mp3";
         }},
    };
    SourceFrames frames(source);
    for (const Occupant& occupant : occupants) {
        const auto out = dir / occupant.name;
        std::filesystem::create_directories(out);
        const auto name = occupant.place(out);
        const auto before = std::filesystem::symlink_status(name).type();
        PieceFile piece = createPieceFile(name, source);
        copyFrames(frames, 0, 20, piece);
        EXPECT_FALSE(piece.close()) << occupant.name;
        EXPECT_EQ(piece.error(), "it is not a regular file") << occupant.name;
        EXPECT_EQ(std::filesystem::symlink_status(name).type(), before) << occupant.name;
        EXPECT_TRUE(hiddenNames(out).empty()) << occupant.name;
    }
    EXPECT_EQ(readBytes(dir / "elsewhere" / "precious.txt"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere" / "created.txt"));
    EXPECT_EQ(readBytes(source), original);
}

// An earlier file at the name survives every way a piece can fail, and gives way only to a whole one.
TEST(SafeWriting, AnEarlierFileIsReplacedOnlyByAWholePiece) {
    const auto dir = scratchDir("safe-replace");
    const auto source = writeNumberedFrames(dir / "source.mp3", 20);
    const std::vector<std::uint8_t> earlier(5000, 0xAA);
    SourceFrames frames(source);
    const auto piece = dir / "piece.mp3";

    writeBytes(piece, earlier);
    {
        PieceFile kept = createPieceFile(piece, source, AtomicFile::Existing::Keep);
        copyFrames(frames, 0, 20, kept);
        EXPECT_FALSE(kept.close());
        EXPECT_EQ(kept.error(), "the file already exists");
    }
    EXPECT_EQ(readBytes(piece), earlier);
#ifndef _WIN32
    {
        PieceFile full = createPieceFile(piece, source);
        const WriteLimit limit(1000);
        copyFrames(frames, 0, 20, full);
        EXPECT_FALSE(full.close());
    }
    EXPECT_EQ(readBytes(piece), earlier);
#endif
    {
        // Dropped before close(): the job stopped.
        PieceFile dropped = createPieceFile(piece, source);
        copyFrames(frames, 0, 20, dropped);
    }
    EXPECT_EQ(readBytes(piece), earlier);
    EXPECT_TRUE(hiddenNames(dir).empty());

    PieceFile whole = createPieceFile(piece, source);
    copyFrames(frames, 0, 20, whole);
    EXPECT_TRUE(whole.close());
    EXPECT_EQ(readBytes(piece), frameBytes(source, 0, 20));
    EXPECT_TRUE(hiddenNames(dir).empty());
}

std::string failedLine(int first, int second, const std::filesystem::path& piece, const std::string& why) {
    return "Separated block " + std::to_string(first) + " F - " + std::to_string(second) +
           " F could not be saved to " + piece.string() + ": " + why;
}

// Calls `act` once, on the saving thread, when the progress first reaches `frame`.
void atProgress(TestDocument& test, std::uintptr_t frame, std::function<void()> act) {
    test.frame.setHandler([frame, act, done = false](unsigned message, std::uintptr_t wParam,
                                                     std::intptr_t) mutable -> std::intptr_t {
        if (message == UM_PROGRESS_SET && wParam >= frame && !done) {
            done = true;
            act();
        }
        return 0;
    });
}

struct SourceChange {
    const char* name;
    std::function<void(const std::filesystem::path& source)> change;
};

TEST(SafeWriting, ASourceChangedDuringTheSaveStopsItWithALinePerUnwrittenPiece) {
    const auto dir = scratchDir("safe-source-changed");
    const SourceChange changes[] = {
        {"cut short", [](const auto& source) { std::filesystem::resize_file(source, 417 * 200); }},
        {"grown", [](const auto& source) { std::filesystem::resize_file(source, 417 * 1200); }},
        {"overwritten in place",
         [](const auto& source) {
             writeBytes(source, std::vector<std::uint8_t>(417 * 1000, 0));
             // Two writes within one clock tick must still count as a change.
             std::filesystem::last_write_time(source, std::filesystem::last_write_time(source) +
                                                          std::chrono::seconds(5));
         }},
    };
    for (const SourceChange& change : changes) {
        const auto out = dir / change.name;
        std::filesystem::create_directories(out);
        const auto source = writeNumberedFrames(out / "talk.mp3", 1000);
        const auto first = frameBytes(source, 0, 300);
        TestDocument test(source);
        test.doc->m_sourceStatus = platform::statusOfTarget(source);
        test.doc->m_breakPoints = {300, 600};
        test.doc->m_outputFolder = out;
        atProgress(test, 400, [&] { change.change(source); });

        const SaveAllResult result = runSaveAll(*test.doc);
        EXPECT_EQ(result.failed, 2) << change.name;
        EXPECT_EQ(readBytes(out / "talk-0.mp3"), first) << change.name;
        EXPECT_FALSE(std::filesystem::exists(out / "talk-1.mp3")) << change.name;
        EXPECT_FALSE(std::filesystem::exists(out / "talk-2.mp3")) << change.name;
        EXPECT_TRUE(hiddenNames(out).empty()) << change.name;
        const auto errors = test.lines(LogLevel::Error);
        ASSERT_EQ(errors.size(), 3u) << change.name;
        EXPECT_EQ(errors[0], failedLine(300, 600, out / "talk-1.mp3", kSourceChanged));
        EXPECT_EQ(errors[1].rfind("Separated block 600 F - ", 0), 0u) << errors[1];
        EXPECT_NE(errors[1].find(kSourceChanged), std::string::npos) << errors[1];
        EXPECT_EQ(errors[2], "2 of 3 separated blocks could not be saved");
        ASSERT_TRUE(test.view.dispatchUntil(UM_SAVE_ALL_DONE));
        EXPECT_FALSE(test.doc->m_saveAllThread.isSet());
    }
}

TEST(SafeWriting, ASourceChangedSinceTheLoadIsNotCopiedAtAll) {
    const auto dir = scratchDir("safe-source-stale");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 1000);
    TestDocument test(source);
    test.doc->m_sourceStatus = platform::statusOfTarget(source);
    test.doc->m_breakPoints = {300};
    test.doc->m_outputFolder = dir;
    std::filesystem::last_write_time(source,
                                     std::filesystem::last_write_time(source) - std::chrono::hours(1));

    const SaveAllResult result = runSaveAll(*test.doc);
    EXPECT_EQ(result.failed, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "talk-0.mp3"));
    EXPECT_FALSE(std::filesystem::exists(dir / "talk-1.mp3"));
    EXPECT_EQ(test.lines(LogLevel::Error).front(), failedLine(0, 300, dir / "talk-0.mp3", kSourceChanged));
    EXPECT_TRUE(hiddenNames(dir).empty());
}

TEST(SafeWriting, RunningOutOfMemoryEndsTheSaveWithNothingHalfWritten) {
    const auto dir = scratchDir("safe-memory");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 1000);
    const auto original = readBytes(source);
    TestDocument test(source);
    test.doc->m_breakPoints = {300, 600};
    test.doc->m_outputFolder = dir;
    atProgress(test, 400, [] { throw std::bad_alloc(); });

    const SaveAllResult result = runSaveAll(*test.doc);
    EXPECT_EQ(result.failed, 2);
    EXPECT_EQ(readBytes(dir / "talk-0.mp3"), frameBytes(source, 0, 300));
    EXPECT_FALSE(std::filesystem::exists(dir / "talk-1.mp3"));
    EXPECT_FALSE(std::filesystem::exists(dir / "talk-2.mp3"));
    EXPECT_TRUE(hiddenNames(dir).empty());
    EXPECT_EQ(test.lines(LogLevel::Error),
              std::vector<std::string>{"Separated blocks could not be saved: not enough memory"});
    ASSERT_TRUE(test.view.dispatchUntil(UM_SAVE_ALL_DONE));
    EXPECT_FALSE(test.doc->m_saveAllThread.isSet());
    EXPECT_EQ(readBytes(source), original);
}

#ifndef _WIN32
TEST(SafeWriting, PiecesThatWouldNotFitAreRefusedBeforeTheFirstByte) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const auto dir = scratchDir("safe-space");
    const auto source = writeNumberedFrames(dir / "talk.mp3", 1000);
    const SmallDisk disk(dir / "small", 1024 * 1024);
    ASSERT_TRUE(disk.mounted());
    TestDocument test(source);
    for (int frame = 50; frame < 1000; frame += 50) {
        test.doc->m_breakPoints.push_back(frame);
    }
    // 10 seconds are 385 frames of 26 ms on either side of a border, as far as the file reaches.
    test.setOverlap(true, 10);
    std::uint64_t need = 0;
    for (int first = 0; first < 1000; first += 50) {
        const int before = std::min(first, 385);
        const int after = first + 50 < 1000 ? std::min(1000 - (first + 50), 385) : 0;
        need += 417u * static_cast<std::uint64_t>(50 + before + after);
    }
    const std::uint64_t free = std::filesystem::space(dir / "small").available;
    ASSERT_GT(need, free);
    test.doc->m_outputFolder = dir / "small";

    const SaveAllResult result = runSaveAll(*test.doc);
    EXPECT_EQ(result.failed, 20);
    EXPECT_EQ(test.lines(LogLevel::Error),
              std::vector<std::string>{"Not enough free space in " + (dir / "small").string() +
                                       ": the pieces need " + std::to_string(need) + " Bytes, " +
                                       std::to_string(free) + " Bytes are free, nothing has been saved"});
    EXPECT_TRUE(std::filesystem::is_empty(dir / "small"));

    // The same pieces without the overlap fit, and are written.
    test.setOverlap(false, 0);
    EXPECT_EQ(runSaveAll(*test.doc).failed, 0);
    EXPECT_EQ(readBytes(dir / "small" / "talk-19.mp3"), frameBytes(source, 950, 1000));
}
#endif

} // namespace
