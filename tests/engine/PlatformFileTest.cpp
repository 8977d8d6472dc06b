#include "engine/PlatformFile.h"
#include "engine/PositionedRead.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

std::filesystem::path writeFile(const std::filesystem::path& path, std::uint8_t byte) {
    writeBytes(path, std::vector<std::uint8_t>(100, byte));
    return path;
}

// Two names of one file are the same file, and only they: the writers refuse to replace a source
// reached by another name.
TEST(PlatformFile, TwoNamesOfOneFileAreTheSameFileAndACopyIsNot) {
    const auto dir = scratchDir("platform-identity");
    const auto file = writeFile(dir / "song.mp3", 1);
    std::filesystem::create_hard_link(file, dir / "hard.mp3");
    std::filesystem::create_directory(dir / "sub");
    std::filesystem::copy_file(file, dir / "copy.mp3");

    const auto status = platform::statusOfTarget(file);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->isRegular());
    EXPECT_EQ(status->size, 100);
    for (const auto& alias : {dir / "hard.mp3", dir / "sub" / ".." / "song.mp3"}) {
        const auto other = platform::statusOfTarget(alias);
        ASSERT_TRUE(other) << alias;
        EXPECT_TRUE(status->sameFileAs(*other)) << alias;
    }
    const platform::FileHandle open = platform::openForReading(file);
    ASSERT_TRUE(open.isOpen());
    const auto ofHandle = platform::statusOf(open.get());
    ASSERT_TRUE(ofHandle);
    EXPECT_TRUE(status->sameFileAs(*ofHandle));
    EXPECT_TRUE(status->sameContentStampAs(*ofHandle));
    EXPECT_FALSE(status->sameFileAs(*platform::statusOfTarget(dir / "copy.mp3")));

    const auto folder = platform::statusOfTarget(dir / "sub");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->kind, platform::FileStatus::Kind::Directory);
    EXPECT_FALSE(platform::statusOfTarget(dir / "missing.mp3"));
}

// A file saved twice within one second, with the same size, has changed: the modification time
// is kept to below a second, in nanoseconds since 1970.
TEST(PlatformFile, TheModificationTimeKeepsFractionsOfASecond) {
    const auto dir = scratchDir("platform-time");
    const auto file = writeFile(dir / "song.mp3", 1);
    using namespace std::chrono;
    const sys_time<nanoseconds> base = sys_days(year(2024) / 6 / 11) + hours(10);
    for (const milliseconds fraction : {milliseconds(250), milliseconds(750)}) {
        const sys_time<nanoseconds> when = base + fraction;
        setModifiedTime(file, std::filesystem::file_time_type::clock::from_sys(when));
        const auto status = platform::statusOfTarget(file);
        ASSERT_TRUE(status);
        EXPECT_EQ(status->modifiedNs, when.time_since_epoch().count()) << fraction.count();
    }
}

// A file Kerfline holds open for reading can still be moved away, replaced and removed by another
// program. (Windows refuses to rename over a name that is open, whatever the sharing, and keeps a
// removed file's name until its last handle is closed: the other program moves the file first.)
TEST(PlatformFile, AFileOpenForReadingCanBeReplacedAndRemoved) {
    const auto dir = scratchDir("platform-sharing");
    const auto file = writeFile(dir / "song.mp3", 1);
    const auto before = platform::statusOfTarget(file);
    platform::FileHandle held = platform::openForReading(file);
    ASSERT_TRUE(held.isOpen());

    std::error_code error;
    std::filesystem::rename(file, dir / "old.mp3", error);
    EXPECT_FALSE(error) << error.message();
    writeFile(dir / "new.mp3", 2);
    std::filesystem::rename(dir / "new.mp3", file, error);
    EXPECT_FALSE(error) << error.message();
    EXPECT_EQ(readBytes(file), std::vector<std::uint8_t>(100, 2));
    const auto after = platform::statusOfTarget(file);
    ASSERT_TRUE(before && after);
    EXPECT_FALSE(before->sameFileAs(*after));

    platform::FileHandle again = platform::openForReading(file);
    ASSERT_TRUE(again.isOpen());
    EXPECT_TRUE(platform::removeFile(file));
    EXPECT_TRUE(platform::removeFile(dir / "old.mp3"));
    held.close();
    again.close();
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(dir / "old.mp3"));
}

