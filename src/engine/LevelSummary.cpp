#include "engine/LevelSummary.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

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

namespace mp3 {

namespace {

// Signed 16-bit little-endian, as frameLevel reads it.
std::int32_t sampleAt(const std::uint8_t* pcm, std::size_t index) {
    std::uint16_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, pcm + 2 * index, sizeof word);
    } else {
        word = static_cast<std::uint16_t>(pcm[2 * index] | (pcm[2 * index + 1] << 8));
    }
    return static_cast<std::int16_t>(word);
}

} // namespace

float frameRmsDb(const std::uint8_t* pcm, std::size_t bytes) {
    const std::size_t samples = bytes / 2;
    if (samples == 0) {
        return kSilenceFloorDb;
    }
    // Eight sums side by side, which the compiler turns into vector instructions: this runs on every
    // frame of every load. Their rounding stays far below a hundredth of a dB.
    std::array<float, 8> sums{};
    std::size_t i = 0;
    for (; i + sums.size() <= samples; i += sums.size()) {
        for (std::size_t k = 0; k < sums.size(); ++k) {
            const auto sample = static_cast<float>(sampleAt(pcm, i + k));
            sums[k] += sample * sample;
        }
    }
    double sum = 0.0;
    for (; i < samples; ++i) {
        const auto sample = static_cast<double>(sampleAt(pcm, i));
        sum += sample * sample;
    }
    for (const float part : sums) {
        sum += part;
    }
    const double meanSquare = sum / static_cast<double>(samples) / (32768.0 * 32768.0);
    // 10 log10 of the mean square is 20 log10 of the RMS, without the square root.
    const double db = meanSquare > 0.0 ? 10.0 * std::log10(meanSquare) : kSilenceFloorDb;
    return static_cast<float>(std::max(db, static_cast<double>(kSilenceFloorDb)));
}

std::uint16_t framePeak(const std::uint8_t* pcm, std::size_t bytes) {
    const std::size_t samples = bytes / 2;
    // Magnitudes side by side, like the RMS sums: this too runs on every frame of every load.
    std::array<std::int32_t, 8> peaks{};
    std::size_t i = 0;
    for (; i + peaks.size() <= samples; i += peaks.size()) {
        for (std::size_t k = 0; k < peaks.size(); ++k) {
            const std::int32_t sample = sampleAt(pcm, i + k);
            peaks[k] = std::max(peaks[k], sample < 0 ? -sample : sample);
        }
    }
    std::int32_t peak = *std::max_element(peaks.begin(), peaks.end());
    for (; i < samples; ++i) {
        const std::int32_t sample = sampleAt(pcm, i);
        peak = std::max(peak, sample < 0 ? -sample : sample);
    }
    return static_cast<std::uint16_t>(peak);
}

} // namespace mp3
