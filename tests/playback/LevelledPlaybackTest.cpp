#include "PlayerHarness.h"

#include "document/FrameTime.h"
#include "engine/FrameReader.h"
#include "engine/GlobalGain.h"
#include "engine/LevelMap.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"
#include "support/OwnDecoding.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using testing_support::fixture;

// A copy of `source` with the frames' global_gain changed as `map` says: the file a writer makes.
std::filesystem::path changedCopy(const std::filesystem::path& source, const mp3::LevelMap& map,
                                  const std::string& name) {
    std::vector<std::uint8_t> bytes = testing_support::readBytes(source);
    for (mp3::FrameReader reader(source); !reader.atEnd(); reader.readNext()) {
        const auto offset = static_cast<std::size_t>(reader.header().offset);
        const auto length = static_cast<std::size_t>(reader.frameLength());
        if (map.changes(reader.frameNumber()) && !isXingOrInfoFrame(bytes.data() + offset, length)) {
            mp3::changeGlobalGain(reader.header(), bytes.data() + offset, length,
                                  map.gainOf(reader.frameNumber()));
        }
    }
    const auto path = testing_support::scratchDir("levelled-playback") / (name + ".mp3");
    testing_support::writeBytes(path, bytes);
    return path;
}

std::int16_t sampleAt(const std::vector<std::uint8_t>& pcm, std::size_t i) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8)));
}

// The process's cache with a budget far below the file's PCM, for one test.
struct SmallBudget {
    explicit SmallBudget(std::size_t frames) {
        mp3::processDecoding().cache.setBudget(frames * mp3::kMaxPcmBytes);
    }
    ~SmallBudget() {
        mp3::processDecoding().cache.clear();
        mp3::processDecoding().cache.setBudget(mp3::kDefaultPcmBudget);
    }
    SmallBudget(const SmallBudget&) = delete;
    SmallBudget& operator=(const SmallBudget&) = delete;
};

struct LevelCase {
    const char* file;
    int granulesPerFrame;
    int budgetFrames; // 0: the cache holds the whole file
};

class LevelledPlayback : public testing::TestWithParam<LevelCase> {};

// A block 6 dB down (4 steps), a faded block and one raised: the player plays what the written
// file decodes to, sample for sample, and the lowered block at half the source's samples.
TEST_P(LevelledPlayback, PlaysWhatTheChangedFileDecodesTo) {
    const LevelCase& c = GetParam();
    std::optional<SmallBudget> budget;
    if (c.budgetFrames > 0) {
        budget.emplace(static_cast<std::size_t>(c.budgetFrames));
    }
    const auto path = fixture(c.file);
    const mp3::LevelMap map({{10, 25, -4, 0, 0}, {30, 50, 0, 6, 6}, {55, 60, 2, 0, 0}}, c.granulesPerFrame);
    const auto expected = testing_support::decodeInOrder(changedCopy(path, map, c.file));
    const auto source = testing_support::decodeInOrder(path);

    PlayerHarness h;
    h.load(path);
    ASSERT_EQ(mp3::processDecoding().cache.isWindowed(path.string()), c.budgetFrames > 0);
    const int from = 5;
    const int to = 70;
    ASSERT_GE(h.document.frameCount(), to);
    h.player->setLevels(map);
    h.player->moveCursorTo(from);
    // The play end is a reader on the cursor's file, as the player compares them.
    mp3::FrameReader end = h.document.m_cursor;
    end.advance(to - from);
    h.document.m_playEnd = end;
    h.player->play();
    ASSERT_TRUE(h.runUntilStopped());
    const auto played = h.output->playedBuffers();
    ASSERT_EQ(played.size(), static_cast<std::size_t>(Player::SOUND_BUFFER_COUNT + to - from));
    // What the written file decodes to, within one step of rounding per sample.
    for (int frame = from; frame < to; ++frame) {
        const auto& heard = played[static_cast<std::size_t>(Player::SOUND_BUFFER_COUNT + frame - from)];
        const auto& written = expected[static_cast<std::size_t>(frame)];
        ASSERT_EQ(heard.size(), written.size()) << "frame " << frame;
        int largest = 0;
        for (std::size_t i = 0; i < heard.size() / 2; ++i) {
            largest = std::max(largest, std::abs(sampleAt(heard, i) - sampleAt(written, i)));
        }
        EXPECT_LE(largest, 1) << "frame " << frame;
    }
    // Away from its edges the lowered block is the source at half scale, to within a step of rounding.
    for (int frame = 12; frame < 24; ++frame) {
        const auto& heard = played[static_cast<std::size_t>(Player::SOUND_BUFFER_COUNT + frame - from)];
        const auto& original = source[static_cast<std::size_t>(frame)];
        ASSERT_EQ(heard.size(), original.size());
        for (std::size_t i = 0; i < heard.size() / 2; ++i) {
            ASSERT_LE(std::abs(sampleAt(heard, i) - sampleAt(original, i) / 2.0), 1.5)
                << "frame " << frame << " sample " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, LevelledPlayback,
                         testing::Values(LevelCase{"cbr128.mp3", 2, 0}, LevelCase{"mpeg2-mono.mp3", 1, 0},
                                         LevelCase{"vbr.mp3", 2, 0}, LevelCase{"vbr.mp3", 2, 8},
                                         LevelCase{"ten-seconds.mp3", 2, 4}),
                         [](const testing::TestParamInfo<LevelCase>& info) {
                             std::string name = info.param.file + std::string("_budget_") +
                                                std::to_string(info.param.budgetFrames);
                             for (char& ch : name) {
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name;
                         });

// A change while the player stands still replaces the one before; an empty map plays the cache.
TEST(LevelledPlayback, ANewChangeReplacesTheOldAndNoneLeavesTheSource) {
    const auto path = fixture("cbr128.mp3");
    const auto source = testing_support::decodeInOrder(path);
    PlayerHarness h;
    h.load(path);
    h.player->setLevels(mp3::LevelMap({{0, 1000, -8, 0, 0}}, 2));
    h.player->setLevels(mp3::LevelMap());
    h.player->moveCursorTo(5);
    mp3::FrameReader end = h.document.m_cursor;
    end.advance(20);
    h.document.m_playEnd = end;
    h.player->play();
    ASSERT_TRUE(h.runUntilStopped());
    const auto played = h.output->playedBuffers();
    for (int frame = 5; frame < 25; ++frame) {
        EXPECT_EQ(played[static_cast<std::size_t>(Player::SOUND_BUFFER_COUNT + frame - 5)],
                  source[static_cast<std::size_t>(frame)])
            << frame;
    }
}

} // namespace
