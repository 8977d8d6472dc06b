#include "OutputTestSupport.h"

#include "engine/FileScan.h"
#include "engine/FrameReader.h"
#include "output/FrameCopy.h"
#include "output/OverlapFrames.h"
#include "output/PieceFile.h"
#include "output/PieceNames.h"
#include "output/PieceTag.h"
#include "output/SourceBytes.h"
#include "support/TestFiles.h"
#ifndef _WIN32
#include "support/WriteLimit.h"
#endif

#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <algorithm>

using namespace output_test;
using namespace testing_support;

namespace {

std::uint64_t fileSize(const std::filesystem::path& path) {
    return std::filesystem::file_size(path);
}

TEST(PieceWriter, ABlockOfAThousandFramesIsTheirBytesExactly) {
    const auto dir = scratchDir("piece-thousand");
    const auto source = writeNumberedFrames(dir / "source.mp3", 2000);
    const std::vector<std::uint8_t> expected = frameBytes(source, 1000, 2000);
    ASSERT_EQ(expected.size(), 417000u);

    // Through readers, frame by frame.
    {
        mp3::FrameReader base(source);
        mp3::FrameReader start = base.advanced(1000);
        const mp3::FrameReader end = base.advanced(2000);
        PieceFile piece = createPieceFile(dir / "by-reader.mp3", source);
        const CopyResult copied = copyFrames(start, end, piece);
        EXPECT_TRUE(piece.close());
        EXPECT_EQ(copied.frames, 1000);
        EXPECT_EQ(copied.bytes, 417000u);
        base.close();
    }
    // Through the spans of one walk.
    {
        SourceFrames frames(source);
        PieceFile piece = createPieceFile(dir / "by-spans.mp3", source);
        const CopyResult copied = copyFrames(frames, 1000, 2000, piece);
        EXPECT_TRUE(piece.close());
        EXPECT_EQ(copied.frames, 1000);
        EXPECT_EQ(copied.bytes, 417000u);
    }
    for (const char* name : {"by-reader.mp3", "by-spans.mp3"}) {
        const auto bytes = readBytes(dir / name);
        ASSERT_EQ(bytes.size(), 417000u) << name;
        EXPECT_EQ(bytes, expected) << name;
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4),
                  (std::vector<std::uint8_t>{0xFF, 0xFB, 0x90, 0x64}));
    }
}

TEST(PieceWriter, RangesSkipWhatLiesBetweenFramesAndStopAtTheEnd) {
    const auto dir = scratchDir("piece-gaps");
    std::vector<std::uint8_t> bytes = {'j', 'u', 'n', 'k'};
    for (int i = 0; i < 10; ++i) {
        append(bytes, numberedFrame(i));
        if (i == 4) {
            append(bytes, {0x00, 0x11, 0x22}); // stray bytes inside the range
        }
    }
    writeBytes(dir / "source.mp3", bytes);
    SourceFrames frames(dir / "source.mp3");
    ASSERT_EQ(frames.count(), 10);
    PieceFile piece = createPieceFile(dir / "piece.mp3", dir / "source.mp3");
    const CopyResult copied = copyFrames(frames, 3, 50, piece);
    EXPECT_TRUE(piece.close());
    EXPECT_EQ(copied.frames, 7);
    std::vector<std::uint8_t> expected;
    for (int i = 3; i < 10; ++i) {
        append(expected, numberedFrame(i));
    }
    EXPECT_EQ(readBytes(dir / "piece.mp3"), expected);
}

