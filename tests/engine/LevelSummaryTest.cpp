#include "engine/LevelSummary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

int directMaximum(const std::vector<int>& levels, std::size_t from, std::size_t to) {
    to = std::min(to, levels.size());
    return from >= to ? 0 : *std::max_element(levels.begin() + from, levels.begin() + to);
}

// Every run of a few odd-sized lists (a single level, a power of two, one more and one less than
// one), so that runs start and end on every parity of every row.
TEST(LevelSummary, EveryRunEqualsTheDirectMaximum) {
    std::mt19937 random(15);
    for (const std::size_t n : {1u, 2u, 3u, 31u, 32u, 33u, 100u}) {
        std::vector<int> levels(n);
        for (int& level : levels) {
            level = static_cast<int>(random() % 40000);
        }
        const LevelSummary summary(levels);
        for (std::size_t from = 0; from <= n; ++from) {
            for (std::size_t to = from; to <= n + 2; ++to) {
                ASSERT_EQ(summary.maximum(from, to), directMaximum(levels, from, to))
                    << "n " << n << " run " << from << ".." << to;
            }
        }
    }
}

TEST(LevelSummary, LongListAtZoomedOutColumns) {
    std::mt19937 random(3);
    std::vector<int> levels(1'000'003);
    for (int& level : levels) {
        level = static_cast<int>(random() % 32768);
    }
    // A single loud frame inside an otherwise quiet column must show.
    levels[777'777] = 39000;
    const LevelSummary summary(levels);
    for (const std::size_t z : {2u, 7u, 521u, 4096u}) {
        for (std::size_t from = 0; from < levels.size(); from += z * 97 + 1) {
            ASSERT_EQ(summary.maximum(from, from + z), directMaximum(levels, from, from + z));
        }
    }
    EXPECT_EQ(summary.maximum(777'000, 778'000), 39000);
    EXPECT_EQ(summary.maximum(0, levels.size()), 39000);
}

TEST(LevelSummary, EmptyListHasNoLevels) {
    const LevelSummary summary(std::vector<int>{});
    EXPECT_EQ(summary.size(), 0u);
    EXPECT_EQ(summary.maximum(0, 10), 0);
}

} // namespace
