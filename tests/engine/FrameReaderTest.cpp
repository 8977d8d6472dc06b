#include "engine/FrameReader.h"

#include "engine/SourceFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <vector>

namespace {

using testing_support::append;
using testing_support::makeFrame;
using Bytes = std::vector<std::uint8_t>;

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz: 417 bytes.
Bytes frame417() {
    return makeFrame(0xFB, 0x90, 0x64);
}

Bytes frames(int count) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        append(bytes, frame417());
    }
    return bytes;
}

class FrameReaderTest : public testing::Test {
protected:
    void SetUp() override {
        m_dir = testing_support::scratchDir(std::string("reader-") +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    // A new file of these bytes; earlier files of the test stay.
    std::filesystem::path file(const Bytes& bytes) {
        const auto path = m_dir / ("input" + std::to_string(m_files++) + ".mp3");
        testing_support::writeBytes(path, bytes);
        return path;
    }

    // Offsets of every frame a full pass meets.
    static std::vector<std::int64_t> offsetsOf(const std::filesystem::path& path) {
        std::vector<std::int64_t> offsets;
        for (mp3::FrameReader reader(path); !(reader == mp3::FrameReader()); reader.readNext()) {
            offsets.push_back(reader.header().offset);
        }
        return offsets;
    }

private:
    std::filesystem::path m_dir;
    int m_files = 0;
};

TEST_F(FrameReaderTest, EndSentinelIsAtItsEnd) {
    const mp3::FrameReader end;
    EXPECT_TRUE(end.atEnd());
    EXPECT_EQ(end.frameNumber(), -1);
    EXPECT_EQ(end.frameLength(), 0);
    EXPECT_TRUE(end.frameIndex().empty());
    EXPECT_TRUE(end.path().empty());
    EXPECT_FALSE(end.isOpen());
}

TEST_F(FrameReaderTest, OpensOnFrameZeroAndReadsOnFrameByFrame) {
    Bytes bytes = frames(2);
    bytes[417 + 4] = 0x5A; // first body byte of frame 1
    mp3::FrameReader reader(file(bytes));
    EXPECT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.frameNumber(), 0);
    EXPECT_EQ(reader.header().offset, 0);
    EXPECT_EQ(reader.frameLength(), 417);
    EXPECT_EQ(reader.position(), 417);
    reader.readNext();
    EXPECT_EQ(reader.frameNumber(), 1);
    EXPECT_EQ(reader.header().offset, 417);
    EXPECT_EQ(reader.frameData()[0], 0xFF);
    EXPECT_EQ(reader.frameData()[1], 0xFB);
    EXPECT_EQ(reader.frameData()[4], 0x5A);
    EXPECT_EQ(reader.frameIndex(), (std::deque<std::int64_t>{0, 417}));
    reader.readNext();
    EXPECT_TRUE(reader == mp3::FrameReader());
    // The last whole frame stays described after the end.
    EXPECT_EQ(reader.frameNumber(), 1);
    EXPECT_EQ(reader.frameIndex().size(), 2u);
    reader.readNext();
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.frameNumber(), 1);
}

TEST_F(FrameReaderTest, SyncSearchSkipsBytesThatAreNoHeader) {
    Bytes bytes{0x00, 0xFF, 0x7F};
    append(bytes, frames(1));
    const mp3::FrameReader reader(file(bytes));
    EXPECT_EQ(reader.frameNumber(), 0);
    EXPECT_EQ(reader.header().offset, 3);
}

TEST_F(FrameReaderTest, FileWithoutSyncIsAtItsEndAtOnce) {
    const mp3::FrameReader reader(file(Bytes(100, 0)));
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.frameNumber(), -1);
    EXPECT_TRUE(reader == mp3::FrameReader());
    // The header fields stay zero, as the stream information line expects.
    EXPECT_EQ(reader.header().sampleRate(), 11025);
    EXPECT_EQ(reader.header().bitrate(), -1);
}

