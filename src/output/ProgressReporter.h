#pragma once

#include "document/Messages.h"
#include "document/ProgressThrottle.h"
#include "document/WindowLink.h"

// Drives the main frame's progress bar from a worker thread. Each position costs the worker a round
// trip to the GUI thread, so positions are sent in steps of about a five-hundredth of the range.
class ProgressReporter {
public:
    ProgressReporter(WindowLink& frame, int range) : m_frame(frame), m_throttle(range, 500) {
        m_frame.send(UM_PROGRESS_SHOW, 1, 0);
        m_frame.send(UM_PROGRESS_SET, 0, range);
    }
    ~ProgressReporter() { m_frame.send(UM_PROGRESS_SHOW, 0, 0); }
    ProgressReporter(const ProgressReporter&) = delete;
    ProgressReporter& operator=(const ProgressReporter&) = delete;

    // How many units may pass before the next position is due.
    int step() const { return static_cast<int>(m_throttle.step()); }
    void set(int position) {
        if (position != m_last) {
            m_last = position;
            m_frame.send(UM_PROGRESS_SET, static_cast<std::uintptr_t>(position > 0 ? position : 0), 0);
        }
    }

private:
    WindowLink& m_frame;
    ProgressThrottle m_throttle;
    int m_last = 0;
};
