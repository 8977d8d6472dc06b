#include "OutputTestSupport.h"

#include "engine/FrameReader.h"
#include "engine/Id3v2.h"
#include "engine/PlatformFile.h"
#include "engine/XingFrame.h"
#include "output/EditedCopy.h"
#include "output/PieceFile.h"
#include "output/SaveAll.h"
#include "output/SaveBlocks.h"
#include "output/SourceFrames.h"
#include "support/FrameFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace output_test;
using namespace testing_support;

namespace {

enum class Decoder { Mpg123, Ffmpeg };

std::vector<std::int16_t> decode(Decoder decoder, const std::filesystem::path& path) {
    const std::string quoted = "'" + path.string() + "'";
    int status = 0;
    const std::string pcm = decoder == Decoder::Mpg123
                                ? runCommand("mpg123 -q -s " + quoted + " 2>/dev/null", &status)
                                : runCommand("ffmpeg -v error -i " + quoted + " -f s16le -", &status);
    EXPECT_EQ(status, 0) << path;
    std::vector<std::int16_t> samples(pcm.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm[2 * i]) |
                                               static_cast<std::uint8_t>(pcm[2 * i + 1]) << 8);
    }
    return samples;
}

// How the source's frames lie on its decoded timeline.
struct SourceLayout {
    int channels = 2;
    int samplesPerFrame = 1152;
    int sampleRate = 44100;
    int firstAudio = 0; // 1 behind a Xing/Info frame
    bool trims = false; // a LAME tag: decoders trim its delay and padding
    int delay = 0;
};

SourceLayout layoutOf(const std::filesystem::path& path) {
    mp3::FrameReader reader(path);
    SourceLayout layout;
    const auto tag =
        mp3::XingFrame::parse(reader.frameData(), static_cast<std::size_t>(reader.frameLength()));
    if (tag) {
        reader.readNext();
        layout.firstAudio = 1;
        layout.trims = tag->lame.has_value();
        layout.delay = tag->lame ? tag->lame->encoderDelay() : 0;
    }
    layout.channels = reader.header().channels();
    layout.samplesPerFrame = mp3::samplesPerFrame(reader.header());
    layout.sampleRate = reader.header().sampleRate();
    reader.close();
    return layout;
}

struct Expected {
    std::vector<std::int16_t> samples;
    std::vector<std::int64_t> junctions; // sample positions (per channel) where kept stretches meet
};

// The source's decode with the removed frames' samples cut out: frame k owns the samples of the
// decoded timeline from (k - firstAudio) * spf - delay on.
Expected expectedEdit(const std::vector<std::int16_t>& source, const SourceLayout& layout,
                      const std::vector<std::pair<int, int>>& kept) {
    Expected expected;
    const std::int64_t length = static_cast<std::int64_t>(source.size()) / layout.channels;
    std::int64_t previousEnd = 0;
    for (const auto& [from, to] : kept) {
        const auto at = [&](int frame) {
            return std::clamp<std::int64_t>(
                static_cast<std::int64_t>(frame - layout.firstAudio) * layout.samplesPerFrame - layout.delay,
                0, length);
        };
        const std::int64_t lo = at(std::max(from, layout.firstAudio));
        const std::int64_t hi = at(to);
        if (hi <= lo) {
            continue;
        }
        if (lo != previousEnd) {
            expected.junctions.push_back(static_cast<std::int64_t>(expected.samples.size()) /
                                         layout.channels);
        }
        expected.samples.insert(expected.samples.end(), source.begin() + lo * layout.channels,
                                source.begin() + hi * layout.channels);
        previousEnd = hi;
    }
    return expected;
}

std::vector<std::pair<int, int>> keptRanges(const SplitDocument& doc) {
    std::vector<std::pair<int, int>> kept;
    for (const EditedRange& range : doc.editedStream()) {
        kept.emplace_back(range.from, range.to);
    }
    return kept;
}

