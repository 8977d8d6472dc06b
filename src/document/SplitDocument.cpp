#include "document/SplitDocument.h"

#include "document/BreakPointLists.h"
#include "document/ChapterCopy.h"

#include <string>

SplitDocument::SplitDocument(WindowLink& frame, WindowLink& view, UserPrompts& prompts)
    : m_frame(frame), m_view(view), m_prompts(prompts) {}

SplitDocument::~SplitDocument() = default;

bool SplitDocument::isBusy() const {
    return m_loadThread.isSet() || m_saveAllThread.isSet() || m_wavThread.isSet() || m_blockThread.isSet() ||
           m_listThread.isSet();
}

// The slots are tested first: while the loading thread runs it refills m_frameLevels.
bool SplitDocument::canEditBreakPoints() const {
    return !isBusy() && frameCount() >= 1;
}

bool SplitDocument::canUseBreakPointList() const {
    return !m_loadThread.isSet() && frameCount() >= 1;
}

Preferences SplitDocument::preferences() const {
    const std::lock_guard<std::mutex> lock(m_preferencesMutex);
    return m_preferences;
}

void SplitDocument::setPreferences(const Preferences& preferences) {
    const std::lock_guard<std::mutex> lock(m_preferencesMutex);
    m_preferences = preferences;
}

PieceOptions SplitDocument::pieceOptions() const {
    const std::lock_guard<std::mutex> lock(m_preferencesMutex);
    return m_pieceOptions;
}

void SplitDocument::setPieceOptions(const PieceOptions& options) {
    const std::lock_guard<std::mutex> lock(m_preferencesMutex);
    m_pieceOptions = options;
}

std::intptr_t SplitDocument::handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (message) {
    // A nonzero wParam: the file could not be read or loaded, and the loader has logged why.
    case UM_LOAD_DONE:
        wParam == 0 ? onLoadDone() : onLoadFailed();
        break;
    // A nonzero wParam: the saver failed and has logged why, so no success line.
    case UM_SAVE_ALL_DONE:
        wParam == 0 ? onSaveAllDone() : m_saveAllThread.clear();
        break;
    case UM_BLOCK_SAVED:
        wParam == 0 ? onBlockSaved() : m_blockThread.clear();
        break;
    case UM_CHAPTERS_SAVED:
        // The copy has logged its own result; this only frees the slot it ran in.
        m_blockThread.clear();
        break;
    case UM_WAV_DONE:
        onWavDone();
        break;
    case UM_LIST_DONE:
        finishListJob(*this);
        break;
    case UM_STOP_PLAYBACK:
        stopPlayback();
        break;
    case UM_BREAKPOINT_BUTTON:
        if (wParam == 'R') {
            removeBreakPoint(static_cast<int>(lParam));
        }
        break;
    default:
        break;
    }
    return 0;
}

void SplitDocument::onSaveAllDone() {
    m_saveAllThread.clear();
    log(LogLevel::Normal, "Separated blocks have been saved successfully!");
}

void SplitDocument::onBlockSaved() {
    m_blockThread.clear();
    log(LogLevel::Normal,
        "Block " + std::to_string(m_blockFrom) + " F - " + std::to_string(m_blockTo) + " F has been saved!");
}
