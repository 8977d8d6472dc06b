#include "document/AutomaticBreakPoints.h"
#include "document/SplitDocument.h"

void SplitDocument::appendPlacedBreakPoint(int frame) {
    appendBreakPoint(frame);
    log(LogLevel::Normal, "Break point has been added at " + std::to_string(frame) + " F");
}

void SplitDocument::placeAutomaticBreakPoints(AutoMethod method, int value, bool deleteOriginal) {
    if (!canUseBreakPointList() || refuseListChange()) {
        return;
    }
    const EditStep step(*this, "add more break points");
    // Whoever ticks "Please delete original break points" expects only the new ones afterwards.
    if (deleteOriginal) {
        replaceBreakPoints({});
    }
    switch (method) {
    case AutoMethod::Silence:
        addBreakPointsAtSilences(value);
        break;
    case AutoMethod::EqualCount:
        addBreakPointsByCount(value);
        break;
    case AutoMethod::EveryLength:
        addBreakPointsByLength(value);
        break;
    }
    invalidateView();
}

void SplitDocument::addBreakPointsAtSilences(int minimumFrames) {
    for (const int frame : silenceBreakPoints(m_frameLevels, minimumFrames)) {
        appendPlacedBreakPoint(frame);
    }
}

void SplitDocument::addBreakPointsByCount(int blockCount) {
    // More blocks than frames would only pile up break points at frame 0, one per block: a huge
    // count would take the GUI thread and the memory for nothing.
    if (blockCount > frameCount()) {
        log(LogLevel::Error, "The number of blocks " + std::to_string(blockCount) +
                                 " is more than the number of frames " + std::to_string(frameCount()) +
                                 " F, no break point has been added!");
        return;
    }
    for (const int frame : countBreakPoints(frameCount(), blockCount)) {
        appendPlacedBreakPoint(frame);
    }
}

void SplitDocument::addBreakPointsByLength(int blockSeconds) {
    // Offsets from another scan than this file's would misplace every break point.
    const bool offsetsFit = m_frameOffsets.size() == m_frameLevels.size();
    for (const int frame :
         lengthBreakPoints(m_filePath, offsetsFit ? m_frameOffsets : mp3::FrameOffsets{}, blockSeconds)) {
        appendPlacedBreakPoint(frame);
    }
}