// Compares the copy's decode with the expected samples: equal except within one granule of a
// junction (with the decoder delay the file does not trim, both granules come after it), and one
// step apart at most after the first junction, where the synthesis filter may stand in another phase.
void expectJoinedLikeTheSource(const std::vector<std::int16_t>& got, const Expected& expected,
                               const SourceLayout& layout) {
    ASSERT_EQ(got.size(), expected.samples.size());
    const std::int64_t frames = static_cast<std::int64_t>(got.size()) / layout.channels;
    std::vector<bool> near(static_cast<std::size_t>(frames), false);
    for (const std::int64_t junction : expected.junctions) {
        const std::int64_t from = layout.trims ? junction - 576 : junction;
        const std::int64_t to = layout.trims ? junction + 576 : junction + 1152;
        for (std::int64_t i = std::max<std::int64_t>(0, from); i < std::min(frames, to); ++i) {
            near[static_cast<std::size_t>(i)] = true;
        }
    }
    const std::int64_t firstJunction = expected.junctions.empty() ? frames : expected.junctions.front();
    int apart = 0;
    for (std::int64_t i = 0; i < frames; ++i) {
        if (near[static_cast<std::size_t>(i)]) {
            continue;
        }
        for (int c = 0; c < layout.channels; ++c) {
            const auto at = static_cast<std::size_t>(i * layout.channels + c);
            const int step = std::abs(got[at] - expected.samples[at]);
            const int allowed = i < firstJunction - (layout.trims ? 576 : 0) ? 0 : 1;
            if (step > allowed && ++apart <= 5) {
                ADD_FAILURE() << "sample " << i << " channel " << c << ": " << got[at] << " instead of "
                              << expected.samples[at];
            }
        }
    }
}

double ffprobeSeconds(const std::filesystem::path& path) {
    // ffprobe counts every frame after the header frame and puts the start at the delay it trims;
    // it leaves the padding in.
    const std::string out = runCommand("ffprobe -v error -show_entries format=duration,start_time -of "
                                       "default=nw=1:nk=1 '" +
                                       path.string() + "'");
    double start = 0.0;
    double duration = 0.0;
    std::sscanf(out.c_str(), "%lf %lf", &start, &duration);
    return duration - start;
}

double mutagenSeconds(const std::filesystem::path& path) {
    int status = 0;
    const std::string out = runCommand(
        "/usr/bin/python3 -c 'import sys, mutagen.mp3; print(mutagen.mp3.MP3(sys.argv[1]).info.length)' '" +
            path.string() + "'",
        &status);
    EXPECT_EQ(status, 0) << "mutagen (python3-mutagen) did not read " << path;
    return std::atof(out.c_str());
}

struct EditCase {
    const char* what;
    std::filesystem::path source;
    std::vector<int> breakPoints;
    std::vector<int> removedBlocks;
};

void checkEditedCopy(const EditCase& c) {
    SCOPED_TRACE(c.what);
    // A folder per test: ctest runs the tests that share this check at the same time.
    const auto dir = scratchDir(std::string("edited-copy-") +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    TestDocument test(c.source);
    SplitDocument& doc = *test.doc;
    doc.replaceBreakPoints(c.breakPoints);
    for (const int block : c.removedBlocks) {
        ASSERT_TRUE(doc.removeBlock(block));
    }
    const auto copy = dir / "edited.mp3";
    const EditedCopyResult result = saveEditedCopy(doc, copy);
    ASSERT_TRUE(result.saved) << ::testing::PrintToString(test.lines());
    EXPECT_EQ(result.fillers, 0);
    EXPECT_EQ(toolComplaints(copy), "");

    const SourceLayout layout = layoutOf(c.source);
    const std::vector<std::pair<int, int>> kept = keptRanges(doc);
    for (const Decoder decoder : {Decoder::Mpg123, Decoder::Ffmpeg}) {
        SCOPED_TRACE(decoder == Decoder::Mpg123 ? "mpg123" : "ffmpeg");
        const Expected expected = expectedEdit(decode(decoder, c.source), layout, kept);
        expectJoinedLikeTheSource(decode(decoder, copy), expected, layout);
    }
    const double seconds =
        static_cast<double>(decode(Decoder::Mpg123, copy).size()) / layout.channels / layout.sampleRate;
    const double frame = static_cast<double>(layout.samplesPerFrame) / layout.sampleRate;
    EXPECT_NEAR(ffprobeSeconds(copy), seconds, frame);
    EXPECT_NEAR(mutagenSeconds(copy), seconds, frame);
}

} // namespace

