#include "document/MainTag.h"
#include "document/SplitDocument.h"
#include "settings/PathText.h"

#include "engine/FileScan.h"
#include "engine/PcmCache.h"
#include "engine/PlatformFile.h"

#include <cerrno>
#include <fstream>
#include <new>

namespace {

const char* const kBusyText = "Can not process, because there is a loading or saving thread is running ...";

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
        m_document.log(Normal, mp3::streamInfoLine(reader.header()));
    }
    void frameStarting(int framesHandled) override {
        if (framesHandled % 1000 == 0) {
            m_document.invalidateView();
        }
    }
    void frameHandled(int framesHandled, std::int64_t bytesHandled) override {
        m_document.m_framesLoaded.store(framesHandled, std::memory_order_relaxed);
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
    // A FIFO or device would block the first read (TagLib's or ours) on the GUI thread; a folder
    // holds no frames. Asked of the path alone, without opening it.
    if (!std::filesystem::is_regular_file(path, error)) {
        m_prompts.messageBox("File \"" + pathText(path) + "\" is not a regular file and can not be opened!",
                             "Error", MessageIcon::Error);
        return;
    }
    stopPlayback();
    if (m_cursor.isOpen()) {
        m_cursor.close();
    }
    log(Normal, "Loading MP3 file - " + pathText(path) + " ...");
    addToRecentFiles(path);
    m_mainTag = readMainTag(path);
    m_blockTags.clear();
    mp3::PcmCache::instance().clear();
    m_filePath = path;
    m_framesLoaded.store(0, std::memory_order_relaxed);
    m_loadThread.start([this] { runLoadingThread(); });
}

void SplitDocument::runLoadingThread() {
    m_frame.send(UM_PROGRESS_SHOW, 1, 0);
    // Size and time as the load finds them, for the savers' check that the file stays as loaded. A
    // file gone since the open routine saw it is reported as unreadable, not as one without frames.
    {
        const platform::FileHandle file = platform::openForReading(m_filePath);
        const int openError = errno;
        m_sourceStatus = platform::statusOf(file.get());
        if (!m_sourceStatus) {
            log(LogLevel::Error, "The file " + pathText(m_filePath) + " could not be read: " +
                                     platform::systemError(file.isOpen() ? errno : openError));
        }
    }
    const std::int64_t fileSize = fileSizeForProgress(m_filePath);
    m_frame.send(UM_PROGRESS_SET, 0, static_cast<std::intptr_t>(fileSize));

    setScrollPosition(0);
    m_frameLevels.clear();
    m_frameOffsets.clear();
    m_frameLengths.clear();
    m_breakPoints.clear();
    updateScrollBar();

    bool loaded = m_sourceStatus.has_value();
    if (loaded) {
        try {
            LoadObserver observer(*this, fileSize);
            mp3::LevelScan scan = mp3::scanLevels(m_filePath, &observer);
            observer.finish();
            m_frameLevels = std::move(scan.levels);
            m_frameOffsets = std::move(scan.offsets);
            m_frameLengths = std::move(scan.lengths);
        } catch (const std::bad_alloc&) {
            // Whatever was scanned is dropped: a document with part of the file would save part of it.
            m_frameLevels = {};
            m_frameOffsets = {};
            m_frameLengths = {};
            log(LogLevel::Error,
                "The file " + pathText(m_filePath) + " could not be loaded: not enough memory");
            loaded = false;
        }
    }

    setScrollPosition(0);
    m_frame.send(UM_PROGRESS_SET, 0, 0);
    m_frame.send(UM_PROGRESS_SHOW, 0, 0);
    m_view.post(UM_LOAD_DONE, loaded ? 0 : 1, 0);
}

void SplitDocument::onLoadFailed() {
    m_loadThread.clear();
    m_sourceStatus.reset();
    updateScrollBar();
    invalidateView();
}

void SplitDocument::onLoadDone() {
    m_loadThread.clear();
    m_loaded = true;
    m_cursor = mp3::FrameReader(m_filePath);
    updateScrollBar();
    log(Normal, "MP3 file has been loaded successfully!");
    invalidateView();
}
