#include "document/MainTag.h"
#include "document/ProgressThrottle.h"
#include "document/SharedTexts.h"
#include "document/SplitDocument.h"
#include "settings/PathText.h"

#include "engine/FileScan.h"
#include "engine/LoadCache.h"
#include "engine/PcmBudget.h"
#include "engine/PcmCache.h"
#include "engine/PlatformFile.h"
#include "engine/ProcessDecoding.h"
#include "engine/StreamCheck.h"

#include <cerrno>
#include <fstream>
#include <new>
#include <string>

namespace {

std::int64_t fileSizeForProgress(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        return 0;
    }
    const std::streamoff size = file.tellg();
    return size > 0 ? static_cast<std::int64_t>(size) : 0;
}

// Feeds the loading scan's events to the document and the main frame.
class LoadObserver final : public mp3::LevelScanObserver {
public:
    LoadObserver(SplitDocument& document, std::int64_t range)
        : m_document(document), m_throttle(range, 1000), m_publishLevels(document.showsLoadingLevels()) {}

    void streamOpened(const mp3::FrameReader& reader) override {
        m_document.log(LogLevel::Normal, mp3::streamInfoLine(reader.header()));
    }
    void frameStarting(int framesHandled) override {
        if (framesHandled % 1000 == 0) {
            m_document.invalidateView();
        }
    }
    void frameMeasured(int /*frame*/, int rawLevel) override {
        if (m_publishLevels) {
            m_document.m_loadingLevels.append(rawLevel);
        }
    }
    void frameHandled(int framesHandled, std::int64_t bytesHandled) override {
        m_document.m_framesLoaded.store(framesHandled, std::memory_order_relaxed);
        m_bytes = bytesHandled;
        if (m_throttle.due(bytesHandled)) {
            sendPosition();
        }
    }
    // The last position, when the throttle held it back.
    void finish() {
        if (m_throttle.behind(m_bytes)) {
            sendPosition();
        }
    }

private:
    void sendPosition() {
        m_document.m_frame.send(UM_PROGRESS_SET, static_cast<std::uintptr_t>(m_bytes), 0);
        m_throttle.sent(m_bytes);
    }

    SplitDocument& m_document;
    ProgressThrottle m_throttle;
    std::int64_t m_bytes = 0;
    const bool m_publishLevels;
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
    log(LogLevel::Normal, "Loading MP3 file - " + pathText(path) + " ...");
    addToRecentFiles(path);
    std::string tagProblem;
    ID3Info mainTag = readMainTag(path, &tagProblem);
    if (!tagProblem.empty()) {
        log(LogLevel::Error, tagProblem);
    }
    // The document changes only once the thread runs: without one, the file loaded before stays.
    // Of what follows, the thread reads only the path; it empties the cache itself.
    const std::filesystem::path loadedPath = m_filePath;
    m_filePath = path;
    m_framesLoaded.store(0, std::memory_order_relaxed);
    m_loadingLevels.clear();
    if (!m_loadThread.start([this] { runLoadingThread(); })) {
        m_filePath = loadedPath;
        log(LogLevel::Error, kNoWorkerThreadText);
        return;
    }
    if (m_cursor.isOpen()) {
        m_cursor.close();
    }
    m_mainTag = std::move(mainTag);
    replaceBlockTags({});
    replaceBlockEdits({});
}