// One whole frame, then the start of a header that the file cuts short.
TEST_F(FrameReaderTest, HeaderCutByTheEndOfTheFileIsNoFrame) {
    struct Case {
        Bytes tail;
        int frameNumber; // after the read that meets the tail
        std::deque<std::int64_t> index;
        std::array<std::uint8_t, 4> header; // the header the reader is left describing
    };
    const std::vector<Case> cases = {
        // The search ends before a header is taken: frame 0 stays described.
        {{0xFF, 0xFB}, 0, {0}, {0xFF, 0xFB, 0x90, 0x64}},
        // Three header bytes are taken, the fourth reads as zero, and the body read ends.
        {{0xFF, 0xFB, 0x90}, 1, {0, 417}, {0xFF, 0xFB, 0x90, 0x00}},
        // A whole header is recorded, yet with no body it is no frame.
        {{0xFF, 0xFB, 0x92, 0x64}, 1, {0, 417}, {0xFF, 0xFB, 0x92, 0x64}},
    };
    for (const Case& c : cases) {
        Bytes bytes = frames(1);
        bytes[4] = 0x11;
        append(bytes, c.tail);
        mp3::FrameReader reader(file(bytes));
        reader.readNext();
        const auto tail = c.tail.size();
        EXPECT_TRUE(reader.atEnd()) << tail;
        EXPECT_EQ(reader.frameNumber(), c.frameNumber) << tail;
        EXPECT_EQ(reader.frameIndex(), c.index) << tail;
        EXPECT_EQ(reader.header().raw, c.header) << tail;
        // Length and body are still frame 0's; at most the header bytes are new.
        EXPECT_EQ(reader.frameLength(), 417) << tail;
        EXPECT_EQ(reader.frameData()[4], 0x11) << tail;
    }
}

// The read-ahead buffer holds 256 KiB from where it was filled: a sync byte, a header or a body that
// straddles its end must be read from the next fill, not from past the buffer.
TEST_F(FrameReaderTest, FramesAcrossTheReadAheadBoundaryAreFound) {
    constexpr auto kBoundary = static_cast<std::int64_t>(mp3::SourceFile::kBufferSize);
    struct Case {
        std::int64_t junk; // zero bytes before the first frame
        const char* what;
    };
    const std::vector<Case> cases = {
        {kBoundary - 417 - 1, "the second frame's sync byte is the buffer's last byte"},
        {kBoundary - 200, "a frame body across the boundary"},
        {kBoundary - 4, "the header is the buffer's last four bytes"},
        {kBoundary - 3, "the header across the boundary after three bytes"},
        {kBoundary - 2, "the header across the boundary after two bytes"},
        {kBoundary - 1, "the sync byte is the buffer's last byte"},
        {kBoundary, "the sync byte is the first byte after the buffer"},
        {kBoundary + 1, "one byte past the boundary"},
    };
    for (const Case& c : cases) {
        Bytes bytes(static_cast<std::size_t>(c.junk), 0);
        for (int i = 0; i < 3; ++i) {
            Bytes frame = frame417();
            for (std::size_t at = 4; at < frame.size(); ++at) {
                frame[at] = static_cast<std::uint8_t>((at * 7 + static_cast<std::size_t>(i)) & 0x7F);
            }
            append(bytes, frame);
        }
        const auto path = file(bytes);
        EXPECT_EQ(offsetsOf(path), (std::vector<std::int64_t>{c.junk, c.junk + 417, c.junk + 834})) << c.what;
        // Every frame's bytes are the file's, also where they span two fills.
        int frame = 0;
        for (mp3::FrameReader reader(path); !reader.atEnd() && frame < 3; reader.readNext(), ++frame) {
            const auto first = bytes.begin() + c.junk + frame * 417;
            EXPECT_TRUE(std::equal(first, first + 417, reader.frameData(), reader.frameData() + 417))
                << c.what << ", frame " << frame;
        }
    }
}

TEST_F(FrameReaderTest, StepBackAndAdvanceMoveThroughTheFrameIndex) {
    mp3::FrameReader reader(file(frames(12)));
    reader.advance(9);
    ASSERT_EQ(reader.frameNumber(), 9);
    reader.stepBack(3);
    EXPECT_EQ(reader.frameNumber(), 6);
    EXPECT_EQ(reader.frameIndex().size(), 7u);
    EXPECT_EQ(reader.header().offset, 6 * 417);
    EXPECT_EQ(reader.position(), 7 * 417);
    reader.advance(0); // re-reads the current frame
    EXPECT_EQ(reader.frameNumber(), 6);
    EXPECT_EQ(reader.frameIndex().size(), 7u);
    reader.advance(-6);
    EXPECT_EQ(reader.frameNumber(), 0);
    EXPECT_EQ(reader.header().offset, 0);
    reader.stepBack(0); // frame 0 ignores it
    EXPECT_EQ(reader.frameNumber(), 0);
    EXPECT_EQ(reader.frameIndex().size(), 1u);
    reader.advance(2);
    EXPECT_EQ(reader.frameNumber(), 2);
    EXPECT_EQ(reader.header().offset, 2 * 417);
}