// The edited copy plays the source without the removed frames' samples, and joins where the removed
// blocks were as cleanly as the bit reservoir and the MDCT overlap allow.
TEST(EditedCopy, DecodesToTheSourceWithoutTheRemovedFrames) {
    const EditCase cases[] = {
        {"CBR, a block in the middle", fixture("cbr128.mp3"), {20, 30}, {1}},
        {"CBR, the first block", fixture("cbr128.mp3"), {10}, {0}},
        {"CBR, the last block", fixture("cbr128.mp3"), {60}, {1}},
        {"VBR, a one-frame block kept between removed ones", fixture("vbr.mp3"), {10, 11, 31, 61}, {0, 2, 4}},
        {"MPEG-2, a one-frame block removed", fixture("mpeg2-info.mp3"), {10, 20, 41, 42}, {1, 3}},
        {"MPEG-2.5, first and last removed", fixture("mpeg25-info.mp3"), {6, 25}, {0, 2}},
        {"CRC-protected", fixture("crc.mp3"), {11, 21}, {1}},
        {"no Info frame", fixture("no-info.mp3"), {10, 20}, {1}},
        {"no Info frame, first and last removed", fixture("no-info.mp3"), {20, 70}, {0, 2}},
        {"MPEG-2 mono without Info frame, one frame removed",
         fixture("mpeg2-mono.mp3"),
         {10, 20, 30, 31},
         {1, 3}},
    };
    for (const EditCase& c : cases) {
        checkEditedCopy(c);
    }
}

TEST(EditedCopy, MpegOneMonoMadeByLame) {
    const auto dir = scratchDir("edited-copy-mono");
    const auto wav = dir / "mono.wav";
    const auto mp3 = dir / "mono.mp3";
    int status = 0;
    runCommand("sox -R -n -r 44100 -c 1 -b 16 '" + wav.string() +
                   "' synth 3 sine 300-2000 synth 3 pinknoise mix vol 0.5 2>&1",
               &status);
    ASSERT_EQ(status, 0);
    runCommand("lame --quiet -m m -b 96 '" + wav.string() + "' '" + mp3.string() + "'", &status);
    ASSERT_EQ(status, 0);
    checkEditedCopy({"MPEG-1 mono", mp3, {1, 30, 45, 100}, {0, 2, 4}});
}

// A Xing/Info frame that describes the copy: its frame count, byte count and seek table, the
// source's delay only with the first block and its padding only with the last.
TEST(EditedCopy, HeaderFrameDescribesTheCopy) {
    struct Case {
        std::vector<int> removed;
        bool delay;
        bool padding;
    };
    for (const Case& c : {Case{{1}, true, true}, Case{{0}, false, true}, Case{{2}, true, false}}) {
        SCOPED_TRACE(c.removed.front());
        const auto dir = scratchDir("edited-copy-header");
        const auto source = fixture("cbr128.mp3");
        TestDocument test(source);
        test.doc->replaceBreakPoints({25, 50});
        test.doc->removeBlock(c.removed.front());
        const auto copy = dir / "edited.mp3";
        ASSERT_TRUE(saveEditedCopy(*test.doc, copy).saved);
        mp3::FrameReader reader(copy);
        const auto tag =
            mp3::XingFrame::parse(reader.frameData(), static_cast<std::size_t>(reader.frameLength()));
        reader.close();
        const auto sourceTag = layoutOf(source);
        ASSERT_TRUE(tag && tag->lame && tag->frames && tag->bytes && tag->toc);
        const std::vector<WalkedFrame> frames = independentWalk(copy);
        EXPECT_EQ(static_cast<std::size_t>(*tag->frames), frames.size() - 1);
        EXPECT_EQ(*tag->bytes, readBytes(copy).size());
        EXPECT_EQ(tag->lame->encoderDelay(), c.delay ? sourceTag.delay : 0);
        // A removed last block: the copy ends with one frame more, which the padding trims.
        EXPECT_EQ(tag->lame->padding(), c.padding ? 1080 : 1152);
        // The seek table: entry i points at the frame i % into the audio frames.
        for (const int percent : {0, 10, 50, 99}) {
            const std::size_t frame = 1 + static_cast<std::size_t>(percent) * (frames.size() - 1) / 100;
            EXPECT_EQ((*tag->toc)[static_cast<std::size_t>(percent)],
                      static_cast<std::uint8_t>(frames[frame].offset * 256 /
                                                static_cast<std::int64_t>(*tag->bytes)))
                << percent;
        }
        // The music CRC covers every audio byte after the header frame.
        const std::vector<std::uint8_t> bytes = readBytes(copy);
        EXPECT_EQ(tag->lame->musicCrc(),
                  mp3::crc16(bytes.data() + frames[1].offset,
                             bytes.size() - static_cast<std::size_t>(frames[1].offset)));
    }
}