// A header filled in at the start of a piece after its frames were written: the bytes that follow
// go on at the end, and a reader by offsets leaves a sequential reader where it was.
TEST(PlatformFile, PositionedReadsAndWritesLeaveTheFilePositionAlone) {
    const auto dir = scratchDir("platform-positioned");
    platform::FileHandle file = platform::createNewFile(dir / "piece.mp3");
    ASSERT_TRUE(file.isOpen());
    const std::vector<std::uint8_t> start = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(platform::writeSome(file.get(), start.data(), start.size()), 6);
    const std::vector<std::uint8_t> header = {9, 9};
    ASSERT_TRUE(platform::writeAllAt(file.get(), 1, header.data(), header.size()));
    const std::vector<std::uint8_t> tail = {7, 8};
    ASSERT_EQ(platform::writeSome(file.get(), tail.data(), tail.size()), 2);
    ASSERT_TRUE(platform::closeWrittenFile(file));
    EXPECT_EQ(readBytes(dir / "piece.mp3"), (std::vector<std::uint8_t>{1, 9, 9, 4, 5, 6, 7, 8}));

    const platform::FileHandle read = platform::openForReading(dir / "piece.mp3");
    std::uint8_t got[2] = {};
    ASSERT_EQ(platform::readSome(read.get(), got, 1), 1);
    EXPECT_EQ(mp3::readFileAt(read.get(), 5, got, 2), 2u);
    EXPECT_EQ(got[0], 6);
    ASSERT_EQ(platform::readSome(read.get(), got, 1), 1);
    EXPECT_EQ(got[0], 9);
}

TEST(PlatformFile, RenameReplacesOnlyWhenAskedTo) {
    const auto dir = scratchDir("platform-rename");
    writeFile(dir / "a.mp3", 1);
    writeFile(dir / "b.mp3", 2);
    EXPECT_FALSE(platform::renameFile(dir / "a.mp3", dir / "b.mp3", false));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(readBytes(dir / "b.mp3"), std::vector<std::uint8_t>(100, 2));
    EXPECT_TRUE(platform::renameFile(dir / "a.mp3", dir / "b.mp3", true));
    EXPECT_EQ(readBytes(dir / "b.mp3"), std::vector<std::uint8_t>(100, 1));
    EXPECT_FALSE(std::filesystem::exists(dir / "a.mp3"));
}

// Names outside every code page reach the file system intact, and come back as the same UTF-8.
TEST(PlatformFile, UnicodeNamesSurviveTheWayToTheFileSystemAndBack) {
    const auto dir = scratchDir("platform-unicode");
    const std::string name = "B\xC3\xA9la \xE2\x80\x93 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xB5.mp3";
    platform::FileHandle created = platform::createNewFile(dir / platform::pathFromUtf8(name));
    ASSERT_TRUE(created.isOpen());
    const std::uint8_t byte = 7;
    EXPECT_EQ(platform::writeSome(created.get(), &byte, 1), 1);
    EXPECT_TRUE(platform::closeWrittenFile(created));
    EXPECT_FALSE(platform::createNewFile(dir / platform::pathFromUtf8(name)).isOpen());
    EXPECT_EQ(errno, EEXIST);

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(platform::utf8FromPath(entry.path().filename()));
    }
    EXPECT_EQ(names, std::vector<std::string>{name});
    const platform::FileHandle read = platform::openForReading(dir / platform::pathFromUtf8(name));
    ASSERT_TRUE(read.isOpen());
    std::uint8_t got = 0;
    EXPECT_EQ(platform::readSome(read.get(), &got, 1), 1);
    EXPECT_EQ(got, 7);
}

} // namespace
