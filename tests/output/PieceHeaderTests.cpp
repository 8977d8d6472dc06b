#include "OutputTestSupport.h"

#include "engine/FrameReader.h"
#include "engine/XingFrame.h"
#include "output/OverlapFrames.h"
#include "output/SaveAll.h"
#include "output/SourceFrames.h"
#include "support/FrameFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace output_test;
using namespace testing_support;

namespace {

enum class Decoder { Mpg123, Ffmpeg };

// The samples a decoder plays for a file, as 16-bit PCM bytes; a gapless decoder honours the header
// frame's delay and padding.
std::string decode(Decoder decoder, const std::filesystem::path& path) {
    const std::string quoted = "'" + path.string() + "'";
    int status = 0;
    std::string pcm = decoder == Decoder::Mpg123
                          ? runCommand("mpg123 -q -s " + quoted + " 2>/dev/null", &status)
                          : runCommand("ffmpeg -v error -i " + quoted + " -f s16le -", &status);
    EXPECT_EQ(status, 0) << path;
    return pcm;
}

const char* name(Decoder decoder) {
    return decoder == Decoder::Mpg123 ? "mpg123" : "ffmpeg";
}

std::vector<std::filesystem::path> savePieces(const std::filesystem::path& source,
                                              const std::vector<int>& cuts,
                                              const std::filesystem::path& folder, bool gapless,
                                              int overlapSecs = -1) {
    TestDocument test(source);
    test.doc->m_breakPoints = cuts;
    test.doc->m_outputFolder = folder;
    PieceOptions options;
    options.gapless = gapless;
    test.doc->setPieceOptions(options);
    if (overlapSecs >= 0) {
        test.setOverlap(true, overlapSecs);
    }
    const SaveAllResult result = runSaveAll(*test.doc);
    EXPECT_EQ(result.failed, 0);
    std::vector<std::filesystem::path> pieces;
    for (int i = 0; i < result.pieces; ++i) {
        pieces.push_back(folder / (source.stem().string() + "-" + std::to_string(i) + ".mp3"));
    }
    return pieces;
}

std::optional<mp3::XingFrame> headerFrame(const std::filesystem::path& path) {
    mp3::FrameReader reader(path);
    auto tag = mp3::XingFrame::parse(reader.frameData(), static_cast<std::size_t>(reader.frameLength()));
    reader.close();
    return tag;
}

} // namespace

// A piece holding the source's Info frame: the frame describes the piece, not the whole file.
TEST(PieceHeader, TheSourcesHeaderFrameDescribesThePieceItIsIn) {
    struct Case {
        const char* what;
        const char* source;
        std::vector<int> cuts;
        int overlapSecs; // -1: off
    };
    const Case cases[] = {
        {"CBR, first piece", "cbr128.mp3", {30}, -1},
        {"VBR, three pieces", "vbr.mp3", {30, 60}, -1},
        {"the overlap of the second piece reaches frame 0", "cbr128.mp3", {20}, 1},
        {"frames with a CRC", "crc.mp3", {30}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto dir = scratchDir("piece-header-default");
        const auto source = fixture(c.source);
        const auto sourceTag = headerFrame(source);
        const auto pieces = savePieces(source, c.cuts, dir, false, c.overlapSecs);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            SCOPED_TRACE(pieces[i].filename().string());
            const auto tag = headerFrame(pieces[i]);
            const bool holdsFrameZero = i == 0 || (c.overlapSecs >= 0 && c.cuts[i - 1] <= 39);
            ASSERT_EQ(tag.has_value(), holdsFrameZero);
            if (!tag) {
                continue;
            }
            EXPECT_EQ(toolComplaints(pieces[i]), "");
            const std::vector<std::uint8_t> bytes = readBytes(pieces[i]);
            EXPECT_EQ(static_cast<int>(*tag->frames), readerFrameCount(pieces[i]) - 1);
            EXPECT_EQ(*tag->bytes, bytes.size());
            EXPECT_EQ(tag->lame->musicLength(), bytes.size());
            EXPECT_EQ(tag->lame->encoderDelay(), sourceTag->lame->encoderDelay());
            EXPECT_EQ(tag->lame->padding(), i + 1 == pieces.size() ? sourceTag->lame->padding() : 0);
            EXPECT_EQ(tag->vbr, sourceTag->vbr);
        }
    }
}