// The loading scan's offsets, alone or with its lengths, give the spans a walk gives on every kind of
// file, in file order and from the end backwards as the overlap before a block asks for them; what
// no longer fits the file is not trusted.
TEST(PieceWriter, KnownOffsetsAndLengthsGiveTheSpansOfAWalk) {
    const auto dir = scratchDir("piece-spans");
    std::vector<std::uint8_t> cutShort;
    for (int i = 0; i < 5; ++i) {
        append(cutShort, numberedFrame(i));
    }
    cutShort.resize(cutShort.size() - 100);
    writeBytes(dir / "cut-short.mp3", cutShort);
    std::vector<std::uint8_t> junk = {0x00, 0xFF, 0x7F};
    for (int i = 0; i < 5; ++i) {
        append(junk, numberedFrame(i));
        append(junk, {0xFF, 0x00, 0x12});
    }
    writeBytes(dir / "junk.mp3", junk);
    // Junk between frames, a gap too large to read across, and frames of another kind after them.
    std::vector<std::uint8_t> mixed = {0x00, 0xFF, 0x7F};
    for (int i = 0; i < 700; ++i) {
        append(mixed, numberedFrame(i));
        if (i % 9 == 4) {
            append(mixed, {0xFF, 0x00, 0x12});
        }
        if (i == 300) {
            mixed.resize(mixed.size() + 300 * 1024, 0);
        }
    }
    append(mixed, readBytes(fixture("mpeg2-mono.mp3")));
    writeBytes(dir / "mixed.mp3", mixed);

    const std::vector<std::filesystem::path> sources = {
        fixture("cbr128.mp3"), fixture("vbr.mp3"),         fixture("mpeg2-mono.mp3"),
        fixture("id3v1.mp3"),  fixture("id3v2-cover.mp3"), fixture("mpeg25.mp3"),
        dir / "cut-short.mp3", dir / "junk.mp3",           dir / "mixed.mp3"};
    for (const auto& source : sources) {
        const mp3::LevelScan scan = mp3::scanLevels(source);
        ASSERT_EQ(scan.lengths.size(), scan.offsets.size()) << source;
        const SourceFrames walked(source);
        for (const bool withLengths : {false, true}) {
            const auto trace = source.filename().string() + (withLengths ? " with lengths" : " offsets only");
            const mp3::FrameLengths* lengths = withLengths ? &scan.lengths : nullptr;
            const SourceFrames forward(source, &scan.offsets, lengths);
            ASSERT_EQ(forward.count(), walked.count()) << trace;
            EXPECT_EQ(forward.count(), static_cast<int>(scan.offsets.size())) << trace;
            EXPECT_EQ(forward.endFrameNumber(), walked.endFrameNumber()) << trace;
            EXPECT_EQ(forward.firstBitrate(), walked.firstBitrate()) << trace;
            for (int i = 0; i < walked.count(); ++i) {
                EXPECT_EQ(forward[i].offset, walked[i].offset) << trace << " frame " << i;
                EXPECT_EQ(forward[i].length, walked[i].length) << trace << " frame " << i;
                EXPECT_EQ(forward[i].durationMs, walked[i].durationMs) << trace << " frame " << i;
            }
            const SourceFrames backward(source, &scan.offsets, lengths);
            for (int i = walked.count() - 1; i >= 0; --i) {
                EXPECT_EQ(backward.offset(i), walked[i].offset) << trace << " frame " << i;
                EXPECT_EQ(backward.length(i), walked[i].length) << trace << " frame " << i;
                EXPECT_EQ(backward[i].durationMs, walked[i].durationMs) << trace << " frame " << i;
            }
        }
    }
    EXPECT_EQ(SourceFrames(dir / "cut-short.mp3")[4].length, 317);

    // Offsets that no longer fit the file are not trusted.
    const mp3::LevelScan scan = mp3::scanLevels(fixture("cbr128.mp3"));
    mp3::FrameOffsets stale = scan.offsets;
    stale[3] += 1;
    EXPECT_EQ(SourceFrames(fixture("cbr128.mp3"), &stale)[3].offset, scan.offsets[3]);
    mp3::FrameOffsets fewerOffsets(scan.offsets.begin(), scan.offsets.end() - 5);
    EXPECT_EQ(SourceFrames(fixture("cbr128.mp3"), &fewerOffsets).count(),
              static_cast<int>(scan.offsets.size()));

    // Nor are lengths.
    const SourceFrames walked(fixture("cbr128.mp3"));
    mp3::FrameLengths longer = scan.lengths;
    longer.back() += 1;
    mp3::FrameLengths fewer(scan.lengths.begin(), scan.lengths.end() - 1);
    mp3::FrameLengths sampled = scan.lengths;
    sampled[0] += 1; // frame 0's header is always among those checked
    for (const mp3::FrameLengths* lengths : {&longer, &fewer, &sampled}) {
        const SourceFrames known(fixture("cbr128.mp3"), &scan.offsets, lengths);
        ASSERT_EQ(known.count(), walked.count());
        for (int i = 0; i < walked.count(); ++i) {
            EXPECT_EQ(known.length(i), walked[i].length) << "frame " << i;
        }
    }
    // The file changed since it was loaded: something was put in front of its frames.
    const auto changed = dir / "changed.mp3";
    writeNumberedFrames(changed, 400);
    const mp3::LevelScan before = mp3::scanLevels(changed);
    writeNumberedFrames(changed, 400, {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 1, 0});
    const SourceFrames afterwards(changed, &before.offsets, &before.lengths);
    ASSERT_EQ(afterwards.count(), 400);
    EXPECT_EQ(afterwards.offset(0), before.offsets[0] + 11);
    EXPECT_EQ(afterwards.offset(399), before.offsets[399] + 11);
}