// Bytes that are no frame between two frames of a kept block (a stray tag, junk from a cut) stay out
// of the copy: its header frame counts the frames' bytes and its music CRC sums them, so neither may
// meet bytes the copy did not take, however the copy is cut into runs.
TEST(EditedCopy, BytesBetweenFramesStayOutOfTheCopyAndItsHeaderFrame) {
    const auto dir = scratchDir("edited-copy-gap");
    const auto source = dir / "gap.mp3";
    std::vector<std::uint8_t> bytes = readBytes(fixture("cbr128.mp3"));
    const std::vector<WalkedFrame> frames = independentWalk(fixture("cbr128.mp3"));
    ASSERT_GT(frames.size(), 60u);
    const std::vector<std::uint8_t> junk(300, 0x41);
    bytes.insert(bytes.begin() + frames[45].offset, junk.begin(), junk.end());
    writeBytes(source, bytes);
    for (const bool systemCopy : {true, false}) {
        SCOPED_TRACE(systemCopy ? "system copy" : "buffered copy");
        PieceFile::allowSystemCopyForTesting(systemCopy);
        TestDocument test(source);
        test.doc->replaceBreakPoints({20, 30});
        ASSERT_TRUE(test.doc->removeBlock(1));
        const auto copy = dir / (systemCopy ? "system.mp3" : "buffered.mp3");
        const bool saved = saveEditedCopy(*test.doc, copy).saved;
        PieceFile::allowSystemCopyForTesting(true);
        ASSERT_TRUE(saved);
        EXPECT_EQ(toolComplaints(copy), "");
        const std::vector<std::uint8_t> written = readBytes(copy);
        EXPECT_EQ(std::search(written.begin(), written.end(), junk.begin(), junk.begin() + 16),
                  written.end());
        const std::vector<WalkedFrame> copied = independentWalk(copy);
        ASSERT_FALSE(copied.empty());
        const auto tag = mp3::XingFrame::parse(written.data(), written.size());
        ASSERT_TRUE(tag && tag->lame && tag->bytes);
        EXPECT_EQ(*tag->bytes, written.size());
        EXPECT_EQ(tag->lame->musicCrc(),
                  mp3::crc16(written.data() + copied[1].offset,
                             written.size() - static_cast<std::size_t>(copied[1].offset)));
    }
}

// The command-line tool's walk sums every frame's CRC, and the copy's music CRC is joined from those
// instead of reading the copied frames again on a second thread: both ways give the same file, and
// its music CRC sums the audio bytes it holds.
TEST(EditedCopy, MusicCrcFromTheWalkGivesTheSameCopyAsReadingTheFramesAgain) {
    const auto dir = scratchDir("edited-copy-walked-crc");
    const auto gap = dir / "gap.mp3";
    {
        std::vector<std::uint8_t> bytes = readBytes(fixture("cbr128.mp3"));
        const std::vector<WalkedFrame> frames = independentWalk(fixture("cbr128.mp3"));
        ASSERT_GT(frames.size(), 60u);
        bytes.insert(bytes.begin() + frames[45].offset, 300, 0x41);
        writeBytes(gap, bytes);
    }
    const EditCase cases[] = {
        {"CBR, a block in the middle", fixture("cbr128.mp3"), {20, 30}, {1}},
        {"VBR, blocks removed around a one-frame block", fixture("vbr.mp3"), {10, 11, 31, 61}, {0, 2, 4}},
        {"MPEG-2, the last block removed", fixture("mpeg2-info.mp3"), {10, 20}, {2}},
        {"CRC-protected", fixture("crc.mp3"), {11, 21}, {1}},
        {"bytes between two kept frames", gap, {20, 30}, {1}},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.what);
        TestDocument test(c.source);
        test.doc->replaceBreakPoints(c.breakPoints);
        for (const int block : c.removedBlocks) {
            ASSERT_TRUE(test.doc->removeBlock(block));
        }
        std::vector<std::vector<std::uint8_t>> copies;
        for (const bool fromWalk : {true, false}) {
            SourceFrames walked(c.source, true);
            ASSERT_EQ(walked.frameCrcs().size(), static_cast<std::size_t>(walked.count()));
            allowWalkedMusicCrcForTesting(fromWalk);
            const auto copy = dir / (fromWalk ? "from-walk.mp3" : "read-again.mp3");
            const bool saved = saveEditedCopy(*test.doc, copy, {}, &walked).saved;
            allowWalkedMusicCrcForTesting(true);
            ASSERT_TRUE(saved);
            copies.push_back(readBytes(copy));
        }
        EXPECT_EQ(copies[0], copies[1]);
        // The header frame (after the ID3v2 tag, if any), then the audio bytes up to the end.
        const std::vector<std::uint8_t>& written = copies[0];
        ASSERT_GT(written.size(), 100u);
        const auto start =
            static_cast<std::size_t>(std::max<std::int64_t>(mp3::id3v2TagSize(written.data()), 0));
        mp3::FrameHeader header;
        header.raw = {written[start], written[start + 1], written[start + 2], written[start + 3]};
        ASSERT_TRUE(header.parse());
        const auto tag = mp3::XingFrame::parse(written.data() + start, written.size() - start);
        ASSERT_TRUE(tag && tag->lame);
        const std::size_t audio = start + static_cast<std::size_t>(header.frameLength());
        EXPECT_EQ(tag->lame->musicCrc(), mp3::crc16(written.data() + audio, written.size() - audio));
    }
}

