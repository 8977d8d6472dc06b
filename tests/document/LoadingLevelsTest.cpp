#include "DocumentHarness.h"

#include "document/LoadingLevels.h"
#include "engine/FileScan.h"
#include "engine/FramePcm.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <thread>

namespace {

using testing_support::fixture;
using testing_support::scratchDir;

std::vector<int> randomLevels(std::size_t count) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> level(0, 32768);
    std::vector<int> levels(count);
    for (int& value : levels) {
        // Runs of quiet and loud frames, so the smoothing both limits and passes steps.
        value = random() % 5 == 0 ? level(random) : level(random) / 64;
    }
    return levels;
}

TEST(LoadingLevels, PublishesTheLevelsTheFinishedLoadShows) {
    // A real file's levels, and more than two chunks of made-up ones read in uneven pieces.
    const mp3::LevelScan scan = mp3::scanLevels(fixture("silences.mp3"));
    std::vector<int> synthetic = randomLevels(2 * LoadingLevels::kChunkFrames + 12345);
    std::vector<int> smoothed = synthetic;
    mp3::smoothLevels(smoothed);
    for (const auto& [raw, expected] :
         {std::pair{scan.rawLevels, scan.levels}, std::pair{synthetic, smoothed}}) {
        LoadingLevels levels;
        std::vector<int> copy;
        std::size_t appended = 0;
        for (const std::size_t stop : {std::size_t{1}, std::size_t{999}, LoadingLevels::kChunkFrames,
                                       LoadingLevels::kChunkFrames + 1, raw.size()}) {
            for (; appended < std::min(stop, raw.size()); ++appended) {
                levels.append(raw[appended]);
            }
            levels.copyNew(copy);
            EXPECT_EQ(copy.size(), appended);
            EXPECT_EQ(levels.published(), static_cast<int>(appended));
        }
        EXPECT_EQ(copy, expected);
    }
}

TEST(LoadingLevels, AReaderSeesAPrefixWhileTheWriterAppends) {
    const std::vector<int> raw = randomLevels(3 * LoadingLevels::kChunkFrames);
    std::vector<int> expected = raw;
    mp3::smoothLevels(expected);
    LoadingLevels levels;
    std::thread writer([&] {
        for (const int level : raw) {
            levels.append(level);
        }
    });
    std::vector<int> copy;
    int reads = 0;
    while (copy.size() < raw.size()) {
        levels.copyNew(copy);
        ++reads;
        ASSERT_TRUE(std::equal(copy.begin(), copy.end(), expected.begin())) << "after read " << reads;
    }
    writer.join();
    EXPECT_EQ(copy, expected);

    const unsigned generation = levels.generation();
    levels.clear();
    EXPECT_NE(levels.generation(), generation);
    EXPECT_EQ(levels.published(), 0);
}

// Looks at what the loading thread has published each time it asks for a repaint.
class WatchingDocument final : public SplitDocument {
public:
    using SplitDocument::SplitDocument;
    bool showsLoadingLevels() const override { return true; }
    void invalidateView() override {
        std::vector<int> seen;
        m_loadingLevels.copyNew(seen);
        snapshots.push_back(std::move(seen));
    }
    std::vector<std::vector<int>> snapshots;
};

TEST(LoadingLevels, TheLoadPublishesEachThousandFramesBeforeItsEnd) {
    // Seven copies of the ten-second file back to back: 2695 frames.
    const std::filesystem::path file = scratchDir("loading-levels") / "seven.mp3";
    {
        const std::filesystem::path part = fixture("ten-seconds.mp3");
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < 7; ++i) {
            std::ifstream in(part, std::ios::binary);
            out << in.rdbuf();
        }
    }
    MessageQueueLink link;
    RecordingPrompts prompts;
    WatchingDocument doc(link, link, prompts);
    link.setHandler([&](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
        return message == UM_OUTPUT_LOG ? 0 : doc.handleMessage(message, wParam, lParam);
    });
    doc.openFile(file);
    ASSERT_TRUE(link.dispatchUntil(UM_LOAD_DONE));
    ASSERT_EQ(doc.frameCount(), 2695);
    // Before frames 0, 1000 and 2000 on the loading thread, then once when done.
    ASSERT_EQ(doc.snapshots.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        const std::vector<int>& seen = doc.snapshots[i];
        ASSERT_EQ(seen.size(), i * 1000) << i;
        EXPECT_TRUE(std::equal(seen.begin(), seen.end(), doc.m_frameLevels.begin())) << i;
    }
    // The finished load gives the memory back.
    EXPECT_TRUE(doc.snapshots[3].empty());
    EXPECT_EQ(doc.m_loadingLevels.published(), 0);
}

} // namespace
