#include "engine/XingFrame.h"
#include "engine/FrameReader.h"
#include "support/FrameFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace {

using testing_support::fixture;
using testing_support::readBytes;
using testing_support::readerFrameCount;

std::vector<std::uint8_t> firstFrame(const std::filesystem::path& path) {
    mp3::FrameReader reader(path);
    std::vector<std::uint8_t> frame(reader.frameData(), reader.frameData() + reader.frameLength());
    reader.close();
    return frame;
}

mp3::FrameHeader header(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    mp3::FrameHeader parsed;
    parsed.raw = {0xFF, b1, b2, b3};
    parsed.parse();
    return parsed;
}

// What lame wrote, read back: the counts describe the file, and both CRCs are the ones we compute.
struct LameFile {
    const char* name;
    bool vbr;
    int delay;
    int padding;
};

TEST(XingFrame, ReadsLameFramesAndAgreesWithTheirCrcs) {
    const LameFile files[] = {
        {"cbr128.mp3", false, 576, 1080},
        {"vbr.mp3", true, 576, 1080},
        {"mpeg2-info.mp3", false, 576, 828},
        {"mpeg25-info.mp3", false, 576, 704},
        // Frames with a CRC: the tag follows the side information all the same.
        {"crc.mp3", false, 576, 828},
    };
    for (const LameFile& file : files) {
        SCOPED_TRACE(file.name);
        const std::vector<std::uint8_t> frame = firstFrame(fixture(file.name));
        const std::vector<std::uint8_t> bytes = readBytes(fixture(file.name));
        const auto tag = mp3::XingFrame::parse(frame.data(), frame.size());
        ASSERT_TRUE(tag);
        EXPECT_EQ(tag->vbr, file.vbr);
        ASSERT_TRUE(tag->frames && tag->bytes && tag->toc && tag->quality && tag->lame);
        EXPECT_EQ(static_cast<int>(*tag->frames), readerFrameCount(fixture(file.name)) - 1);
        EXPECT_EQ(*tag->bytes, bytes.size());
        EXPECT_EQ(tag->lame->encoderDelay(), file.delay);
        EXPECT_EQ(tag->lame->padding(), file.padding);
        EXPECT_EQ(tag->lame->musicLength(), bytes.size());
        EXPECT_EQ(tag->lame->musicCrc(),
                  mp3::crc16(bytes.data() + frame.size(), bytes.size() - frame.size()));
        const std::size_t tagCrcAt = mp3::xingFrameNeeds(header(frame[1], frame[2], frame[3])) - 2;
        EXPECT_EQ(tag->lame->tagCrc(), mp3::crc16(frame.data(), tagCrcAt));

        // Written back into the frame it came from, every byte is as lame wrote it.
        std::vector<std::uint8_t> rewritten = frame;
        std::fill(rewritten.begin() +
                      static_cast<std::ptrdiff_t>(mp3::xingOffset(header(frame[1], frame[2], frame[3]))),
                  rewritten.begin() + static_cast<std::ptrdiff_t>(tagCrcAt + 2), std::uint8_t{0});
        ASSERT_TRUE(mp3::writeXingFrame(*tag, rewritten.data(), rewritten.size()));
        EXPECT_EQ(rewritten, frame);
    }
}

TEST(XingFrame, AStreamWithoutOneHasNone) {
    for (const char* name : {"no-info.mp3", "mpeg2-mono.mp3"}) {
        const std::vector<std::uint8_t> frame = firstFrame(fixture(name));
        EXPECT_FALSE(mp3::XingFrame::parse(frame.data(), frame.size())) << name;
    }
}

