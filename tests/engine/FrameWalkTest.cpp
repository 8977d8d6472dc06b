#include "engine/FrameWalk.h"

#include "engine/FrameReader.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using testing_support::append;
using testing_support::makeFrame;
using Bytes = std::vector<std::uint8_t>;

struct Found {
    std::vector<std::int64_t> offsets;
    std::vector<int> lengths;
    std::vector<std::uint32_t> bitrateIndices;
    int endNumber = -1;
    bool operator==(const Found&) const = default;
};

Found byReader(const std::filesystem::path& path) {
    Found found;
    mp3::FrameReader reader(path);
    for (; !(reader == mp3::FrameReader()); reader.readNext()) {
        found.offsets.push_back(reader.header().offset);
        found.lengths.push_back(reader.frameLength());
        found.bitrateIndices.push_back(reader.header().bitrateIndex);
    }
    found.endNumber = reader.frameNumber();
    return found;
}

Found byWalk(const std::filesystem::path& path) {
    Found found;
    mp3::FrameWalk walk(path);
    while (walk.next()) {
        found.offsets.push_back(walk.header().offset);
        found.lengths.push_back(walk.frameLength());
        found.bitrateIndices.push_back(walk.header().bitrateIndex);
    }
    found.endNumber = walk.frameNumber();
    return found;
}

Bytes frames(int count, std::uint8_t bitrateByte = 0x90) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        append(bytes, makeFrame(0xFB, bitrateByte, 0x64));
    }
    return bytes;
}

Bytes id3v2Tag(std::uint32_t bodySize) {
    Bytes tag{'I',
              'D',
              '3',
              4,
              0,
              0,
              static_cast<std::uint8_t>((bodySize >> 21) & 0x7F),
              static_cast<std::uint8_t>((bodySize >> 14) & 0x7F),
              static_cast<std::uint8_t>((bodySize >> 7) & 0x7F),
              static_cast<std::uint8_t>(bodySize & 0x7F)};
    // A body full of bytes that read as frame headers: none may be taken for one.
    for (std::uint32_t i = 0; i < bodySize; ++i) {
        tag.push_back(i % 2 == 0 ? 0xFF : 0xFB);
    }
    return tag;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        append(all, part);
    }
    return all;
}

struct WalkCase {
    std::string name;
    Bytes bytes;
};

// The walk must find what the reader finds, frame for frame: the writers and the loading scan take
// its offsets in the reader's place.
TEST(FrameWalk, FindsTheFramesTheReaderFinds) {
    const Bytes frame = frames(1);
    Bytes truncated = frames(3);
    truncated.resize(truncated.size() - 300);
    Bytes headerAtTheEnd = frames(2);
    append(headerAtTheEnd, {0xFF, 0xFB, 0x90, 0x64});
    Bytes pairAtTheEnd = frames(2);
    append(pairAtTheEnd, {0xFF, 0xFB, 0x90});
    // Frames across the chunk borders, with junk and a false sync now and then.
    Bytes long_;
    for (int i = 0; long_.size() < 3 * mp3::FrameWalk::kChunkSize; ++i) {
        append(long_, frames(1, i % 3 == 0 ? 0xA0 : 0x90));
        if (i % 97 == 5) {
            append(long_, {0x00, 0xFF, 0xE0, 0x00, 0x10, 0xFF});
        }
    }
    const std::vector<WalkCase> cases = {
        {"empty", {}},
        {"no sync", Bytes(5000, 0x12)},
        {"plain", frames(5)},
        {"mixed bitrates", concat({frames(2), frames(2, 0xA0), frames(2, 0x50)})},
        {"junk first", concat({Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46}, frames(3)})},
        {"false syncs between",
         concat({frames(2), Bytes{0xFF, 0xE0, 0x00, 0x10}, frames(1), Bytes{0xFF, 0xFB, 0xF0, 0x00},
                 frames(1), Bytes{0xFF, 0xFF, 0xF3, 0x00, 0x00}, frames(2)})},
        {"tag first", concat({id3v2Tag(700), frames(3)})},
        {"tag between", concat({frames(2), id3v2Tag(50), frames(2)})},
        {"tag larger than a chunk",
         concat({frames(1), id3v2Tag(mp3::FrameWalk::kChunkSize + 777), frames(3)})},
        {"no tag, only its look", concat({Bytes{'I', 'D', '3', 0xFF, 0, 0, 0, 0, 0, 0x10}, frames(2)})},
        {"last frame cut short", truncated},
        {"header at the very end", headerAtTheEnd},
        {"three header bytes at the end", pairAtTheEnd},
        {"lone sync byte", concat({frame, Bytes{0xFF}})},
        {"across chunks", long_},
    };
    const auto dir = testing_support::scratchDir("frame-walk");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto path = dir / ("case" + std::to_string(i) + ".mp3");
        testing_support::writeBytes(path, cases[i].bytes);
        const Found reader = byReader(path);
        const Found walk = byWalk(path);
        EXPECT_EQ(walk.offsets, reader.offsets) << cases[i].name;
        EXPECT_EQ(walk.lengths, reader.lengths) << cases[i].name;
        EXPECT_EQ(walk.bitrateIndices, reader.bitrateIndices) << cases[i].name;
        EXPECT_EQ(walk.endNumber, reader.endNumber) << cases[i].name;
    }
}

TEST(FrameWalk, AgreesWithTheReaderOnEveryFixture) {
    for (const char* name : {"cbr128.mp3", "crc.mp3", "damaged-mpeg2-chain.mp3", "id3v1.mp3",
                             "id3v2-cover.mp3", "mpeg2-info.mp3", "mpeg25.mp3", "no-info.mp3", "vbr.mp3"}) {
        const auto path = testing_support::fixture(name);
        const Found reader = byReader(path);
        ASSERT_FALSE(reader.offsets.empty()) << name;
        EXPECT_TRUE(byWalk(path) == reader) << name;
    }
}

TEST(FrameWalk, AFolderOrAMissingFileHasNoFrame) {
    for (const auto& path : {testing_support::scratchDir("frame-walk-folder"),
                             testing_support::scratchDir("frame-walk-missing") / "none.mp3"}) {
        mp3::FrameWalk walk(path);
        EXPECT_FALSE(walk.isOpen());
        EXPECT_FALSE(walk.next());
        EXPECT_EQ(walk.frameNumber(), -1);
    }
}

} // namespace