TEST_F(FrameReaderTest, StepBackBeyondFrameZeroStandsOnFrameZero) {
    for (const int n : {6, 7, 100, 1 << 30}) {
        mp3::FrameReader reader(file(frames(8)));
        reader.advance(5);
        reader.stepBack(n);
        EXPECT_EQ(reader.frameNumber(), 0) << n;
        EXPECT_EQ(reader.header().offset, 0) << n;
        EXPECT_EQ(reader.frameIndex().size(), 1u) << n;
        reader.readNext();
        EXPECT_EQ(reader.frameNumber(), 1) << n;
    }
}

TEST_F(FrameReaderTest, StepBackFromTheEndReturnsIntoTheStream) {
    mp3::FrameReader reader(file(frames(4)));
    reader.advance(4);
    ASSERT_TRUE(reader.atEnd());
    reader.stepBack(1);
    EXPECT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.frameNumber(), 2);

    mp3::FrameReader single(file(frames(1)));
    single.readNext();
    ASSERT_TRUE(single.atEnd());
    single.stepBack(1);
    EXPECT_FALSE(single.atEnd());
    EXPECT_EQ(single.frameNumber(), 0);
}

TEST_F(FrameReaderTest, EqualityNeedsTheSameFrameAndTheSameFile) {
    const auto path = file(frames(8));
    mp3::FrameReader first(path);
    mp3::FrameReader second(path);
    first.advance(5);
    second.advance(5);
    EXPECT_FALSE(first == second);

    mp3::FrameReader base(path);
    base.advance(2);
    const mp3::FrameReader copy = base;
    const mp3::FrameReader ahead = copy.advanced(3);
    EXPECT_EQ(copy.frameNumber(), 2);
    EXPECT_EQ(ahead.frameNumber(), 5);
    base.advance(3);
    EXPECT_TRUE(ahead == base);
    EXPECT_FALSE(ahead == copy);
}

TEST_F(FrameReaderTest, ReadersAtTheirEndAreEqualWhateverTheirFrame) {
    const auto path = file(frames(3));
    mp3::FrameReader ended(path);
    ended.advance(3);
    const mp3::FrameReader empty(file(Bytes{}));
    EXPECT_TRUE(ended == mp3::FrameReader());
    EXPECT_TRUE(mp3::FrameReader() == ended);
    EXPECT_TRUE(ended == empty);
    EXPECT_FALSE(ended == mp3::FrameReader(path));
}

TEST_F(FrameReaderTest, CopiesSharingAFileKeepTheirOwnPositions) {
    Bytes bytes;
    for (int i = 0; i < 6; ++i) {
        Bytes frame = frame417();
        frame[4] = static_cast<std::uint8_t>(i + 1);
        append(bytes, frame);
    }
    mp3::FrameReader a(file(bytes));
    mp3::FrameReader b = a;
    a.advance(4);
    b.advance(1);
    a.readNext();
    b.readNext();
    EXPECT_EQ(a.frameData()[4], 6);
    EXPECT_EQ(b.frameData()[4], 3);
    EXPECT_EQ(a.file(), b.file());
}

TEST_F(FrameReaderTest, ClosingEndsEveryCopy) {
    mp3::FrameReader reader(file(frames(4)));
    mp3::FrameReader copy = reader;
    reader.close();
    EXPECT_TRUE(copy.atEnd());
    EXPECT_TRUE(copy == mp3::FrameReader());
    copy.readNext();
    EXPECT_TRUE(copy.atEnd());
}