// Joined, gapless pieces play exactly like the source: same samples, same length.
TEST(PieceHeader, GaplessPiecesJoinToTheSourceSampleForSample) {
    struct Case {
        const char* source;
        std::vector<int> cuts;
        std::vector<Decoder> decoders;
    };
    const Case cases[] = {
        {"cbr128.mp3", {11, 37, 60}, {Decoder::Mpg123, Decoder::Ffmpeg}},
        {"vbr.mp3", {20, 45}, {Decoder::Mpg123, Decoder::Ffmpeg}},
        {"no-info.mp3", {3, 25, 50}, {Decoder::Mpg123, Decoder::Ffmpeg}},
        // A one-frame piece is too short for ffmpeg to take as MP3 at all.
        {"ten-seconds.mp3", {100, 101, 250, 383}, {Decoder::Mpg123}},
        // MPEG-2 and 2.5 blocks starting at audio frames 4k + 2 and 4k + 3, and 4k (the piece
        // starts at the source's start): see the next test for 4k + 1.
        {"mpeg2-info.mp3", {20, 43}, {Decoder::Mpg123, Decoder::Ffmpeg}},
        {"mpeg25-info.mp3", {12, 23}, {Decoder::Mpg123, Decoder::Ffmpeg}},
        {"mpeg2-mono.mp3", {30, 51}, {Decoder::Mpg123, Decoder::Ffmpeg}},
        // Frames with a CRC, whose Info frame holds its tag where lame puts it.
        {"crc.mp3", {20, 43}, {Decoder::Mpg123, Decoder::Ffmpeg}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const auto dir = scratchDir("piece-header-gapless");
        const auto source = fixture(c.source);
        const auto pieces = savePieces(source, c.cuts, dir, true);
        for (const auto& piece : pieces) {
            // mp3val doubts any file of a handful of frames, whatever its header says.
            if (readerFrameCount(piece) >= 8) {
                EXPECT_EQ(toolComplaints(piece), "") << piece;
            }
            const auto tag = headerFrame(piece);
            ASSERT_TRUE(tag && tag->lame && tag->frames) << piece;
            EXPECT_EQ(static_cast<int>(*tag->frames), readerFrameCount(piece) - 1) << piece;
        }
        for (const Decoder decoder : c.decoders) {
            SCOPED_TRACE(name(decoder));
            std::string joined;
            for (const auto& piece : pieces) {
                joined += decode(decoder, piece);
            }
            const std::string whole = decode(decoder, source);
            EXPECT_EQ(joined.size(), whole.size());
            EXPECT_TRUE(joined == whole);
        }
    }
}

// An MPEG-2 or 2.5 block starting at audio frame 4k + 1: mpg123 decodes only the four frames before
// the first sample it plays, and its synthesis rounds alike only where the frames it decoded ahead of
// the block's first one number the same modulo four as in the source (two at the least, to warm up).
// That would take one or five; what comes out is a few samples one step apart. ffmpeg joins exactly.
TEST(PieceHeader, MpegTwoBlocksInTheOnePhaseMpg123CannotMatchAreOneStepOffAtMost) {
    struct Case {
        const char* source;
        int cut; // audio frame 4k + 1
    };
    const Case cases[] = {{"mpeg2-info.mp3", 10}, {"mpeg25-info.mp3", 14}, {"mpeg2-mono.mp3", 13}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const auto dir = scratchDir("piece-header-fourth-phase");
        const auto source = fixture(c.source);
        const auto pieces = savePieces(source, {c.cut}, dir, true);
        std::string joined;
        std::string joinedByFfmpeg;
        for (const auto& piece : pieces) {
            joined += decode(Decoder::Mpg123, piece);
            joinedByFfmpeg += decode(Decoder::Ffmpeg, piece);
        }
        EXPECT_TRUE(joinedByFfmpeg == decode(Decoder::Ffmpeg, source));
        const std::string whole = decode(Decoder::Mpg123, source);
        ASSERT_EQ(joined.size(), whole.size());
        int apart = 0;
        for (std::size_t i = 0; i + 1 < whole.size(); i += 2) {
            const auto sample = [](const std::string& pcm, std::size_t at) {
                return static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm[at]) |
                                                 static_cast<std::uint8_t>(pcm[at + 1]) << 8);
            };
            const int step = std::abs(sample(joined, i) - sample(whole, i));
            EXPECT_LE(step, 1) << "sample " << i / 2;
            apart += step;
        }
        EXPECT_LE(apart, 16);
    }
}

