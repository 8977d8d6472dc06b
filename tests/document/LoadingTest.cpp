#include "DocumentHarness.h"

#include "document/MainTag.h"
#include "engine/Decoder.h"
#include "engine/FileScan.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <algorithm>
#include <numeric>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using testing_support::fixture;
using testing_support::scratchDir;

namespace {

const char* const kBusyBox = "Can not process, because there is a loading or saving thread is running ...";

std::int64_t sumOfFrameLengths(const std::filesystem::path& path) {
    std::int64_t total = 0;
    mp3::FrameReader reader(path);
    for (const mp3::FrameReader end; !(reader == end); reader.readNext()) {
        total += reader.header().frameLength();
    }
    reader.close();
    return total;
}

TEST(Loading, FullLoadThroughTheWindowLink) {
    DocumentHarness h;
    const auto path = fixture("ten-seconds.mp3");
    h.load(path);

    // The messages of the run, in order.
    const auto records = h.link.records();
    ASSERT_GE(records.size(), 8u);
    std::size_t i = 0;
    EXPECT_EQ(records[i].message, UM_OUTPUT_LOG);
    EXPECT_EQ(records[i++].text, "Loading MP3 file - " + path.string() + " ...");
    EXPECT_EQ(records[i].message, UM_PROGRESS_SHOW);
    EXPECT_EQ(records[i++].wParam, 1u);
    EXPECT_EQ(records[i].message, UM_PROGRESS_SET);
    EXPECT_EQ(records[i].wParam, 0u);
    EXPECT_EQ(records[i++].lParam, static_cast<std::intptr_t>(std::filesystem::file_size(path)));
    EXPECT_EQ(records[i].message, UM_OUTPUT_LOG);
    EXPECT_EQ(records[i++].text, "MP3 file basic info: 44100 Hz, 2 channel(s), 128000 BPS");
    std::uintptr_t lastPosition = 0;
    while (i < records.size() && records[i].message == UM_PROGRESS_SET && records[i].wParam != 0) {
        EXPECT_GT(records[i].wParam, lastPosition);
        EXPECT_EQ(records[i].lParam, 0);
        lastPosition = records[i++].wParam;
    }
    EXPECT_EQ(lastPosition, static_cast<std::uintptr_t>(sumOfFrameLengths(path)));
    ASSERT_EQ(records.size() - i, 4u);
    EXPECT_EQ(records[i].message, UM_PROGRESS_SET);
    EXPECT_EQ(records[i].wParam, 0u);
    EXPECT_EQ(records[i++].lParam, 0);
    EXPECT_EQ(records[i].message, UM_PROGRESS_SHOW);
    EXPECT_EQ(records[i++].wParam, 0u);
    EXPECT_EQ(records[i].message, UM_LOAD_DONE);
    EXPECT_TRUE(records[i++].posted);
    EXPECT_EQ(records[i].text, "MP3 file has been loaded successfully!");

    // The state after the load.
    const mp3::LevelScan scan = mp3::scanLevels(path);
    EXPECT_EQ(h.doc.frameCount(), 385);
    EXPECT_EQ(h.doc.m_frameLevels, scan.levels);
    EXPECT_EQ(h.doc.m_frameOffsets, scan.offsets);
    EXPECT_FALSE(h.doc.m_loadThread.isSet());
    EXPECT_TRUE(h.doc.m_loaded);
    EXPECT_TRUE(h.doc.m_cursor.isOpen());
    EXPECT_EQ(h.doc.m_cursor.frameNumber(), 0);
    EXPECT_EQ(h.doc.playbackStops, 1);
    EXPECT_EQ(h.doc.recentFiles, std::vector<std::filesystem::path>{path});
    EXPECT_EQ(h.doc.invalidations, 2); // before frame 0, and when done
    // Only at the start: the user may scroll in the frames scanned so far.
    EXPECT_EQ(h.doc.scrollPositions, (std::vector<int>{0}));
    EXPECT_TRUE(h.prompts.boxes.empty());
    EXPECT_TRUE(mp3::processDecoding().cache.contains(path.string(), 384));
}

TEST(Loading, ProgressIsCoalescedAndTheViewRepaintsEveryThousandFrames) {
    // Seven copies of the ten-second file back to back: 2695 frames.
    const auto dir = scratchDir("loading-long");
    const auto one = testing_support::readBytes(fixture("ten-seconds.mp3"));
    std::vector<std::uint8_t> bytes;
    for (int copy = 0; copy < 7; ++copy) {
        testing_support::append(bytes, one);
    }
    const auto path = dir / "seventy-seconds.mp3";
    testing_support::writeBytes(path, bytes);

    DocumentHarness h;
    // The count of frames handled, as the window sees it at every progress step.
    std::vector<int> counts;
    h.link.setHandler(
        [&h, &counts](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
            if (message == UM_PROGRESS_SET && wParam != 0) {
                counts.push_back(h.doc.m_framesLoaded.load());
            }
            return message == UM_OUTPUT_LOG ? 0 : h.doc.handleMessage(message, wParam, lParam);
        });
    h.load(path);
    ASSERT_EQ(h.doc.frameCount(), 2695);
    ASSERT_FALSE(counts.empty());
    EXPECT_GT(counts.front(), 0);
    EXPECT_LT(counts.front(), 10);
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
    EXPECT_EQ(counts.back(), 2695);
    EXPECT_EQ(h.doc.invalidations, 4); // before frames 0, 1000 and 2000, and when done
    std::vector<std::uintptr_t> positions;
    for (const auto& record : h.link.records()) {
        if (record.message == UM_PROGRESS_SET && record.wParam != 0) {
            positions.push_back(record.wParam);
        }
    }
    EXPECT_LE(positions.size(), 1001u);
    EXPECT_GE(positions.size(), 500u);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positions.back(), static_cast<std::uintptr_t>(sumOfFrameLengths(path)));
}

