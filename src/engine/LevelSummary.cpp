#include "engine/LevelSummary.h"

#include <algorithm>
#include <climits>

LevelSummary::LevelSummary(const std::vector<int>& levels) {
    if (levels.empty()) {
        return;
    }
    m_rows.push_back(levels);
    while (m_rows.back().size() > 1) {
        const std::vector<int>& below = m_rows.back();
        std::vector<int> row((below.size() + 1) / 2);
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::size_t left = 2 * i;
            row[i] = left + 1 < below.size() ? std::max(below[left], below[left + 1]) : below[left];
        }
        m_rows.push_back(std::move(row));
    }
}

int LevelSummary::maximum(std::size_t from, std::size_t to) const {
    to = std::min(to, size());
    if (from >= to) {
        return 0;
    }
    // Climb the rows, taking the odd block at either end of the run before halving it.
    int best = INT_MIN;
    for (std::size_t k = 0; from < to; ++k) {
        const std::vector<int>& row = m_rows[k];
        if (from % 2 == 1) {
            best = std::max(best, row[from++]);
        }
        if (to % 2 == 1) {
            best = std::max(best, row[--to]);
        }
        from /= 2;
        to /= 2;
    }
    return best;
}