// The command-line tool copies each kept run as soon as its walk of the source has passed it: the
// frames it finds, and the copy, are those of the walk made first (a filler frame, bytes between
// frames, tags and every header kind included).
TEST(EditedCopy, CopyBehindTheWalkIsTheCopyMadeAfterIt) {
    const auto dir = scratchDir("edited-copy-behind-walk");
    const auto gap = dir / "gap.mp3";
    {
        std::vector<std::uint8_t> bytes = readBytes(fixture("cbr128.mp3"));
        const std::vector<WalkedFrame> frames = independentWalk(fixture("cbr128.mp3"));
        ASSERT_GT(frames.size(), 60u);
        bytes.insert(bytes.begin() + frames[45].offset, 300, 0x41);
        writeBytes(gap, bytes);
    }
    const auto noise = dir / "noise.mp3";
    int status = 0;
    runCommand("sox -R -n -r 44100 -c 2 -b 16 '" + (dir / "noise.wav").string() +
                   "' synth 2 whitenoise vol 0.7 2>&1 && lame --quiet -b 320 '" +
                   (dir / "noise.wav").string() + "' '" + noise.string() + "'",
               &status);
    ASSERT_EQ(status, 0);
    const EditCase cases[] = {
        {"CBR, a block in the middle", fixture("cbr128.mp3"), {20, 30}, {1}},
        {"CBR, the first block", fixture("cbr128.mp3"), {10}, {0}},
        {"CBR, the last block", fixture("cbr128.mp3"), {60}, {1}},
        {"VBR, a one-frame block kept between removed ones", fixture("vbr.mp3"), {10, 11, 31, 61}, {0, 2, 4}},
        {"MPEG-2, a one-frame block removed", fixture("mpeg2-info.mp3"), {10, 20, 41, 42}, {1, 3}},
        {"MPEG-2.5, first and last removed", fixture("mpeg25-info.mp3"), {6, 25}, {0, 2}},
        {"CRC-protected", fixture("crc.mp3"), {11, 21}, {1}},
        {"no Info frame, first and last removed", fixture("no-info.mp3"), {20, 70}, {0, 2}},
        {"MPEG-2 mono without Info frame", fixture("mpeg2-mono.mp3"), {10, 20, 30, 31}, {1, 3}},
        {"bytes between two kept frames", gap, {20, 30}, {1}},
        {"ID3v1 tag", fixture("id3v1.mp3"), {5, 9}, {1}},
        {"ID3v2 tag with a picture", fixture("id3v2-cover.mp3"), {5, 9}, {1}},
        {"junctions no bitrate holds", noise, {20, 30, 50, 60}, {1, 3}},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.what);
        TestDocument test(c.source);
        test.doc->replaceBreakPoints(c.breakPoints);
        for (const int block : c.removedBlocks) {
            ASSERT_TRUE(test.doc->removeBlock(block));
        }
        for (const bool tags : {true, false}) {
            EditedCopyOptions options;
            options.copyTags = tags;
            const SourceFrames first(c.source, true);
            ASSERT_TRUE(saveEditedCopy(*test.doc, dir / "after.mp3", options).saved);
            SourceFrames behind(c.source, true, SourceFrames::InBackground{});
            const EditedCopyResult result = saveEditedCopy(*test.doc, dir / "behind.mp3", options, &behind);
            ASSERT_TRUE(result.saved);
            EXPECT_EQ(result.sourceFrames, first.count());
            EXPECT_EQ(readBytes(dir / "behind.mp3"), readBytes(dir / "after.mp3"));
            ASSERT_FALSE(behind.walking());
            ASSERT_EQ(behind.count(), first.count());
            EXPECT_EQ(behind.frameCrcs(), first.frameCrcs());
            EXPECT_EQ(behind.endFrameNumber(), first.endFrameNumber());
            for (int frame = 0; frame < first.count(); ++frame) {
                ASSERT_EQ(behind.offset(frame), first.offset(frame)) << frame;
                ASSERT_EQ(behind.length(frame), first.length(frame)) << frame;
            }
        }
    }
}