// A frame that says more than it holds loses the fields that do not fit; nothing is read beyond it.
TEST(XingFrame, MalformedFramesNeverReadPastTheirEnd) {
    const std::vector<std::uint8_t> lame = firstFrame(fixture("cbr128.mp3"));
    const std::size_t start = mp3::xingOffset(header(lame[1], lame[2], lame[3]));
    struct Case {
        const char* what;
        std::size_t length; // bytes of the lame frame handed over
        bool parses;
        bool hasFrames, hasToc, hasLame;
    };
    const Case cases[] = {
        {"header only", 4, false, false, false, false},
        {"cut inside the magic", start + 2, false, false, false, false},
        {"cut after the flags", start + 8, true, false, false, false},
        {"cut inside the TOC", start + 60, true, true, false, false},
        {"cut inside the LAME tag", start + 140, true, true, true, false},
        {"whole", lame.size(), true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A copy of exactly that length, so a read past it is a read past the buffer.
        const std::vector<std::uint8_t> cut(lame.begin(),
                                            lame.begin() + static_cast<std::ptrdiff_t>(c.length));
        const auto tag = mp3::XingFrame::parse(cut.data(), cut.size());
        ASSERT_EQ(tag.has_value(), c.parses);
        if (tag) {
            EXPECT_EQ(tag->frames.has_value(), c.hasFrames);
            EXPECT_EQ(tag->toc.has_value(), c.hasToc);
            EXPECT_EQ(tag->lame.has_value(), c.hasLame);
        }
    }

    // Counts larger than the file are read as they are: the pieces never trust them.
    std::vector<std::uint8_t> lying = lame;
    lying[start + 8] = 0xFF;
    EXPECT_EQ(*mp3::XingFrame::parse(lying.data(), lying.size())->frames >> 24, 0xFFu);
    // Not a Layer III frame, or no magic: no tag.
    std::vector<std::uint8_t> layerTwo = lame;
    layerTwo[1] = 0xFD;
    EXPECT_FALSE(mp3::XingFrame::parse(layerTwo.data(), layerTwo.size()));
    std::vector<std::uint8_t> audio(lame.size(), 0x55);
    std::copy(lame.begin(), lame.begin() + 4, audio.begin());
    EXPECT_FALSE(mp3::XingFrame::parse(audio.data(), audio.size()));
}

// The trim that makes a gapless decoder keep [begin, end) of the decoded stream of `frames` frames.
TEST(XingFrame, GaplessTrimArithmetic) {
    struct Case {
        const char* what;
        int samplesPerFrame;
        std::int64_t frames, begin, end;
        std::int64_t delay, padding;
        bool fits;
    };
    const Case cases[] = {
        {"lame's own: 78 frames, 576 + 529 in, 1080 − 529 short of the end", 1152, 78, 1105, 78 * 1152 - 551,
         576, 1080, true},
        {"a middle piece after a reservoir frame and one warm-up frame", 1152, 42, 2 * 1152, 42 * 1152, 1775,
         529, true},
        {"the same for MPEG-2: three frames ahead", 576, 40, 3 * 576, 40 * 576, 1199, 529, true},
        {"the last piece keeps the source's padding", 1152, 30, 2 * 1152, 30 * 1152 - 551, 1775, 1080, true},
        {"five MPEG-1 frames ahead no longer fit the 12-bit delay", 1152, 40, 5 * 1152, 40 * 1152, 5231, 529,
         false},
        {"a start inside the decoder's own delay", 1152, 10, 100, 10 * 1152, -429, 529, false},
        {"an end past the decoded stream", 1152, 10, 1152, 11 * 1152, 623, -623, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const mp3::GaplessTrim trim = mp3::gaplessTrim(c.samplesPerFrame, c.frames, c.begin, c.end);
        EXPECT_EQ(trim.delay, c.delay);
        EXPECT_EQ(trim.padding, c.padding);
        EXPECT_EQ(trim.fits(), c.fits);
    }
}

TEST(XingFrame, LameTagFieldsShareTheirBytes) {
    mp3::LameTag tag = mp3::LameTag::fresh("LAME");
    tag.setEncoderDelay(0xABC);
    tag.setPadding(0x123);
    EXPECT_EQ(tag.encoderDelay(), 0xABC);
    EXPECT_EQ(tag.padding(), 0x123);
    tag.setPadding(99999);
    tag.setEncoderDelay(-5);
    EXPECT_EQ(tag.encoderDelay(), 0);
    EXPECT_EQ(tag.padding(), mp3::kMaxTrim);
}

TEST(XingFrame, SilentFramesCarryReservoirBytesAtTheirEnd) {
    const mp3::FrameHeader model = header(0xFB, 0x90, 0x64); // MPEG-1 Layer III 128 kbit/s, 417 bytes
    const std::vector<std::uint8_t> small(100, 0xA5);
    const std::vector<std::uint8_t> frame = mp3::makeSilentFrame(model, small);
    ASSERT_EQ(frame.size(), 417u);
    EXPECT_EQ(mp3::mainDataBegin(frame.data(), frame.size()), 0);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), frame.end() - 100));
    EXPECT_TRUE(std::all_of(frame.begin() + 4, frame.end() - 100, [](std::uint8_t b) { return b == 0; }));

    // 511 reservoir bytes do not fit a 128 kbit/s data area: the next bitrate that holds them.
    const std::vector<std::uint8_t> large(511, 0x5A);
    const std::vector<std::uint8_t> bigger = mp3::makeSilentFrame(model, large);
    ASSERT_FALSE(bigger.empty());
    EXPECT_EQ(bigger[2] >> 4, 11); // 192 kbit/s: 626 bytes, 590 of them data
    EXPECT_EQ(bigger.size(), 626u);
    EXPECT_TRUE(std::equal(large.begin(), large.end(), bigger.end() - 511));

    EXPECT_TRUE(mp3::makeSilentFrame(model, std::vector<std::uint8_t>(5000)).empty());
    // Room for the whole tag.
    const mp3::FrameHeader lowRate = header(0xFB, 0x10, 0xC4); // 32 kbit/s mono, 104 bytes
    EXPECT_GE(mp3::makeSilentFrame(lowRate, {}, mp3::xingFrameNeeds(lowRate)).size(),
              mp3::xingFrameNeeds(lowRate));
}

