#include "DocumentHarness.h"

#include "engine/LoadCache.h"
#include "engine/PcmCache.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

namespace {

using testing_support::copyOver;
using testing_support::fixture;
using testing_support::modifiedTime;
using testing_support::scratchDir;
using testing_support::setModifiedTime;
namespace fs = std::filesystem;

struct Loaded {
    std::vector<int> levels;
    std::vector<float> rmsDb;
    std::vector<std::uint16_t> peaks;
    mp3::FrameOffsets offsets;
    mp3::FrameLengths lengths;
    double secondsPerFrame = 0.0;
    SilenceResult silences;
    SilenceResult silencesAtEnds;
};

Loaded loadedState(const SplitDocument& doc) {
    SilenceSettings atEnds;
    atEnds.minSilenceSeconds = 0.2;
    atEnds.cut = SilenceCut::End;
    return {doc.m_frameLevels,  doc.m_frameRmsDb,      doc.m_framePeaks,     doc.m_frameOffsets,
            doc.m_frameLengths, doc.secondsPerFrame(), doc.findSilences({}), doc.findSilences(atEnds)};
}

void expectSameLoad(const Loaded& a, const Loaded& b) {
    EXPECT_EQ(a.levels, b.levels);
    EXPECT_EQ(a.rmsDb, b.rmsDb);
    EXPECT_EQ(a.peaks, b.peaks);
    EXPECT_EQ(a.offsets, b.offsets);
    EXPECT_EQ(a.lengths, b.lengths);
    EXPECT_EQ(a.secondsPerFrame, b.secondsPerFrame);
    EXPECT_EQ(a.silences.breakPoints, b.silences.breakPoints);
    EXPECT_EQ(a.silences.report.found, b.silences.report.found);
    EXPECT_EQ(a.silencesAtEnds.breakPoints, b.silencesAtEnds.breakPoints);
}

TEST(LoadCacheLoading, AReopenTakesTheCachedScanAndFindsTheSameSilences) {
    const fs::path folder = scratchDir("load-cache-reopen");
    for (const char* name : {"silences.mp3", "noise-floor-50.mp3", "vbr.mp3"}) {
        SCOPED_TRACE(name);
        const fs::path file = folder / name;
        copyOver(fixture(name), file);

        DocumentHarness fresh;
        fresh.load(file);
        ASSERT_FALSE(fresh.doc.m_loadedFromCache);
        const Loaded scanned = loadedState(fresh.doc);
        // The two silence fixtures hold three silences each (SilenceSearchTest).
        ASSERT_TRUE(std::string(name) == "vbr.mp3" || !scanned.silences.breakPoints.empty());

        DocumentHarness h;
        h.doc.m_loadCache = std::make_shared<mp3::LoadCache>(folder / "cache");
        h.load(file);
        EXPECT_FALSE(h.doc.m_loadedFromCache);
        expectSameLoad(loadedState(h.doc), scanned);

        h.link.clearRecords();
        h.load(file);
        EXPECT_TRUE(h.doc.m_loadedFromCache);
        expectSameLoad(loadedState(h.doc), scanned);
        // The log of a reopen reads as that of a load.
        EXPECT_EQ(h.link.logLines(),
                  (std::vector<std::string>{"Loading MP3 file - " + file.string() + " ...",
                                            mp3::streamInfoLine(mp3::FrameReader(file).header()),
                                            "MP3 file has been loaded successfully!"}));
        // Nothing was decoded: the frames are decoded on demand, as for a file beyond the budget.
        EXPECT_TRUE(h.doc.m_decoding.cache.isWindowed(file.string()));
        EXPECT_EQ(h.doc.m_cursor.frameNumber(), 0);
    }
}

TEST(LoadCacheLoading, AChangedOrDamagedEntryLoadsTheFileAgain) {
    const fs::path folder = scratchDir("load-cache-reload");
    const fs::path file = folder / "source.mp3";
    copyOver(fixture("silences.mp3"), file);
    const auto cache = std::make_shared<mp3::LoadCache>(folder / "cache");
    DocumentHarness h;
    h.doc.m_loadCache = cache;
    h.load(file);
    const Loaded first = loadedState(h.doc);

    // Same size, same time, another last byte (in the ID3v1-free tail: the last frame's data).
    {
        const auto time = modifiedTime(file);
        std::fstream bytes(file, std::ios::binary | std::ios::in | std::ios::out);
        bytes.seekg(-1, std::ios::end);
        const char last = static_cast<char>(bytes.get());
        bytes.seekp(-1, std::ios::end);
        bytes.put(static_cast<char>(last ^ 0x01));
        bytes.close();
        setModifiedTime(file, time);
    }
    h.load(file);
    EXPECT_FALSE(h.doc.m_loadedFromCache);
    h.load(file);
    EXPECT_TRUE(h.doc.m_loadedFromCache);

    // A damaged entry is passed over and written again.
    const auto key = mp3::loadCacheKey(file);
    ASSERT_TRUE(key);
    {
        std::fstream bytes(cache->entryPath(*key), std::ios::binary | std::ios::in | std::ios::out);
        bytes.seekp(200);
        bytes.put('\x7f');
    }
    h.load(file);
    EXPECT_FALSE(h.doc.m_loadedFromCache);
    EXPECT_EQ(h.doc.frameCount(), static_cast<int>(first.levels.size()));
    h.load(file);
    EXPECT_TRUE(h.doc.m_loadedFromCache);
    EXPECT_EQ(h.doc.findSilences({}).breakPoints, first.silences.breakPoints);
}

TEST(LoadCacheLoading, AnUnwritableCacheFolderOnlyWarns) {
    const fs::path folder = scratchDir("load-cache-unwritable");
    // A file where the folder should be.
    std::ofstream(folder / "cache") << "not a folder";
    DocumentHarness h;
    h.doc.m_loadCache = std::make_shared<mp3::LoadCache>(folder / "cache");
    h.load(fixture("ten-seconds.mp3"));
    EXPECT_EQ(h.doc.frameCount(), 385);
    const auto warnings = h.link.logLines(LogLevel::Warning);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("could not be kept in the cache"), std::string::npos);
}

} // namespace
