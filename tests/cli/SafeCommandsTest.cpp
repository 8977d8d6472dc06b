#include "support/TestFiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include "support/SmallDisk.h"

#include <sys/stat.h>
#include <unistd.h>
#endif

#include <string>
#include <vector>

namespace {

using namespace testing_support;

struct CliRun {
    std::string out;
    std::string errors;
    int status = -1;
};

// Runs the built tool with stdout and stderr apart. A run that does not end within a minute is
// killed, and its status (124) is no status the tool gives.
CliRun cli(const std::filesystem::path& scratch, const std::string& arguments,
           const std::string& prefix = "") {
    CliRun run;
    const auto errors = scratch / "stderr.txt";
    run.out = runCommand(prefix + "timeout 60 " + std::string(KERFLINE_BINARY_DIR) + "/kerfline-cli " +
                             arguments + " 2>'" + shellPath(errors) + "' </dev/null",
                         &run.status);
    const auto bytes = readBytes(errors);
    run.errors.assign(bytes.begin(), bytes.end());
    std::filesystem::remove(errors);
    return run;
}

std::string quoted(const std::filesystem::path& path) {
    return "'" + shellPath(path) + "'";
}

#ifndef _WIN32
// A piece name held by something that is not a file of ours: the split fails loudly, on stderr, and
// nothing behind the name changes.
TEST(SafeCommands, SplitRefusesPieceNamesHeldByLinksAndPipes) {
    const auto dir = scratchDir("cli-safe-names");
    const auto source = dir / "book.mp3";
    std::filesystem::copy_file(fixture("ten-seconds.mp3"), source);
    const auto original = readBytes(source);
    writeBytes(dir / "precious.txt", {9, 9, 9});
    struct Case {
        const char* name;
        void (*place)(const std::filesystem::path& piece, const std::filesystem::path& target);
    };
    const Case cases[] = {
        {"link",
         [](const auto& piece, const auto& target) { std::filesystem::create_symlink(target, piece); }},
        {"pipe", [](const auto& piece, const auto&) { ::mkfifo(piece.c_str(), 0644); }},
    };
    for (const Case& c : cases) {
        const auto out = dir / c.name;
        std::filesystem::create_directories(out);
        c.place(out / "book-1.mp3", dir / "precious.txt");
        const CliRun run = cli(dir, "split " + quoted(source) + " -o " + quoted(out) + " --at 100");
        EXPECT_EQ(run.status, 1) << c.name << run.out << run.errors;
        const std::string line = "Separated block 100 F - ";
        EXPECT_NE(run.errors.find(line), std::string::npos) << c.name << run.errors;
        EXPECT_NE(run.errors.find("book-1.mp3: it is not a regular file"), std::string::npos) << run.errors;
        EXPECT_TRUE(std::filesystem::is_regular_file(out / "book-0.mp3")) << c.name;
        EXPECT_TRUE(hiddenNames(out).empty()) << c.name;
    }
    EXPECT_EQ(readBytes(dir / "precious.txt"), (std::vector<std::uint8_t>{9, 9, 9}));
    EXPECT_EQ(readBytes(source), original);
}
#endif

TEST(SafeCommands, NoClobberKeepsEarlierPiecesAndSaysSo) {
    const auto dir = scratchDir("cli-safe-no-clobber");
    const auto source = dir / "book.mp3";
    std::filesystem::copy_file(fixture("ten-seconds.mp3"), source);
    writeBytes(dir / "book-0.mp3", {1, 2, 3});

    const CliRun kept = cli(dir, "split " + quoted(source) + " -o " + quoted(dir) + " --at 100 --no-clobber");
    EXPECT_EQ(kept.status, 1) << kept.out << kept.errors;
    EXPECT_NE(kept.errors.find("book-0.mp3: the file already exists"), std::string::npos) << kept.errors;
    EXPECT_EQ(readBytes(dir / "book-0.mp3"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "book-1.mp3"));

    const CliRun replaced = cli(dir, "split " + quoted(source) + " -o " + quoted(dir) + " --at 100");
    EXPECT_EQ(replaced.status, 0) << replaced.out << replaced.errors;
    EXPECT_TRUE(replaced.errors.empty()) << replaced.errors;
    EXPECT_GT(std::filesystem::file_size(dir / "book-0.mp3"), 3u);
    EXPECT_TRUE(hiddenNames(dir).empty());
}

#ifndef _WIN32
// Reading a pipe would wait for a writer that never comes.
TEST(SafeCommands, APipeAsTheSourceIsRefusedWithoutWaiting) {
    const auto dir = scratchDir("cli-safe-pipe-source");
    const auto pipe = dir / "song.mp3";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const std::string commands[] = {
        "breakpoints " + quoted(pipe) + " --count 3",
        "wav " + quoted(pipe) + " " + quoted(dir / "song.wav"),
        "split " + quoted(pipe) + " -o " + quoted(dir / "out") + " --count 3",
        "info " + quoted(pipe),
    };
    for (const std::string& command : commands) {
        const CliRun run = cli(dir, command);
        EXPECT_EQ(run.status, 1) << command << run.errors;
        EXPECT_FALSE(run.errors.empty()) << command;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "song.wav"));
    EXPECT_TRUE(hiddenNames(dir).empty());
}

