#pragma once

#include <cstdint>

// When a worker's progress is worth a round trip to the GUI thread: once the position has moved by
// a `divisions`-th of the range since the last position sent, so a long run costs about `divisions`
// messages rather than one per frame.
class ProgressThrottle {
public:
    ProgressThrottle(std::int64_t range, std::int64_t divisions)
        : m_step(range / divisions > 0 ? range / divisions : 1) {}

    std::int64_t step() const { return m_step; }
    bool due(std::int64_t position) const { return position - m_sent >= m_step; }
    // A position held back that the end of the run should still send.
    bool behind(std::int64_t position) const { return position != m_sent; }
    void sent(std::int64_t position) { m_sent = position; }

private:
    std::int64_t m_step;
    std::int64_t m_sent = 0;
};