TEST(PieceWriter, PieceNamesFollowTheRuleOfEachWriter) {
    struct Case {
        PieceNaming rule;
        std::string folder;
        std::string source;
        int number;
        std::string expected;
    };
    const Case cases[] = {
        {PieceNaming::SaveAll, "/out", "/music/live.mp3", 0, "/out/live-0.mp3"},
        {PieceNaming::SaveAll, "/out/", "/music/live.mp3", 12, "/out/live-12.mp3"},
        {PieceNaming::SaveAll, "/out", "/music/live", 1, "/out/live-1"},
        {PieceNaming::SaveAll, "/out", "/music/Live.MP3", 2, "/out/Live-2.MP3"},
        {PieceNaming::SaveAll, "/out", "/music/a.b.mp3", 3, "/out/a.b-3.mp3"},
        {PieceNaming::SpecifiedBlocks, "/out", "/music/live.mp3", 1, "/out/live-1.mp3"},
        {PieceNaming::SpecifiedBlocks, "/out", "/music/live", 2, "/out/live-2.mp3"},
        {PieceNaming::SpecifiedBlocks, "/out/", "/music/live.mp3", 2, "/out//live-2.mp3"},
        {PieceNaming::SingleBlock, "/chosen/name.mp3", "/music/live.mp3", 7, "/chosen/name.mp3"},
    };
    for (const Case& c : cases) {
        // Windows joins with its own separator; the folder keeps the one it was given.
        std::string name = pieceName(c.rule, c.folder, c.source, c.number).string();
        std::replace(name.begin(), name.end(), '\\', '/');
        EXPECT_EQ(name, c.expected) << c.expected;
    }
}

TEST(PieceWriter, ThePieceFileNeverReplacesTheSource) {
    const auto dir = scratchDir("piece-source");
    const auto source = writeNumberedFrames(dir / "source.mp3", 20);
    const auto original = readBytes(source);
    std::filesystem::create_hard_link(source, dir / "hard.mp3");
    std::filesystem::create_directories(dir / "sub");

    std::vector<std::filesystem::path> aliases = {source, dir / "hard.mp3",
                                                  dir / "sub" / ".." / "source.mp3"};
#ifndef _WIN32
    std::filesystem::create_symlink(source, dir / "link.mp3");
    aliases.push_back(dir / "link.mp3");
#endif
    for (const auto& alias : aliases) {
        PieceFile piece = createPieceFile(alias, source);
        EXPECT_FALSE(piece.isOpen()) << alias;
        EXPECT_EQ(piece.error(), "it is the loaded source file") << alias;
        EXPECT_EQ(piece.write(original.data(), 10), 0u);
        EXPECT_FALSE(piece.close());
        EXPECT_EQ(readBytes(source), original) << alias;
    }
}

TEST(PieceWriter, FailuresAreKeptAndReported) {
    const auto dir = scratchDir("piece-failures");
    const auto source = writeNumberedFrames(dir / "source.mp3", 20);

    std::filesystem::create_directories(dir / "a-folder");
    PieceFile folder = createPieceFile(dir / "a-folder", source);
    EXPECT_FALSE(folder.isOpen());
    EXPECT_FALSE(folder.error().empty());
    EXPECT_FALSE(folder.close());

    PieceFile missing = createPieceFile(dir / "no" / "such" / "folder.mp3", source);
    EXPECT_FALSE(missing.isOpen());
    EXPECT_FALSE(missing.close());

    SourceFrames frames(source);
#ifndef _WIN32
    // A disk that takes no more bytes: the loss shows when the buffer reaches it, and nothing is
    // left under the name or beside it.
    {
        PieceFile full = createPieceFile(dir / "full.mp3", source);
        ASSERT_TRUE(full.isOpen());
        const WriteLimit limit(1000);
        copyFrames(frames, 0, 20, full);
        EXPECT_FALSE(full.close());
        EXPECT_FALSE(full.error().empty());
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "full.mp3"));
#endif

    // The source ends before the bytes asked for.
    SourceBytes bytes(source);
    PieceFile shortCopy = createPieceFile(dir / "short.mp3", source);
    EXPECT_EQ(shortCopy.copyFrom(bytes, 417 * 19, 1000), 417u);
    EXPECT_FALSE(shortCopy.close());
    EXPECT_EQ(shortCopy.error(), "the source file ended early");

    // An existing piece is replaced, not appended to.
    writeBytes(dir / "old.mp3", std::vector<std::uint8_t>(5000, 0xAA));
    PieceFile replaced = createPieceFile(dir / "old.mp3", source);
    copyFrames(frames, 0, 2, replaced);
    EXPECT_TRUE(replaced.close());
    EXPECT_EQ(fileSize(dir / "old.mp3"), 834u);
}