TEST(Loading, SecondLoadEmptiesBreakPointsAndBlockTagsButKeepsTheSelection) {
    DocumentHarness h;
    const auto first = fixture("ten-seconds.mp3");
    h.load(first);
    h.doc.addBreakPointAt(100);
    h.doc.setBlockTag(0, ID3Info{"a", "b", "c", "d", 2000});

    const auto second = fixture("cbr128.mp3");
    h.load(second);
    EXPECT_TRUE(h.doc.m_breakPoints.empty());
    EXPECT_TRUE(h.doc.m_blockTags.empty());
    EXPECT_EQ(h.doc.m_selectedBreakPoint, 100);
    EXPECT_EQ(h.doc.frameCount(), static_cast<int>(mp3::scanLevels(second).levels.size()));
    EXPECT_EQ(h.doc.m_cursor.path(), second);
    EXPECT_EQ(h.doc.m_cursor.frameNumber(), 0);
    EXPECT_FALSE(mp3::processDecoding().cache.contains(first.string(), 0));
    EXPECT_TRUE(mp3::processDecoding().cache.contains(second.string(), 0));
}

TEST(Loading, OpenRoutineRefusals) {
    DocumentHarness h;
    h.load(fixture("cbr128.mp3"));
    h.link.clearRecords();
    const int frames = h.doc.frameCount();

    {
        HeldThread converting(h.doc.m_wavThread);
        h.doc.openFile(fixture("ten-seconds.mp3"));
        EXPECT_TRUE(h.doc.m_wavThread.isSet());
    }
    const auto missing = scratchDir("loading-missing") / "gone.mp3";
    h.doc.openFile(missing);

    ASSERT_EQ(h.prompts.boxes.size(), 2u);
    EXPECT_EQ(h.prompts.boxes[0].text, kBusyBox);
    EXPECT_EQ(h.prompts.boxes[0].caption, "Error");
    EXPECT_EQ(h.prompts.boxes[0].icon, MessageIcon::Error);
    EXPECT_EQ(h.prompts.boxes[1].text,
              "File \"" + missing.string() + "\" doesn't exist, please check and try again!");
    EXPECT_EQ(h.prompts.boxes[1].caption, "Error");
    EXPECT_TRUE(h.link.records().empty());
    EXPECT_FALSE(h.doc.m_loadThread.isSet());
    EXPECT_EQ(h.doc.frameCount(), frames);
    EXPECT_EQ(h.doc.m_filePath, fixture("cbr128.mp3"));
    EXPECT_EQ(h.doc.playbackStops, 1);
}