// With overlap, each gapless piece alone plays the source over the frames it holds.
TEST(PieceHeader, GaplessPiecesWithOverlapPlayTheSourceOverTheirFrames) {
    const auto dir = scratchDir("piece-header-overlap");
    const auto source = fixture("ten-seconds.mp3");
    const std::vector<int> cuts{100, 200};
    const auto pieces = savePieces(source, cuts, dir, true, 1);
    ASSERT_EQ(pieces.size(), 3u);

    const auto sourceTag = headerFrame(source);
    const std::string whole = decode(Decoder::Mpg123, source);
    SourceFrames frames(source);
    Preferences overlap;
    overlap.Overlap = true;
    overlap.OverlapSecs = 1;
    // Source frame k (after the Info frame) plays the samples from (k − 1) × 1152 − delay − 529 on.
    const std::int64_t lead = sourceTag->lame->encoderDelay() + mp3::kDecoderDelay;
    const std::int64_t bytesPerSample = 4;
    const std::vector<int> starts{0, 100, 200, frames.count()};
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        SCOPED_TRACE(pieces[i].filename().string());
        const int first = overlapRange(frames, OVERLAP_DIR_BEFORE, starts[i], overlapLimitMs(overlap)).from;
        const int end =
            i + 1 == pieces.size()
                ? frames.count()
                : overlapRange(frames, OVERLAP_DIR_AFTER, starts[i + 1], overlapLimitMs(overlap)).to;
        const std::int64_t from =
            std::max<std::int64_t>(0, std::int64_t{std::max(first, 1) - 1} * 1152 - lead);
        const std::int64_t to = std::min<std::int64_t>(
            static_cast<std::int64_t>(whole.size()) / bytesPerSample, std::int64_t{end - 1} * 1152 - lead);
        const std::string expected = whole.substr(static_cast<std::size_t>(from * bytesPerSample),
                                                  static_cast<std::size_t>((to - from) * bytesPerSample));
        const std::string alone = decode(Decoder::Mpg123, pieces[i]);
        EXPECT_EQ(alone.size(), expected.size());
        EXPECT_TRUE(alone == expected);
        EXPECT_EQ(toolComplaints(pieces[i]), "");
    }
}