// A range that names a frame the source does not hold saves nothing behind the walk, and says so to
// the caller only, which names the range.
TEST(EditedCopy, BehindTheWalkARangePastTheEndSavesNothing) {
    const auto dir = scratchDir("edited-copy-behind-walk-end");
    EditedCopyJob job;
    job.source = fixture("cbr128.mp3");
    job.output = dir / "out.mp3";
    job.stream = {{0, 0, 20, {}}, {2, 500, INT_MAX, {}}};
    job.framesNamed = 501;
    MessageQueueLink log;
    SourceFrames behind(job.source, true, SourceFrames::InBackground{});
    const EditedCopyResult result = runEditedCopy(job, log, &behind);
    EXPECT_FALSE(result.saved);
    EXPECT_TRUE(result.tooFewFrames);
    EXPECT_EQ(result.sourceFrames, SourceFrames(job.source).count());
    EXPECT_TRUE(log.logLines().empty());
    EXPECT_FALSE(std::filesystem::exists(job.output));
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

std::atomic<int> g_syncCalls{0};

int failFirstSync(platform::FileCall call, const std::filesystem::path&) {
    return call == platform::FileCall::SyncFile && ++g_syncCalls == 1 ? EIO : 0;
}

// The copy is synced in steps while it is written; the system tells a failed write to one sync only,
// so a step's sync that fails fails the copy, on either path, and nothing is left under its name.
TEST(EditedCopy, ASyncThatFailsWhileCopyingFailsTheCopy) {
    const auto dir = scratchDir("edited-copy-sync-fails");
    // About 10 MB: enough to be handed to the disk during the copy.
    const auto source = dir / "long.mp3";
    {
        const std::vector<std::uint8_t> one = readBytes(fixture("cbr128.mp3"));
        std::vector<std::uint8_t> bytes;
        for (int i = 0; i < 320; ++i) {
            bytes.insert(bytes.end(), one.begin(), one.end());
        }
        writeBytes(source, bytes);
    }
    TestDocument test(source);
    test.doc->replaceBreakPoints({100, 200});
    ASSERT_TRUE(test.doc->removeBlock(1));
    setSyncStepForTesting(1);
    for (const bool behindWalk : {false, true}) {
        SCOPED_TRACE(behindWalk ? "behind the walk" : "after the walk");
        const auto copy = dir / "edited.mp3";
        g_syncCalls = 0;
        platform::injectFileCallFaults(&failFirstSync);
        std::optional<SourceFrames> walk;
        if (behindWalk) {
            walk.emplace(source, true, SourceFrames::InBackground{});
        }
        const EditedCopyResult result = saveEditedCopy(*test.doc, copy, {}, walk ? &*walk : nullptr);
        platform::injectFileCallFaults(nullptr);
        EXPECT_FALSE(result.saved);
        EXPECT_GE(g_syncCalls.load(), 1);
        const std::vector<std::string> errors = test.lines(LogLevel::Error);
        ASSERT_FALSE(errors.empty());
        EXPECT_NE(errors.back().find(platform::systemError(EIO)), std::string::npos) << errors.back();
        EXPECT_FALSE(std::filesystem::exists(copy));
    }
    setSyncStepForTesting(32 << 20);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()),
              1);
}