// Anything but a regular file is refused before a reader or TagLib opens it: a FIFO would block
// the GUI thread for good.
TEST(Loading, PathsThatAreNotRegularFilesAreRefused) {
    const auto dir = scratchDir("loading-not-regular");
#ifdef _WIN32
    const std::filesystem::path cases[] = {dir};
#else
    const auto fifo = dir / "pipe.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::filesystem::path cases[] = {dir, fifo, "/dev/null"};
#endif
    for (const auto& path : cases) {
        SCOPED_TRACE(path.string());
        DocumentHarness h;
        h.load(fixture("cbr128.mp3"));
        h.link.clearRecords();
        const int frames = h.doc.frameCount();
        const int stops = h.doc.playbackStops;
        h.doc.openFile(path);
        ASSERT_EQ(h.prompts.boxes.size(), 1u);
        EXPECT_EQ(h.prompts.boxes[0].text,
                  "File \"" + path.string() + "\" is not a regular file and can not be opened!");
        EXPECT_EQ(h.prompts.boxes[0].caption, "Error");
        EXPECT_TRUE(h.link.records().empty());
        EXPECT_FALSE(h.doc.m_loadThread.isSet());
        EXPECT_EQ(h.doc.frameCount(), frames);
        EXPECT_EQ(h.doc.m_filePath, fixture("cbr128.mp3"));
        EXPECT_EQ(h.doc.playbackStops, stops);
    }
}

TEST(Loading, MainTagKeepsUnicodeTextsAndTheYear) {
    const auto dir = scratchDir("loading-tag");
    const auto path = dir / "tagged.mp3";
    std::filesystem::copy_file(fixture("cbr128.mp3"), path);
    {
        TagLib::FileRef file(path.c_str());
        ASSERT_FALSE(file.isNull());
        file.tag()->setTitle(TagLib::String("Größe — 日本語の歌", TagLib::String::UTF8));
        file.tag()->setArtist(TagLib::String("Кино", TagLib::String::UTF8));
        file.tag()->setAlbum(TagLib::String("Album", TagLib::String::UTF8));
        file.tag()->setComment(TagLib::String("ok", TagLib::String::UTF8));
        file.tag()->setYear(2021);
        ASSERT_TRUE(file.save());
    }
    DocumentHarness h;
    h.load(path);
    EXPECT_EQ(h.doc.m_mainTag, (ID3Info{"Album", "Кино", "Größe — 日本語の歌", "ok", 2021}));
}

TEST(Loading, MainTagOfFilesWithoutATag) {
    const auto dir = scratchDir("loading-untagged");
    // TagLib recognises neither the name nor the content: empty texts and the year of an empty tag.
    const auto unknown = dir / "notes.bin";
    testing_support::writeBytes(unknown, std::vector<std::uint8_t>(3000, 'x'));
    EXPECT_EQ(readMainTag(unknown), (ID3Info{"", "", "", "", 1979}));
    EXPECT_EQ(readMainTag(dir / "missing.mp3"), (ID3Info{"", "", "", "", 1979}));
    // A readable MP3 file without any tag has no year: 0.
    EXPECT_EQ(readMainTag(fixture("cbr128.mp3")), (ID3Info{"", "", "", "", 0}));
    EXPECT_EQ(readMainTag(fixture("id3v1.mp3")).title, "Tagged");
    EXPECT_EQ(readMainTag(fixture("id3v1.mp3")).artist, "Kerfline");

    DocumentHarness h;
    h.load(fixture("id3v1.mp3"));
    h.load(unknown);
    EXPECT_EQ(h.doc.m_mainTag, (ID3Info{"", "", "", "", 1979}));
}

} // namespace

namespace {

// More frames than the load may index: a level-2 line says so and the document holds no frame,
// rather than the index outgrowing memory.
// The frames are counted before any is decoded, and the load ends as a failed one.
TEST(Loading, AFileOfMoreFramesThanTheIndexMayHoldIsRefusedWithALevel2Line) {
    DocumentHarness h;
    h.doc.m_maxIndexedFrames = 50;
    const std::uint64_t decodedBefore = mp3::decoderCallCount();
    h.load(fixture("ten-seconds.mp3"));
    EXPECT_EQ(mp3::decoderCallCount(), decodedBefore);
    EXPECT_EQ(h.doc.frameCount(), 0);
    const auto errors = h.link.logLines(LogLevel::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "The mp3 file has more than 50 frames, more than the program can index in memory; "
                         "it has not been loaded!");
    const auto lines = h.link.logLines(LogLevel::Normal);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "MP3 file has been loaded successfully!"), 0);
}

} // namespace