TEST_F(FrameReaderTest, SeekToFrameMatchesAdvancing) {
    Bytes bytes{0x00, 0x01};
    for (int i = 0; i < 10; ++i) {
        Bytes frame = makeFrame(0xFB, i % 2 ? 0x92 : 0x90, 0x64);
        frame[5] = static_cast<std::uint8_t>(i);
        append(bytes, frame);
    }
    const auto path = file(bytes);
    const auto offsets = offsetsOf(path);
    for (const int target : {0, 3, 9}) {
        mp3::FrameReader advanced(path);
        advanced.advance(target);
        mp3::FrameReader sought(path);
        sought.seekToFrame(target, offsets);
        EXPECT_EQ(sought.frameNumber(), advanced.frameNumber());
        EXPECT_EQ(sought.header().offset, advanced.header().offset);
        EXPECT_EQ(sought.frameIndex(), advanced.frameIndex());
        EXPECT_EQ(sought.position(), advanced.position());
        EXPECT_TRUE(
            std::equal(sought.frameData(), sought.frameData() + sought.frameLength(), advanced.frameData()));
        sought.readNext();
        advanced.readNext();
        EXPECT_EQ(sought.header().offset, advanced.header().offset);
    }
}

// A header that cannot be a frame does not end the stream; the search goes on from its next byte.
TEST_F(FrameReaderTest, FalseSyncBetweenFramesDoesNotEndTheStream) {
    const std::vector<Bytes> junks = {
        {0xFF, 0xE0, 0x00, 0x10},             // reserved layer: bitrate -2, length 0
        {0xFF, 0xFB, 0x00, 0x00, 0x00},       // free format
        {0xFF, 0xFB, 0xF0, 0x00},             // bitrate index 15
        {0xFF, 0xFB, 0x9C, 0x00},             // sample rate index 3: negative length
        {0xFF, 0xEA, 0x90, 0x00, 0x12, 0x34}, // reserved version: a positive length, still no frame
        {0xFF, 0xFF, 0xF3, 0x00, 0x00},       // FF FF pairs first: Layer I, length 4
    };
    for (const Bytes& junk : junks) {
        Bytes bytes = frames(2);
        const auto junkAt = static_cast<std::int64_t>(bytes.size());
        append(bytes, junk);
        append(bytes, frames(2));
        const auto offsets = offsetsOf(file(bytes));
        const auto after = junkAt + static_cast<std::int64_t>(junk.size());
        const std::vector<std::int64_t> expected = {0, 417, after, after + 417};
        EXPECT_EQ(offsets, expected) << "junk starting " << std::hex << int(junk[1]);
    }
}

TEST_F(FrameReaderTest, FalseSyncAtTheStartDoesNotHideTheAudio) {
    Bytes bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46};
    append(bytes, frames(3));
    EXPECT_EQ(offsetsOf(file(bytes)), (std::vector<std::int64_t>{8, 425, 842}));
    Bytes pairFirst{0xFF};
    append(pairFirst, frames(1));
    EXPECT_EQ(offsetsOf(file(pairFirst)), (std::vector<std::int64_t>{1}));
}

Bytes id3v2Tag(const Bytes& body, bool footer = false) {
    const auto size = static_cast<std::uint32_t>(body.size());
    Bytes tag{'I',
              'D',
              '3',
              0x04,
              0x00,
              static_cast<std::uint8_t>(footer ? 0x10 : 0x00),
              static_cast<std::uint8_t>((size >> 21) & 0x7F),
              static_cast<std::uint8_t>((size >> 14) & 0x7F),
              static_cast<std::uint8_t>((size >> 7) & 0x7F),
              static_cast<std::uint8_t>(size & 0x7F)};
    append(tag, body);
    if (footer) {
        append(tag, {'3', 'D', 'I', 0x04, 0x00, 0x10, tag[6], tag[7], tag[8], tag[9]});
    }
    return tag;
}

// A picture frame whose JPEG data holds FF D8 FF E0 and, further on, a pair that reads as a frame.
Bytes coverTagBody() {
    Bytes body{'A', 'P', 'I', 'C', 0,   0,   1,   0,   0, 0, 'i', 'm',
               'a', 'g', 'e', '/', 'j', 'p', 'e', 'g', 0, 3, 0};
    append(body, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00});
    append(body, makeFrame(0xFB, 0x90, 0x44));
    body.resize(body.size() + 300, 0);
    return body;
}

