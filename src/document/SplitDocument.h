#pragma once

#include "document/DocumentTypes.h"
#include "document/UserPrompts.h"
#include "document/WindowLink.h"
#include "document/WorkerSlot.h"
#include "engine/FileScan.h"
#include "engine/FrameReader.h"
#include "engine/ProcessDecoding.h"
#include "engine/WavWriter.h"
#include "settings/Preferences.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

// The state of the open file and its operations, without any toolkit. The window program's view
// derives from it and adds painting and input; the command-line tool and the tests use it directly.
// The state is one shared record, worked on by the view, the writers and the player, so its fields
// are public and keep the names the rest of the program knows them by.
class SplitDocument {
public:
    // `frame` receives log lines and progress; `view` receives the "done" messages.
    SplitDocument(WindowLink& frame, WindowLink& view, UserPrompts& prompts);
    virtual ~SplitDocument();
    SplitDocument(const SplitDocument&) = delete;
    SplitDocument& operator=(const SplitDocument&) = delete;

    int frameCount() const { return static_cast<int>(m_frameLevels.size()); }
    bool isBusy() const;
    bool canEditBreakPoints() const;   // rule A
    bool canUseBreakPointList() const; // rule B

    // Handles the messages addressed to the view that belong to the document; returns the result.
    virtual std::intptr_t handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    // --- Loading
    void openFile(const std::filesystem::path& path);
    void onLoadDone();

    // --- Handlers of the savers' "done" messages
    void onSaveAllDone();
    void onBlockSaved();

    // --- Editing
    // Double click: `frame` is the frame under the pointer, 0..F.
    void addBreakPointAt(int frame);
    // The value typed into the Add Break Point dialog, appended as typed (rule A).
    void addBreakPointByDialog(int typedValue);
    // Left-button press not on a button: sets m_mouseDown and selects the break point hit, or -1.
    void selectBreakPoint(int frame);
    // After selectBreakPoint hit one: starts dragging the first element equal to the selection.
    void beginDrag();
    void trackDrag(int frame);
    // Button release: clears m_mouseDown and ends a drag.
    void endDrag();
    // Left (-1) or Right (+1) on the selected break point.
    void nudgeSelected(int step);
    // True when the selection names an element of the list (otherwise the arrow keys scroll).
    bool selectionInList() const;
    void deleteSelected();
    void removeBreakPoint(int value);
    void clearBreakPoints();
    // The first break point in list order within 6 frames of `frame`, or -1.
    int hitBreakPoint(int frame) const;

    // --- Break point files
    void saveBreakPointFile(const std::filesystem::path& path);
    void loadBreakPointFile(const std::filesystem::path& path);

    // --- Automatic break points
    // The dialog's OK: `deleteOriginal` empties the list before the method runs.
    void placeAutomaticBreakPoints(AutoMethod method, int value, bool deleteOriginal);
    void addBreakPointsAtSilences(int minimumFrames);
    // More blocks than frames is refused with a level-2 line.
    void addBreakPointsByCount(int blockCount);
    void addBreakPointsByLength(int blockSeconds);

    // --- WAV conversion
    // The save dialog's answer: starts the WAV thread (rule A). A path naming the loaded file is
    // refused with a box.
    void startWavConversion(const std::filesystem::path& wavPath);
    void onWavDone();

    // --- Preferences shared with a saving thread
    Preferences preferences() const;
    void setPreferences(const Preferences& preferences);

    // --- Hooks the view overrides; the defaults do nothing. May be called from worker threads.
    virtual void invalidateView() {}
    virtual void updateScrollBar() {}
    virtual void setScrollPosition(int /*frame*/) {}
    // Stops the player the way UM_STOP_PLAYBACK does (GUI thread).
    virtual void stopPlayback() {}
    // The open routine puts the path into the recent-file list here (GUI thread).
    virtual void addToRecentFiles(const std::filesystem::path& /*path*/) {}

    void log(LogLevel level, const std::string& text) const { sendLog(m_frame, level, text); }

    WindowLink& m_frame;
    WindowLink& m_view;
    UserPrompts& m_prompts;

    std::filesystem::path m_filePath;
    bool m_loaded = false;
    std::vector<int> m_frameLevels;
    // Offset of every frame, from the loading scan: readers are positioned by it, not by rescanning.
    mp3::FrameOffsets m_frameOffsets;
    // Length of every frame, from the same scan: the writers copy whole runs of frames by it.
    mp3::FrameLengths m_frameLengths;
    BreakPointList m_breakPoints;
    int m_selectedBreakPoint = -1;
    int m_hoverBreakPoint = -1;
    bool m_mouseDown = false;
    bool m_dragging = false;
    // Index of the element being dragged; empty when none.
    std::optional<std::size_t> m_dragIt;
    mp3::FrameReader m_cursor;
    mp3::FrameReader m_playEnd;
    WorkerSlot m_loadThread;
    WorkerSlot m_saveAllThread;
    WorkerSlot m_wavThread;
    WorkerSlot m_blockThread;
    std::filesystem::path m_blockPath;
    int m_blockFrom = 0;
    int m_blockTo = 0;
    std::filesystem::path m_wavPath;
    std::filesystem::path m_outputFolder;
    ID3Info m_mainTag;
    std::vector<BlockTag> m_blockTags;
    Preferences m_preferences;
    // Guards m_preferences: the Save All thread reads the overlap settings while the dialog may
    // replace the record.
    mutable std::mutex m_preferencesMutex;
    // Most PCM bytes a WAV output may hold; tests lower it to reach the limit with small files.
    std::uint64_t m_wavDataLimit = mp3::kMaxWavDataBytes;
    // The cache and decoder shared by the load, the player and the conversion: the process's own
    // unless a test wires others.
    mp3::Decoding m_decoding = mp3::processDecoding();
    // Most frames a load indexes; tests lower it to reach the limit with small files.
    int m_maxIndexedFrames = mp3::kMaxIndexedFrames;

private:
    void runLoadingThread();
    void runWavThread();
    // Refuses (with a level-2 line) a gesture that would change the list while a thread uses it.
    bool refuseListChange() const;
    // Appends a break point placed by an automatic method and logs it.
    void appendPlacedBreakPoint(int frame);

    // Set by the WAV thread before it posts UM_WAV_DONE: the file was written completely.
    std::atomic<bool> m_wavSucceeded{false};
};
