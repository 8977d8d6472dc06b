#include "engine/FileScan.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

using testing_support::append;
using testing_support::makeFrame;
using Bytes = std::vector<std::uint8_t>;

// Scans a file completely and checks what every scan must hold, whatever the bytes.
mp3::LevelScan scanChecked(const std::filesystem::path& path) {
    mp3::processDecoding().cache.clear();
    const mp3::LevelScan scan = mp3::scanLevels(path);
    mp3::processDecoding().cache.clear();
    EXPECT_EQ(scan.levels.size(), scan.offsets.size());
    EXPECT_TRUE(std::is_sorted(scan.offsets.begin(), scan.offsets.end()));
    EXPECT_EQ(std::adjacent_find(scan.offsets.begin(), scan.offsets.end()), scan.offsets.end());
    for (const int level : scan.levels) {
        EXPECT_GE(level, 0);
        EXPECT_LE(level, 37768);
    }
    int frames = 0;
    for (mp3::FrameReader reader(path); !(reader == mp3::FrameReader()); reader.readNext()) {
        EXPECT_TRUE(reader.header().describesFrame());
        EXPECT_GT(reader.frameLength(), 4);
        EXPECT_LE(reader.frameLength(), reader.header().frameLength());
        ++frames;
    }
    EXPECT_EQ(frames, static_cast<int>(scan.levels.size()));
    return scan;
}

std::filesystem::path write(const std::string& name, const Bytes& bytes) {
    const auto path = testing_support::scratchDir("bad-" + name) / "input.mp3";
    testing_support::writeBytes(path, bytes);
    return path;
}

TEST(BadInput, EmptyFileHasNoFrame) {
    const auto path = write("empty", {});
    const mp3::FrameReader reader(path);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.frameNumber(), -1);
    EXPECT_TRUE(scanChecked(path).levels.empty());
}

TEST(BadInput, MissingFileAndDirectoryAreAtTheirEndAtOnce) {
    const auto dir = testing_support::scratchDir("bad-dir");
    for (const auto& path : {dir, dir / "missing.mp3"}) {
        mp3::FrameReader reader(path);
        EXPECT_TRUE(reader.atEnd());
        EXPECT_FALSE(reader.isOpen());
        reader.readNext();
        reader.stepBack(3);
        reader.advance(4);
        EXPECT_TRUE(reader == mp3::FrameReader());
        EXPECT_TRUE(scanChecked(path).levels.empty());
    }
}

#ifndef _WIN32
TEST(BadInput, DeviceThatNeverEndsIsNoFile) {
    if (!std::filesystem::exists("/dev/zero")) {
        GTEST_SKIP() << "no /dev/zero";
    }
    EXPECT_TRUE(mp3::FrameReader("/dev/zero").atEnd());
}

TEST(BadInput, UnreadableFileIsAtItsEndAtOnce) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    Bytes bytes;
    append(bytes, makeFrame(0xFB, 0x90, 0x64));
    const auto path = write("unreadable", bytes);
    std::filesystem::permissions(path, std::filesystem::perms::none);
    EXPECT_TRUE(mp3::FrameReader(path).atEnd());
    EXPECT_TRUE(scanChecked(path).levels.empty());
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}
#endif

TEST(BadInput, RandomBytesScanToTheEnd) {
    std::mt19937 random(20240611);
    for (const std::size_t size : {1u, 2u, 3u, 4u, 5u, 417u, 65536u, 300000u}) {
        Bytes bytes(size);
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(random());
        }
        scanChecked(write("random", bytes));
    }
    // Dense in sync bytes: every other byte FF.
    Bytes syncs(200000);
    for (std::size_t i = 0; i < syncs.size(); ++i) {
        syncs[i] = i % 2 ? static_cast<std::uint8_t>(random()) : 0xFF;
    }
    scanChecked(write("syncs", syncs));
}

TEST(BadInput, TruncatedFilesKeepTheirWholeFrames) {
    const auto path = testing_support::fixture("cbr128.mp3");
    const auto whole = testing_support::readBytes(path);
    const auto offsets = scanChecked(path).offsets;
    for (const std::size_t size : {1u, 3u, 4u, 5u, 417u, 421u, 422u, 1000u, 20000u, 33000u}) {
        const auto scan = scanChecked(write("truncated", Bytes(whole.begin(), whole.begin() + size)));
        // A frame counts while at least one byte of its body is in the file.
        const auto kept = std::count_if(offsets.begin(), offsets.end(), [&](std::int64_t at) {
            return at + 4 < static_cast<std::int64_t>(size);
        });
        EXPECT_EQ(static_cast<long>(scan.levels.size()), kept) << size;
    }
}

TEST(BadInput, OnlyHeaders) {
    Bytes bytes;
    for (int i = 0; i < 2000; ++i) {
        append(bytes, {0xFF, 0xFB, 0x90, 0x64});
    }
    const auto scan = scanChecked(write("headers", bytes));
    EXPECT_FALSE(scan.levels.empty());
}

TEST(BadInput, HeaderWithAnEmptyBody) {
    const auto path = write("no-body", {0xFF, 0xFB, 0x90, 0x64});
    mp3::FrameReader reader(path);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.frameNumber(), 0);
    EXPECT_EQ(reader.frameLength(), 0);
    EXPECT_TRUE(scanChecked(path).levels.empty());
}

} // namespace