// A source whose header frame lies (counts beyond the file, a broken CRC, a TOC of noise): pieces are
// described by the frames they really hold, and decoders take them.
TEST(PieceHeader, ALyingSourceHeaderIsRebuiltFromThePiecesFrames) {
    const auto dir = scratchDir("piece-header-lying");
    const auto source = dir / "lying.mp3";
    std::vector<std::uint8_t> bytes = readBytes(fixture("vbr.mp3"));
    const std::size_t tag = 36; // MPEG-1 stereo: header and side information
    for (std::size_t i = tag + 8; i < tag + 16; ++i) {
        bytes[i] = 0xFF; // frames and bytes far beyond the file
    }
    for (std::size_t i = tag + 16; i < tag + 116; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 37);
    }
    bytes[tag + 120 + 35] ^= 0x5A; // the tag's CRC
    writeBytes(source, bytes);

    for (const bool gapless : {false, true}) {
        SCOPED_TRACE(gapless ? "gapless" : "default");
        const auto out = dir / (gapless ? "gapless" : "default");
        std::filesystem::create_directories(out);
        const auto pieces = savePieces(source, {25, 50}, out, gapless);
        ASSERT_EQ(pieces.size(), 3u);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            const auto header = headerFrame(pieces[i]);
            if (!gapless && i > 0) {
                EXPECT_FALSE(header);
                continue;
            }
            ASSERT_TRUE(header && header->frames && header->bytes) << pieces[i];
            EXPECT_EQ(static_cast<int>(*header->frames), readerFrameCount(pieces[i]) - 1);
            EXPECT_EQ(*header->bytes, readBytes(pieces[i]).size());
            EXPECT_EQ(toolComplaints(pieces[i]), "") << pieces[i];
        }
    }
}

namespace {

// CRC-16/ARC one bit at a time, as the LAME tag's music CRC is defined.
std::uint16_t bitwiseMusicCrc(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to) {
    std::uint16_t crc = 0;
    for (std::size_t i = from; i < to; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                                 : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

} // namespace

// The header frame is completed after the copy: its music CRC covers every audio byte the piece holds
// after it, lead frames, warm-up and overlap frames included, and none of the tags.
TEST(PieceHeader, TheMusicCrcCoversTheAudioBytesAsWritten) {
    struct Case {
        const char* what;
        const char* source;
        std::vector<int> cuts;
        bool gapless;
        bool copyTags;
        int overlapSecs; // -1: off
    };
    const Case cases[] = {
        {"the source's header frame rewritten", "vbr.mp3", {30, 60}, false, false, -1},
        {"gapless, with copied tags", "id3v2-cover.mp3", {20, 45}, true, true, -1},
        {"gapless, with overlap", "ten-seconds.mp3", {100, 200}, true, false, 1},
        {"gapless MPEG-2 with frames made self-contained", "mpeg2-info.mp3", {20, 43}, true, true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto dir = scratchDir("piece-header-music-crc");
        const auto source = fixture(c.source);
        TestDocument test(source);
        test.doc->m_breakPoints = c.cuts;
        test.doc->m_outputFolder = dir;
        PieceOptions options;
        options.gapless = c.gapless;
        options.copyTags = c.copyTags;
        test.doc->setPieceOptions(options);
        if (c.overlapSecs >= 0) {
            test.setOverlap(true, c.overlapSecs);
        }
        const SaveAllResult result = runSaveAll(*test.doc);
        ASSERT_EQ(result.failed, 0);
        int described = 0;
        for (int i = 0; i < result.pieces; ++i) {
            const auto piece = dir / (source.stem().string() + "-" + std::to_string(i) + ".mp3");
            SCOPED_TRACE(piece.filename().string());
            mp3::FrameReader reader(piece);
            const auto tag =
                mp3::XingFrame::parse(reader.frameData(), static_cast<std::size_t>(reader.frameLength()));
            const auto audioFrom = static_cast<std::size_t>(reader.header().offset + reader.frameLength());
            reader.close();
            if (!tag || !tag->lame) {
                continue;
            }
            ++described;
            const std::vector<std::uint8_t> bytes = readBytes(piece);
            std::size_t audioTo = bytes.size();
            if (bytes.size() >= 128 && std::equal(bytes.end() - 128, bytes.end() - 125, "TAG")) {
                audioTo -= 128;
            }
            EXPECT_EQ(tag->lame->musicCrc(), bitwiseMusicCrc(bytes, audioFrom, audioTo));
            EXPECT_EQ(toolComplaints(piece), "");
        }
        EXPECT_GE(described, c.gapless ? result.pieces : 1);
    }
}