TEST_F(FrameReaderTest, Id3v2TagAtTheStartIsSkippedWhole) {
    for (const bool footer : {false, true}) {
        Bytes bytes = id3v2Tag(coverTagBody(), footer);
        const auto audioAt = static_cast<std::int64_t>(bytes.size());
        append(bytes, frames(3));
        EXPECT_EQ(offsetsOf(file(bytes)), (std::vector<std::int64_t>{audioAt, audioAt + 417, audioAt + 834}))
            << "footer " << footer;
    }
}

TEST_F(FrameReaderTest, Id3v2TagRightAfterAFrameIsSkippedWhole) {
    // UTF-16 text with a byte order mark: FF FE reads as a Layer I header.
    Bytes text{'T', 'I', 'T', '2', 0, 0, 0, 21, 0, 0, 1, 0xFF, 0xFE};
    for (const char c : std::string("Titles")) {
        append(text, {static_cast<std::uint8_t>(c), 0});
    }
    append(text, {0, 0});
    Bytes bytes = frames(2);
    const Bytes tag = id3v2Tag(text);
    append(bytes, tag);
    append(bytes, frames(2));
    const std::int64_t after = 834 + static_cast<std::int64_t>(tag.size());
    EXPECT_EQ(offsetsOf(file(bytes)), (std::vector<std::int64_t>{0, 417, after, after + 417}));
}

TEST_F(FrameReaderTest, BytesThatOnlyLookLikeATagAreSearchedThrough) {
    // A version byte of FF, and a size byte with its top bit set, make no tag header.
    for (const Bytes& head :
         {Bytes{'I', 'D', '3', 0xFF, 0, 0, 0, 0, 0, 0x10}, Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0x80, 0}}) {
        Bytes bytes = head;
        append(bytes, frames(2));
        EXPECT_EQ(offsetsOf(file(bytes)), (std::vector<std::int64_t>{10, 427}));
    }
}

TEST_F(FrameReaderTest, TruncatedLastFrameKeepsOnlyTheBytesTheFileHolds) {
    Bytes first = frame417();
    std::fill(first.begin() + 4, first.end(), 0xAA);
    Bytes last = frame417();
    std::fill(last.begin() + 4, last.end(), 0x55);
    last.resize(100);
    Bytes bytes = first;
    append(bytes, last);
    mp3::FrameReader reader(file(bytes));
    reader.readNext();
    ASSERT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.frameNumber(), 1);
    EXPECT_EQ(reader.frameLength(), 100);
    EXPECT_EQ(reader.header().frameLength(), 417);
    EXPECT_EQ(reader.position(), 517);
    EXPECT_TRUE(
        std::all_of(reader.frameData() + 4, reader.frameData() + 100, [](auto b) { return b == 0x55; }));
    reader.readNext();
    EXPECT_TRUE(reader.atEnd());
}

// Nine tags of the largest size carry the audio past 2 GiB in a sparse file.
TEST_F(FrameReaderTest, OffsetsBeyondTwoGibibytes) {
    const auto path = testing_support::scratchDir("reader-large") / "large.mp3";
    constexpr std::uint32_t kLargestTagBody = (1u << 28) - 1;
    const Bytes tagHead = {'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
    std::int64_t at = 0;
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 9; ++i) {
            out.seekp(at);
            out.write(reinterpret_cast<const char*>(tagHead.data()), 10);
            at += 10 + kLargestTagBody;
        }
        const Bytes audio = frames(3);
        out.seekp(at);
        out.write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size()));
        ASSERT_TRUE(out.good());
    }
    ASSERT_GT(at, std::int64_t{1} << 31);
    mp3::FrameReader reader(path);
    ASSERT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.header().offset, at);
    reader.advance(2);
    EXPECT_EQ(reader.frameNumber(), 2);
    EXPECT_EQ(reader.header().offset, at + 834);
    EXPECT_EQ(reader.position(), at + 1251);
    reader.stepBack(1);
    EXPECT_EQ(reader.header().offset, at + 417);
    const auto offsets = offsetsOf(path);
    EXPECT_EQ(offsets, (std::vector<std::int64_t>{at, at + 417, at + 834}));
    mp3::FrameReader sought(path);
    sought.seekToFrame(2, offsets);
    EXPECT_EQ(sought.header().offset, at + 834);
    std::filesystem::remove(path);
}

} // namespace
