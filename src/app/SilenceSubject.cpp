#include "app/SilenceSubject.h"

#include "view/ChildView.h"

SilenceSubject silenceSubject(const CChildView& view) {
    SilenceSubject subject;
    subject.loadGeneration = view.m_loadingLevels.generation();
    subject.loading = view.m_loadThread.isSet();
    // The loading thread owns the levels and the list while it runs.
    if (!subject.loading) {
        subject.frameCount = view.frameCount();
        subject.breakPoints = view.m_breakPoints.size();
        subject.undoSteps = view.m_history.undoSteps();
    }
    return subject;
}