TEST(SafeCommands, ASplitThatWouldNotFitWritesNothing) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const auto dir = scratchDir("cli-safe-space");
    const auto source = dir / "book.mp3";
    std::filesystem::copy_file(fixture("ten-seconds.mp3"), source);
    const SmallDisk disk(dir / "small", 256 * 1024);
    ASSERT_TRUE(disk.mounted());
    const CliRun run =
        cli(dir, "split " + quoted(source) + " -o " + quoted(dir / "small") + " --count 50 --overlap 60");
    EXPECT_EQ(run.status, 1) << run.out << run.errors;
    EXPECT_NE(run.errors.find("Not enough free space in " + shellPath(dir / "small") + ": the pieces need "),
              std::string::npos)
        << run.errors;
    EXPECT_TRUE(std::filesystem::is_empty(dir / "small"));
}
#endif

// The address sanitizer reserves more address space than any limit leaves, and reports an allocation
// it cannot serve instead of throwing; there the injected failures of the core's tests stand in.
#if !defined(__SANITIZE_ADDRESS__) && !defined(_WIN32)
// A file of tiny Layer II frames decodes to about a hundred times its size. The tool keeps no
// decoded PCM, so it converts the file within an address space that once made it abort; the
// failures it can still meet are injected in the core's tests.
TEST(SafeCommands, AFileOfTinyFramesConvertsWithinALimitedAddressSpace) {
    const auto dir = scratchDir("cli-safe-memory");
    const auto source = dir / "dense.mp3";
    std::vector<std::uint8_t> frame(48, 0);
    frame[0] = 0xFF;
    frame[1] = 0xF5; // MPEG-2 Layer II without CRC
    frame[2] = 0x14; // 8 kbit/s at 24 kHz: 48 bytes
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 2 * 1024 * 1024 / 48; ++i) {
        append(bytes, frame);
    }
    writeBytes(source, bytes);
    // One malloc arena: glibc reserves 128 MB of address space for each thread's own arena, so how many
    // threads got one first would decide the outcome, not the PCM the tool keeps.
    const CliRun run = cli(dir, "wav " + quoted(source) + " " + quoted(dir / "dense.wav"),
                           "MALLOC_ARENA_MAX=1 prlimit --as=100000000 ");
    EXPECT_EQ(run.status, 0) << run.out << run.errors;
    // 4,608 bytes of PCM for every 48-byte frame, behind the 44-byte header.
    EXPECT_EQ(std::filesystem::file_size(dir / "dense.wav"), 44 + bytes.size() / 48 * 4608);
    EXPECT_TRUE(hiddenNames(dir).empty());
    std::filesystem::remove(dir / "dense.wav");
    EXPECT_EQ(readBytes(source), bytes);
}

// An edit by frame numbers copies behind the walk, whose lists take room for the most frames the file
// could hold. Where that room is not to be had, the edit walks first instead, as an edit by times does.
TEST(SafeCommands, AnEditOfALargeFileWorksWithinALimitedAddressSpace) {
    const auto dir = scratchDir("cli-safe-memory");
    const auto source = dir / "large.mp3";
    std::vector<std::uint8_t> frame(1440, 0);
    frame[0] = 0xFF;
    frame[1] = 0xFB; // MPEG-1 Layer III without CRC
    frame[2] = 0xE8; // 320 kbit/s at 32 kHz: 1,440 bytes
    frame[3] = 0xC4;
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 64 * 1024 * 1024 / 1440; ++i) {
        append(bytes, frame);
    }
    writeBytes(source, bytes);
    for (const char* ranges : {"--remove 1000-2000", "--remove 0:10-0:20"}) {
        const CliRun run =
            cli(dir, "edit " + quoted(source) + " -o " + quoted(dir / "edited.mp3") + " " + ranges,
                "MALLOC_ARENA_MAX=1 prlimit --as=60000000 ");
        EXPECT_EQ(run.status, 0) << ranges << "\n" << run.out << run.errors;
        EXPECT_TRUE(std::filesystem::exists(dir / "edited.mp3")) << ranges;
        std::filesystem::remove(dir / "edited.mp3");
        EXPECT_TRUE(hiddenNames(dir).empty()) << ranges;
    }
}
#endif

} // namespace
