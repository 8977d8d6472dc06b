#pragma once

#include "document/MessageQueueLink.h"
#include "document/SplitDocument.h"
#include "support/RecordingPrompts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <vector>

// The document with its hooks counted (some are called on the loading thread).
class CountingDocument final : public SplitDocument {
public:
    using SplitDocument::SplitDocument;
    void invalidateView() override { ++invalidations; }
    void updateScrollBar() override { ++scrollBarUpdates; }
    void setScrollPosition(int frame) override {
        const std::lock_guard<std::mutex> lock(mutex);
        scrollPositions.push_back(frame);
    }
    void stopPlayback() override { ++playbackStops; }
    void addToRecentFiles(const std::filesystem::path& path) override { recentFiles.push_back(path); }

    std::atomic<int> invalidations{0};
    std::atomic<int> scrollBarUpdates{0};
    std::atomic<int> playbackStops{0};
    std::vector<int> scrollPositions;
    std::vector<std::filesystem::path> recentFiles;
    std::mutex mutex;
};

// One recording link stands for the main frame and the view, so every message of a run can be
// checked in the order it happened.
struct DocumentHarness {
    DocumentHarness() {
        link.setHandler(
            [this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
                return message == UM_OUTPUT_LOG ? 0 : doc.handleMessage(message, wParam, lParam);
            });
    }
    void load(const std::filesystem::path& path) {
        doc.openFile(path);
        ASSERT_TRUE(doc.m_loadThread.isSet());
        ASSERT_TRUE(link.dispatchUntil(UM_LOAD_DONE));
    }
    // A document that looks loaded with `frames` frames, without a file.
    void pretendLoaded(int frames) { doc.m_frameLevels.assign(static_cast<std::size_t>(frames), 1000); }

    MessageQueueLink link;
    RecordingPrompts prompts;
    CountingDocument doc{link, link, prompts};
};

// Keeps a worker slot set by a thread that waits until released.
class HeldThread {
public:
    explicit HeldThread(WorkerSlot& slot) : m_slot(slot) {
        m_slot.start([gate = m_gate] { gate.wait(); });
    }
    ~HeldThread() { release(); }
    void release() {
        if (!m_released) {
            m_released = true;
            m_release.set_value();
            m_slot.clear();
        }
    }

private:
    WorkerSlot& m_slot;
    std::promise<void> m_release;
    std::shared_future<void> m_gate = m_release.get_future().share();
    bool m_released = false;
};

inline void PrintTo(const ID3Info& tag, std::ostream* out) {
    *out << "{album \"" << tag.album << "\", artist \"" << tag.artist << "\", title \"" << tag.title
         << "\", comment \"" << tag.comment << "\", year " << tag.year << "}";
}