// Entry i of the seek table is the offset of the frame at i % of the stream, in 256ths of the
// whole. Worked by hand; any entry taken one frame or one place off shows.
TEST(XingFrame, SeekTableAgreesWithAHandComputedTable) {
    using Toc = std::array<std::uint8_t, mp3::kTocSize>;
    const auto runs = [](std::initializer_list<std::pair<int, int>> values) {
        Toc toc{};
        std::size_t at = 0;
        for (const auto& [count, value] : values) {
            for (int i = 0; i < count; ++i) {
                toc.at(at++) = static_cast<std::uint8_t>(value);
            }
        }
        EXPECT_EQ(at, mp3::kTocSize);
        return toc;
    };
    // Four frames: entries 0-24 are frame 0 (400 * 256 / 2500 = 40.96), 25-49 frame 1 (92.16),
    // 50-74 frame 2 (174.08), 75-99 frame 3 (204.8).
    const Toc four = runs({{25, 40}, {25, 92}, {25, 174}, {25, 204}});
    EXPECT_EQ(mp3::makeToc({400, 900, 1700, 2000}, 2500), four);
    // Three frames over 2560 bytes (a tenth of a byte offset per step): i * 3 / 100 is frame 0 up to
    // entry 33, frame 1 up to 66, frame 2 from 67.
    EXPECT_EQ(mp3::makeToc({300, 1000, 1900}, 2560), runs({{34, 30}, {33, 100}, {33, 190}}));
    // Without frames, a straight line: i * 2.56 rounded down.
    const Toc line = mp3::makeToc({}, 0);
    EXPECT_EQ(line[0], 0);
    EXPECT_EQ(line[1], 2);
    EXPECT_EQ(line[50], 128);
    EXPECT_EQ(line[99], 253);

    // Written into a frame, the table lies at its fixed place: MPEG-1 stereo has 32 bytes of side
    // information, so "Xing" is at 36, the flags at 40, the counts at 44 and 48, the TOC at 52 to 151
    // and the quality at 152.
    std::vector<std::uint8_t> frame(417, 0);
    frame[0] = 0xFF;
    frame[1] = 0xFB;
    frame[2] = 0x90;
    frame[3] = 0x64;
    mp3::XingFrame tag;
    tag.vbr = true;
    tag.frames = 0x01020304;
    tag.bytes = 0x05060708;
    tag.toc = four;
    tag.quality = 0x0A0B0C0D;
    ASSERT_TRUE(mp3::writeXingFrame(tag, frame.data(), frame.size()));
    EXPECT_EQ(std::string(frame.begin() + 36, frame.begin() + 40), "Xing");
    EXPECT_EQ(std::vector<std::uint8_t>(frame.begin() + 40, frame.begin() + 56),
              (std::vector<std::uint8_t>{0, 0, 0, 15, 1, 2, 3, 4, 5, 6, 7, 8, 40, 40, 40, 40}));
    EXPECT_TRUE(std::equal(four.begin(), four.end(), frame.begin() + 52));
    EXPECT_EQ(std::vector<std::uint8_t>(frame.begin() + 151, frame.begin() + 156),
              (std::vector<std::uint8_t>{204, 10, 11, 12, 13}));
}

} // namespace