// Where no bitrate holds a junction frame (320 kbit/s noise fills the reservoir), a silent frame
// carries its bytes: one frame of silence per junction, said in the log, and still a valid file.
TEST(EditedCopy, AJunctionNoBitrateHoldsGetsASilentFrameCarryingItsBytes) {
    const auto dir = scratchDir("edited-copy-320");
    const auto wav = dir / "noise.wav";
    const auto mp3 = dir / "noise.mp3";
    int status = 0;
    runCommand("sox -R -n -r 44100 -c 2 -b 16 '" + wav.string() + "' synth 3 whitenoise vol 0.7 2>&1",
               &status);
    ASSERT_EQ(status, 0);
    runCommand("lame --quiet -b 320 '" + wav.string() + "' '" + mp3.string() + "'", &status);
    ASSERT_EQ(status, 0);
    TestDocument test(mp3);
    test.doc->replaceBreakPoints({30, 40, 70, 80});
    test.doc->removeBlock(1);
    test.doc->removeBlock(3);
    const auto copy = dir / "edited.mp3";
    const EditedCopyResult result = saveEditedCopy(*test.doc, copy);
    ASSERT_TRUE(result.saved);
    EXPECT_EQ(result.rebuilt + result.fillers, 2);
    EXPECT_EQ(static_cast<int>(test.lines(LogLevel::Warning).size()), result.fillers);
    EXPECT_EQ(toolComplaints(copy), "");
    const SourceLayout layout = layoutOf(mp3);
    const std::size_t source = decode(Decoder::Mpg123, mp3).size();
    EXPECT_EQ(decode(Decoder::Mpg123, copy).size(),
              source -
                  static_cast<std::size_t>((20 - result.fillers) * layout.samplesPerFrame * layout.channels));
}

TEST(EditedCopy, TagsAndChaptersOfTheKeptBlocks) {
    const auto dir = scratchDir("edited-copy-tags");
    const auto source = fixture("id3v2-cover.mp3");
    const auto python = [](const std::string& script, const std::filesystem::path& path) {
        return runCommand("/usr/bin/python3 -c '" + script + "' '" + path.string() + "'");
    };
    const std::string frames = "import sys, mutagen.id3; t = mutagen.id3.ID3(sys.argv[1]); "
                               "print(sorted(set(k[:4] for k in t.keys())), t[\"TIT2\"].text[0])";
    {
        TestDocument test(source);
        test.doc->replaceBreakPoints({20, 40});
        test.doc->removeBlock(1);
        ASSERT_TRUE(saveEditedCopy(*test.doc, dir / "tagged.mp3").saved);
        // Everything but the length, which is the source's.
        EXPECT_EQ(python(frames, dir / "tagged.mp3"), "['APIC', 'TIT2', 'TSSE'] Cover\n");
        EXPECT_NE(python(frames, source).find("TLEN"), std::string::npos);
        EditedCopyOptions bare;
        bare.copyTags = false;
        ASSERT_TRUE(saveEditedCopy(*test.doc, dir / "bare.mp3", bare).saved);
        EXPECT_EQ(readBytes(dir / "bare.mp3")[0], 0xFF);

        ID3Info named;
        named.title = "Third";
        test.doc->setBlockTag(2, named);
        EditedCopyOptions chapters;
        chapters.chapters = true;
        ASSERT_TRUE(saveEditedCopy(*test.doc, dir / "chapters.mp3", chapters).saved);
    }
    // Two chapters, on the copy's timeline: the second starts where the kept frames 40.. begin.
    const std::string chapters = "import sys, mutagen.id3; t = mutagen.id3.ID3(sys.argv[1]); "
                                 "print([(c.start_time, c.end_time, c.sub_frames[\"TIT2\"].text[0] if "
                                 "\"TIT2\" in c.sub_frames else \"\") "
                                 "for c in t.getall(\"CHAP\")], len(t.getall(\"CTOC\")))";
    // Frame 20 (after the Info frame) starts at 19 * 1152 - 576 samples of the source's decode; the
    // last chapter ends with the copy's decoded samples.
    const int second = static_cast<int>((19 * 1152 - 576) * 1000.0 / 44100 + 0.5);
    const int end = static_cast<int>(
        static_cast<double>(decode(Decoder::Mpg123, dir / "chapters.mp3").size()) / 2 * 1000.0 / 44100 + 0.5);
    EXPECT_EQ(python(chapters, dir / "chapters.mp3"), "[(0, " + std::to_string(second) + ", 'Chapter 1'), (" +
                                                          std::to_string(second) + ", " +
                                                          std::to_string(end) + ", 'Third')] 1\n");
}

