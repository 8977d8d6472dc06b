#include "document/MainTag.h"
#include "document/PathText.h"
#include "document/SharedTexts.h"
#include "document/SplitDocument.h"

#include "engine/FileScan.h"
#include "engine/PcmCache.h"

#include <fstream>

namespace {

std::int64_t fileSizeForProgress(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        return 0;
    }
    const std::streamoff size = file.tellg();
    return size > 0 ? static_cast<std::int64_t>(size) : 0;
}

// Feeds the loading scan's events to the document and the main frame. Progress goes out only when
// the bar would move by at least a thousandth of its range, so a long file costs about a thousand
// round trips to the GUI thread rather than one per frame.
class LoadObserver final : public mp3::LevelScanObserver {
public:
    LoadObserver(SplitDocument& document, std::int64_t range)
        : m_document(document), m_step(range / 1000 > 0 ? range / 1000 : 1) {}

    void streamOpened(const mp3::FrameReader& reader) override {
        m_document.log(LogLevel::Normal, mp3::streamInfoLine(reader.header()));
    }
    void frameStarting(int framesHandled) override {
        if (framesHandled % 1000 == 0) {
            m_document.invalidateView();
        }
    }
    void frameHandled(int /*framesHandled*/, std::int64_t bytesHandled) override {
        m_bytes = bytesHandled;
        if (bytesHandled - m_sent >= m_step) {
            sendPosition();
        }
    }
    // The last position, when the coalescing held it back.
    void finish() {
        if (m_bytes != m_sent) {
            sendPosition();
        }
    }

private:
    void sendPosition() {
        m_document.m_frame.send(UM_PROGRESS_SET, static_cast<std::uintptr_t>(m_bytes), 0);
        m_sent = m_bytes;
    }

    SplitDocument& m_document;
    std::int64_t m_step;
    std::int64_t m_bytes = 0;
    std::int64_t m_sent = 0;
};

} // namespace

void SplitDocument::openFile(const std::filesystem::path& path) {
    if (isBusy()) {
        m_prompts.messageBox(kBusyText, "Error", MessageIcon::Error);
        return;
    }
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        m_prompts.messageBox("File \"" + pathText(path) + "\" doesn't exist, please check and try again!",
                             "Error", MessageIcon::Error);
        return;
    }
    stopPlayback();
    if (m_cursor.isOpen()) {
        m_cursor.close();
    }
    log(LogLevel::Normal, "Loading MP3 file - " + pathText(path) + " ...");
    addToRecentFiles(path);
    m_mainTag = readMainTag(path);
    replaceBlockTags({});
    mp3::PcmCache::instance().clear();
    m_filePath = path;
    m_loadThread.start([this] { runLoadingThread(); });
}

void SplitDocument::runLoadingThread() {
    m_frame.send(UM_PROGRESS_SHOW, 1, 0);
    const std::int64_t fileSize = fileSizeForProgress(m_filePath);
    m_frame.send(UM_PROGRESS_SET, 0, static_cast<std::intptr_t>(fileSize));

    setScrollPosition(0);
    m_frameLevels.clear();
    m_frameOffsets.clear();
    m_frameLengths.clear();
    replaceBreakPoints({});
    updateScrollBar();

    LoadObserver observer(*this, fileSize);
    mp3::LevelScan scan = mp3::scanLevels(m_filePath, &observer);
    observer.finish();
    m_frameLevels = std::move(scan.levels);
    m_frameOffsets = std::move(scan.offsets);
    m_frameLengths = std::move(scan.lengths);

    setScrollPosition(0);
    m_frame.send(UM_PROGRESS_SET, 0, 0);
    m_frame.send(UM_PROGRESS_SHOW, 0, 0);
    m_view.post(UM_LOAD_DONE, 0, 0);
}

void SplitDocument::onLoadDone() {
    m_loadThread.clear();
    m_loaded = true;
    m_cursor = mp3::FrameReader(m_filePath);
    updateScrollBar();
    log(LogLevel::Normal, "MP3 file has been loaded successfully!");
    invalidateView();
}
