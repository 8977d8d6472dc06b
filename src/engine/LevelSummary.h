#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The loudest level of any run of frames without walking the run: a pyramid whose row k holds the
// maximum of each aligned block of 2^k levels. A query visits at most two blocks per row, so a
// zoomed-out paint costs the same for a short and for a very long file.
class LevelSummary {
public:
    LevelSummary() = default;
    explicit LevelSummary(const std::vector<int>& levels);

    // The largest level of the frames from `from` up to, not including, `to`; 0 for an empty run.
    // The run is cut to the frames summarised.
    int maximum(std::size_t from, std::size_t to) const;
    std::size_t size() const { return m_rows.empty() ? 0 : m_rows.front().size(); }

private:
    std::vector<std::vector<int>> m_rows;
};

namespace mp3 {

// The level given to a frame without sound: digital silence has no logarithm.
constexpr float kSilenceFloorDb = -120.0f;

// The RMS level of interleaved signed 16-bit PCM (`bytes` long, all channels together) in dB below
// full scale (32768), no lower than kSilenceFloorDb. The silence finder measures on it.
float frameRmsDb(const std::uint8_t* pcm, std::size_t bytes);

// The largest magnitude of interleaved signed 16-bit PCM, all channels together: 0 to 32768. A gain
// that would clip is judged against it.
std::uint16_t framePeak(const std::uint8_t* pcm, std::size_t bytes);

} // namespace mp3