struct OverlapCase {
    const char* name;
    bool on;
    int seconds;
    OverlapDirection direction;
    int frame;
    int firstWritten;
    int count;
};

TEST(PieceWriter, OverlapFramesAddUpTheirDurations) {
    const auto dir = scratchDir("piece-overlap");
    const auto source = writeNumberedFrames(dir / "source.mp3", 1000);
    const OverlapCase cases[] = {
        {"before, one second", true, 1, OVERLAP_DIR_BEFORE, 500, 461, 39},
        {"after, one second", true, 1, OVERLAP_DIR_AFTER, 500, 500, 39},
        {"before, two seconds", true, 2, OVERLAP_DIR_BEFORE, 100, 23, 77},
        {"after, two seconds", true, 2, OVERLAP_DIR_AFTER, 100, 100, 77},
        {"before, stops at frame 0", true, 1, OVERLAP_DIR_BEFORE, 10, 0, 10},
        {"after, stops at the end", true, 1, OVERLAP_DIR_AFTER, 995, 995, 5},
        {"before, zero seconds", true, 0, OVERLAP_DIR_BEFORE, 100, 100, 0},
        {"after, zero seconds", true, 0, OVERLAP_DIR_AFTER, 100, 100, 0},
    };
    for (const OverlapCase& c : cases) {
        TestDocument test(source);
        test.setOverlap(c.on, c.seconds);
        SourceFrames frames(source, &test.doc->m_frameOffsets);
        PieceFile piece = createPieceFile(dir / "piece.mp3", source);
        EXPECT_EQ(writeOverlapFrames(*test.doc, c.direction, c.frame, piece, frames), c.count) << c.name;
        EXPECT_TRUE(piece.close());
        EXPECT_EQ(readBytes(dir / "piece.mp3"), frameBytes(source, c.firstWritten, c.firstWritten + c.count))
            << c.name;
        const std::string direction = c.direction == OVERLAP_DIR_BEFORE ? "before" : "after";
        EXPECT_EQ(test.lines(),
                  (std::vector<std::string>{"Save overlap frames " + direction + " the block ...",
                                            "Overlap frames has been saved, total frame " +
                                                std::to_string(c.count) + " F"}))
            << c.name;
    }

    TestDocument off(source);
    off.setOverlap(false, 5);
    SourceFrames frames(source);
    PieceFile piece = createPieceFile(dir / "off.mp3", source);
    EXPECT_EQ(writeOverlapFrames(*off.doc, OVERLAP_DIR_AFTER, 100, piece, frames), 0);
    EXPECT_TRUE(piece.close());
    EXPECT_EQ(fileSize(dir / "off.mp3"), 0u);
    EXPECT_TRUE(off.lines().empty());
}

TEST(PieceWriter, BlockTagsAreWrittenInUnicode) {
    const auto dir = scratchDir("piece-tag");
    std::filesystem::copy_file(fixture("cbr128.mp3"), dir / "piece.mp3");
    const ID3Info tag{"Live in Kraków", "Mötley Ensemble", "Ouverture – part 1", "ça va", 2021};
    ASSERT_TRUE(applyBlockTag(dir / "piece.mp3", tag));

    TagLib::FileRef file((dir / "piece.mp3").c_str());
    ASSERT_FALSE(file.isNull());
    EXPECT_EQ(file.tag()->album().to8Bit(true), tag.album);
    EXPECT_EQ(file.tag()->artist().to8Bit(true), tag.artist);
    EXPECT_EQ(file.tag()->title().to8Bit(true), tag.title);
    EXPECT_EQ(file.tag()->comment().to8Bit(true), tag.comment);
    EXPECT_EQ(file.tag()->year(), 2021u);
    EXPECT_EQ(toolComplaints(dir / "piece.mp3"), "");

    EXPECT_FALSE(applyBlockTag(dir / "missing.mp3", tag));
}

} // namespace
