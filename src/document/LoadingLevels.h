#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

// The levels of a load in progress, for the view to draw while the scan goes on. The loading thread
// appends each frame's level, smoothed as the finished load smooths it, and publishes the count
// after the level is written; a reader takes the count first and reads only below it. Levels live
// in fixed chunks whose table is made once, so nothing a reader may touch is ever moved or freed
// while a load runs.
class LoadingLevels {
public:
    static constexpr std::size_t kChunkFrames = std::size_t{1} << 16;

    LoadingLevels();
    LoadingLevels(const LoadingLevels&) = delete;
    LoadingLevels& operator=(const LoadingLevels&) = delete;

    // Loading thread: the raw level of the next frame.
    void append(int rawLevel);

    // Any thread: the frames whose levels may be read.
    int published() const { return m_published.load(std::memory_order_acquire); }
    // Appends to `levels` the published levels it does not hold yet (it holds a prefix of them).
    void copyNew(std::vector<int>& levels) const;

    // Only while no thread appends, on the thread that reads: forgets the levels, gives their
    // memory back and counts a new generation, so a reader's copy knows it is of an older load.
    void clear();
    unsigned generation() const { return m_generation; }

private:
    std::vector<std::unique_ptr<int[]>> m_chunks;
    std::atomic<int> m_published{0};
    // The writer's own: frames appended and the smoothing's last level before its lift.
    int m_count = 0;
    int m_previous = 0;
    unsigned m_generation = 0;
};