void SplitDocument::runLoadingThread() {
    m_decoding.cache.clear();
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
    m_frameRmsDb.clear();
    m_framePeaks.clear();
    m_secondsPerFrame = 0.0;
    m_frameOffsets.clear();
    m_frameLengths.clear();
    replaceBreakPoints({});
    updateScrollBar();

    bool loaded = m_sourceStatus.has_value();
    if (loaded) {
        if (const mp3::StreamProblem problem = mp3::checkStream(m_filePath);
            problem != mp3::StreamProblem::None) {
            log(LogLevel::Error, mp3::streamProblemText(problem, pathText(m_filePath)));
            loaded = false;
        }
    }
    m_loadedFromCache = false;
    // The key is taken before the scan and kept only if the file still matches it after: bytes
    // changed during the scan are never filed under the older key.
    std::optional<mp3::LoadCacheKey> cacheKey;
    if (loaded && m_loadCache) {
        cacheKey = mp3::loadCacheKey(m_filePath);
        if (cacheKey &&
            (cacheKey->size != m_sourceStatus->size || cacheKey->modifiedNs != m_sourceStatus->modifiedNs)) {
            cacheKey.reset();
        }
    }
    if (loaded) {
        try {
            std::optional<mp3::LevelScan> cached;
            if (cacheKey && m_loadLevels) {
                cached = m_loadCache->find(*cacheKey);
                if (cached && cached->offsets.size() > static_cast<std::size_t>(m_maxIndexedFrames)) {
                    cached.reset();
                }
            }
            mp3::LevelScan scan;
            if (cached) {
                scan = std::move(*cached);
                m_loadedFromCache = true;
                logStreamInfo();
                m_framesLoaded.store(static_cast<int>(scan.offsets.size()), std::memory_order_relaxed);
                m_frame.send(UM_PROGRESS_SET, static_cast<std::uintptr_t>(scan.totalBytes), 0);
                // Nothing of the file is decoded: the player and the conversion decode on demand,
                // as for a file beyond the PCM budget.
                m_decoding.cache.dropFrames(m_filePath.string());
            } else {
                LoadObserver observer(*this, fileSize);
                // Nothing else decodes during a load (playing and converting wait for the loading
                // slot), so the scan may use decoder states of its own on the other cores.
                scan = m_loadLevels ? mp3::scanLevels(m_decoding, m_filePath, &observer,
                                                      mp3::processParallelDecode(), m_maxIndexedFrames)
                                    : mp3::scanFrameHeaders(m_filePath, &observer, m_maxIndexedFrames);
                observer.finish();
            }
            if (scan.tooManyFrames) {
                log(LogLevel::Error,
                    "The mp3 file has more than " + std::to_string(m_maxIndexedFrames) +
                        " frames, more than the program can index in memory; it has not been loaded!");
                loaded = false;
            } else if (m_loadLevels && scan.framesWithPcm == 0) {
                log(LogLevel::Error,
                    mp3::streamProblemText(mp3::StreamProblem::NothingDecodes, pathText(m_filePath)));
                m_decoding.cache.clear();
                scan = {};
                loaded = false;
            } else if (cacheKey && !cached && m_loadLevels) {
                keepInLoadCache(*cacheKey, scan);
            }
            if (!m_loadLevels) {
                scan.levels.assign(scan.offsets.size(), 0);
            }
            m_frameLevels = std::move(scan.levels);
            m_frameRmsDb = std::move(scan.rmsDb);
            m_framePeaks = std::move(scan.peaks);
            m_frameOffsets = std::move(scan.offsets);
            m_frameLengths = std::move(scan.lengths);
            takeFrameDuration();
        } catch (const std::bad_alloc&) {
            // Whatever was scanned is dropped: a document with part of the file would save part of it.
            m_frameLevels = {};
            m_frameRmsDb = {};
            m_framePeaks = {};
            m_secondsPerFrame = 0.0;
            m_frameOffsets = {};
            m_frameLengths = {};
            m_loadedFromCache = false;
            log(LogLevel::Error,
                "The file " + pathText(m_filePath) + " could not be loaded: not enough memory");
            loaded = false;
        }
    }

    // The view stays where the user scrolled while the file was being scanned.
    m_frame.send(UM_PROGRESS_SET, 0, 0);
    m_frame.send(UM_PROGRESS_SHOW, 0, 0);
    m_view.post(UM_LOAD_DONE, loaded ? 0 : 1, 0);
}

void SplitDocument::logStreamInfo() const {
    const mp3::FrameReader reader(m_filePath);
    if (!reader.atEnd()) {
        log(LogLevel::Normal, mp3::streamInfoLine(reader.header()));
    }
}

void SplitDocument::keepInLoadCache(const mp3::LoadCacheKey& key, const mp3::LevelScan& scan) const {
    // A file written to while it was scanned gave levels of neither version.
    const std::optional<mp3::LoadCacheKey> now = mp3::loadCacheKey(m_filePath);
    if (!now || !(*now == key)) {
        return;
    }
    if (!m_loadCache->store(key, scan)) {
        log(LogLevel::Warning, "The levels of " + pathText(m_filePath) + " could not be kept in the cache " +
                                   pathText(m_loadCache->folder()));
    }
}

void SplitDocument::onLoadFailed() {
    m_loadThread.clear();
    m_loadingLevels.clear();
    m_sourceStatus.reset();
    updateScrollBar();
    invalidateView();
}

void SplitDocument::onLoadDone() {
    m_loadThread.clear();
    m_loadingLevels.clear();
    m_loaded = true;
    // The steps of the file before do not apply to this one.
    m_history.clear();
    m_cursor = mp3::FrameReader(m_filePath);
    updateScrollBar();
    log(LogLevel::Normal, "MP3 file has been loaded successfully!");
    invalidateView();
    fileLoaded();
}