TEST(EditedCopy, NeverWritesTheSourceAndNothingIsLeftWhenItFails) {
    const auto dir = scratchDir("edited-copy-source");
    const auto source = dir / "source.mp3";
    writeBytes(source, readBytes(fixture("cbr128.mp3")));
    const std::vector<std::uint8_t> before = readBytes(source);
    TestDocument test(source);
    test.doc->m_sourceStatus = platform::statusOf(platform::openForReading(source).get());
    test.doc->replaceBreakPoints({20});
    test.doc->removeBlock(0);
    EXPECT_FALSE(saveEditedCopy(*test.doc, source).saved);
    EXPECT_EQ(readBytes(source), before);
    // A source changed since the load.
    std::vector<std::uint8_t> changed = before;
    changed.push_back(0);
    writeBytes(source, changed);
    EXPECT_FALSE(saveEditedCopy(*test.doc, dir / "edited.mp3").saved);
    EXPECT_FALSE(std::filesystem::exists(dir / "edited.mp3"));
    EXPECT_TRUE(hiddenNames(dir).empty());
    EXPECT_EQ(test.lines(LogLevel::Error).size(), 2u);
}

// Save All writes a piece per kept block, numbered without the removed ones, each with its own tag;
// the Save Specified Blocks rows know which blocks are removed.
TEST(EditedCopy, SaveAllSkipsRemovedBlocks) {
    const auto dir = scratchDir("save-all-removed");
    const auto source = writeNumberedFrames(dir / "src.mp3", 60);
    TestDocument test(source);
    SplitDocument& doc = *test.doc;
    doc.replaceBreakPoints({20, 40});
    ID3Info third;
    third.title = "third";
    doc.setBlockTag(2, third);
    doc.removeBlock(1);
    doc.m_outputFolder = dir / "out";
    std::filesystem::create_directories(doc.m_outputFolder);
    const SaveAllResult result = runSaveAll(doc);
    EXPECT_EQ(result.pieces, 2);
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(readBytes(dir / "out" / "src-0.mp3"), frameBytes(source, 0, 20));
    const std::vector<std::uint8_t> second = readBytes(dir / "out" / "src-1.mp3");
    const std::vector<std::uint8_t> frames = frameBytes(source, 40, 60);
    // Block 2's tag around the frames.
    EXPECT_GT(second.size(), frames.size());
    EXPECT_NE(std::search(second.begin(), second.end(), frames.begin(), frames.end()), second.end());
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "src-2.mp3"));

    const std::vector<BlockRow> rows = buildBlockRows(doc);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_FALSE(rows[0].removed);
    EXPECT_TRUE(rows[1].removed);
    EXPECT_FALSE(rows[2].removed);
}

// The copy moves the progress bar from 0 to its frame count, through a long block too, and hides it.
TEST(EditedCopy, ProgressRunsThroughTheCopyAndEndsHidden) {
    const auto dir = scratchDir("edited-copy-progress");
    TestDocument test(fixture("ten-seconds.mp3"));
    test.doc->replaceBreakPoints({100, 200});
    ASSERT_TRUE(test.doc->removeBlock(1));
    const EditedCopyResult result = saveEditedCopy(*test.doc, dir / "edited.mp3");
    ASSERT_TRUE(result.saved);
    std::vector<std::uintptr_t> positions;
    std::vector<std::uintptr_t> shows;
    std::intptr_t range = 0;
    for (const auto& record : test.frame.records()) {
        if (record.message == UM_PROGRESS_SHOW) {
            shows.push_back(record.wParam);
        } else if (record.message == UM_PROGRESS_SET && record.wParam == 0) {
            range = record.lParam;
        } else if (record.message == UM_PROGRESS_SET) {
            positions.push_back(record.wParam);
        }
    }
    EXPECT_EQ(shows, (std::vector<std::uintptr_t>{1, 0}));
    EXPECT_EQ(range, result.frames);
    // The bar moves by progress steps through each kept block (100 and 185 frames here), not in one go.
    EXPECT_GT(positions.size(), 20u);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.back(), static_cast<std::uintptr_t>(result.frames));
}
