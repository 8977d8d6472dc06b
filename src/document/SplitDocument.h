#pragma once

#include "document/BlockEdits.h"
#include "document/DocumentTypes.h"
#include "document/EditHistory.h"
#include "document/EditSettings.h"
#include "document/EditedStream.h"
#include "document/LoadingLevels.h"
#include "document/SilenceFinder.h"
#include "document/UserPrompts.h"
#include "document/WindowLink.h"
#include "document/WorkerSlot.h"
#include "engine/FileScan.h"
#include "engine/FrameReader.h"
#include "engine/LevelMap.h"
#include "engine/PlatformFile.h"
#include "engine/ProcessDecoding.h"
#include "engine/WavWriter.h"
#include "settings/PieceOptions.h"
#include "settings/Preferences.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class AtomicFile;
struct ListJob;
namespace mp3 {
class LoadCache;
struct LoadCacheKey;
} // namespace mp3

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
    void onLoadFailed();

    // --- Handlers of the savers' "done" messages
    void onSaveAllDone();
    void onBlockSaved();

    // --- Editing
    // Double click: `frame` is the frame under the pointer, 0..F.
    void addBreakPointAt(int frame);
    // The value typed into the Add Break Point dialog, appended as typed (rule A).
    void addBreakPointByDialog(int typedValue);
    // Left-button press not on a button: selects the break point hit at `frame`, or -1.
    void selectBreakPoint(int frame);
    // A drag of the selected break point. The view keeps the press and drag state; the document
    // checks the busy rules and logs. beginDrag gives the index of the first element equal to the
    // selection, or nothing when there is none or the list may not change now.
    std::optional<std::size_t> beginDrag();
    // Moves the dragged element to `frame`, clamped to 0..F, unless a thread reads the list.
    void trackDrag(std::size_t index, int frame);
    // Logs the element's value and selects it.
    void endDrag(std::size_t index);
    // Left (-1) or Right (+1) on the selected break point.
    void nudgeSelected(int step);
    // True when the selection names an element of the list (otherwise the arrow keys scroll).
    bool selectionInList() const;
    void deleteSelected();
    void removeBreakPoint(int value);
    void clearBreakPoints();
    // The first break point in list order within 6 frames of `frame`, or -1.
    int hitBreakPoint(int frame) const;

    // --- The one path that changes the break point list and the block tags. The gestures above check
    // the busy rules and log; these only change the state, so every change passes through here.
    void appendBreakPoint(BreakPoint value);
    void removeBreakPointAt(std::size_t index);
    // What a drag or a nudge does to one element; the list keeps its order.
    void moveBreakPoint(std::size_t index, BreakPoint value);
    void replaceBreakPoints(BreakPointList breakPoints);
    // Ascending, in place: the user sees the list in this order until the next append.
    void sortBreakPoints();
    // Replaces the record for `block`, or appends one.
    void setBlockTag(int block, const ID3Info& tag);
    void clearBlockTag(int block);
    void replaceBlockTags(std::vector<BlockTag> tags);

    // --- Block edits: blocks removed from the edited stream (and their gain and fades). Blocks are
    // numbered as Save All counts them (blockStarts()); see docs/architecture.md.
    std::vector<int> blockStarts() const { return blockStartsOf(m_breakPoints, frameCount()); }
    // The number of the block holding `frame`, -1 outside 0..F-1.
    int blockAt(int frame) const;
    BlockEdit blockEdit(int block) const;
    bool isBlockRemoved(int block) const { return blockEdit(block).removed; }
    // The kept blocks in order: what the player plays and Save Edited Copy writes.
    std::vector<EditedRange> editedStream() const;
    // The gestures (GUI thread): refused with a level-2 line while a thread uses the list, logged,
    // one undo step each. False when refused or when there was nothing to change.
    bool removeBlock(int block);
    bool restoreBlock(int block);
    bool keepOnlyBlock(int block);
    bool restoreAllBlocks();
    // The one path that changes the edits; break point edits carry them along (carryBlockEdits).
    void setBlockEdit(int block, const BlockEdit& edit);
    void replaceBlockEdits(BlockEdits edits);

    // --- Level of the blocks: gain and fades (DocumentLevels.cpp). Block -1 is the whole file.
    // The block of the selected break point, the one its 'S' button saves; -1 without a selection.
    int selectedBlock() const;
    // What the block edits do to the level of every frame: what is written, drawn and played.
    mp3::LevelMap levelMap() const;
    // The gain every block has, when they all have the same.
    std::optional<int> commonGain() const;
    // The largest sample magnitude of `block` with a gain of `steps`, or (block -1) of every kept
    // block with `steps` added to its own gain; above mp3::kFullScale it clips.
    double peakWithGain(int block, int steps) const;
    // The gestures (GUI thread): refused with a level-2 line while a thread uses the list, logged,
    // one undo step each; false when refused or nothing changed. setGain on block -1 gives every
    // block that gain, changeGain adds to each block's own; fades on block -1 go to the start of
    // the first block and the end of the last.
    bool setGain(int block, int steps);
    bool changeGain(int block, int deltaSteps);
    bool setFades(int block, int fadeInMs, int fadeOutMs);
    // The + and - keys: one step on the selected block, or the whole file. A step up that would
    // clip is refused with a level-2 line saying by how much (the Gain dialog can go past it).
    bool stepGain(int direction);

    // --- Undo and redo of the edits above (GUI thread). Refused with a level-2 line while a thread
    // uses the list, and quietly during a drag; true when a step was taken back or done again.
    bool undoEdit();
    bool redoEdit();
    // Makes the edits of one gesture (a load of a list, an automatic method) one undo step named
    // `description`, from its construction to its destruction.
    class EditStep {
    public:
        EditStep(SplitDocument& doc, std::string description);
        ~EditStep();
        EditStep(const EditStep&) = delete;
        EditStep& operator=(const EditStep&) = delete;

    private:
        SplitDocument& m_doc;
    };

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

    // --- Silences, on the RMS levels of the loading scan
    // One value per frame in dBFS; empty when no file is loaded.
    const std::vector<float>& frameRmsDb() const { return m_frameRmsDb; }
    // The largest sample magnitude of every frame (0 to 32768), from the same scan: whether a gain
    // would clip is known without decoding again. Empty when no file is loaded.
    const std::vector<std::uint16_t>& framePeaks() const { return m_framePeaks; }
    // The duration of frame 0 in seconds; 0 when no file is loaded.
    double secondsPerFrame() const { return m_secondsPerFrame; }
    // What the finder gives for the loaded file, without changing anything.
    SilenceResult findSilences(const SilenceSettings& settings) const;
    // Adds the break points of the silences found as one step (rule B, like the automatic methods);
    // `deleteOriginal` empties the list first. Nothing found leaves the list as it was and says
    // "No silence found with these settings" at level 2.
    SilenceResult placeSilenceBreakPoints(const SilenceSettings& settings, bool deleteOriginal);
    // Sets m_secondsPerFrame from frame 0 of m_filePath at m_frameOffsets[0] (0 without frames).
    void takeFrameDuration();

    // --- WAV conversion
    // The save dialog's answer: starts the WAV thread (rule A). A path naming the loaded file is
    // refused with a box.
    void startWavConversion(const std::filesystem::path& wavPath);
    void onWavDone();

    // --- Preferences shared with a saving thread
    Preferences preferences() const;
    void setPreferences(const Preferences& preferences);
    PieceOptions pieceOptions() const;
    void setPieceOptions(const PieceOptions& options);

    // --- Hooks the view overrides; the defaults do nothing. May be called from worker threads.
    virtual void invalidateView() {}
    virtual void updateScrollBar() {}
    virtual void setScrollPosition(int /*frame*/) {}
    // Stops the player the way UM_STOP_PLAYBACK does (GUI thread).
    virtual void stopPlayback() {}
    // True while the user drags a break point: undo and redo wait for its end (GUI thread).
    virtual bool dragInProgress() const { return false; }
    // True when something draws the levels of a load under way (m_loadingLevels); without, the
    // load keeps no second copy of them.
    virtual bool showsLoadingLevels() const { return false; }
    // The open routine puts the path into the recent-file list here (GUI thread).
    virtual void addToRecentFiles(const std::filesystem::path& /*path*/) {}
    // A load has completed and its history begun: the window program offers the remembered edits
    // here (GUI thread).
    virtual void fileLoaded() {}

    void log(LogLevel level, const std::string& text) const { sendLog(m_frame, level, text); }

    WindowLink& m_frame;
    WindowLink& m_view;
    UserPrompts& m_prompts;

    std::filesystem::path m_filePath;
    // Size and modification time of m_filePath when the load read it: a save refuses to copy pieces
    // from a file changed since. Empty until a load (the savers then take the file as they find it).
    std::optional<platform::FileStatus> m_sourceStatus;
    bool m_loaded = false;
    std::vector<int> m_frameLevels;
    // RMS level of every frame in dBFS, from the same scan; the silence finder works on it.
    std::vector<float> m_frameRmsDb;
    std::vector<std::uint16_t> m_framePeaks;
    double m_secondsPerFrame = 0.0;
    // Of frame 0, with m_secondsPerFrame: the granules and the clock of the fades.
    int m_sampleRate = 0;
    int m_samplesPerFrame = 0;
    // 1 when frame 0 is a Xing or Info frame: it holds no sound to change.
    int m_firstAudioFrame = 0;
    // Frames the loading thread has handled so far: the one figure of a running load the GUI reads.
    std::atomic<int> m_framesLoaded{0};
    // The levels of a load in progress as the scan publishes them, for the view to draw the part
    // already scanned; emptied by the open routine and when the load ends (GUI thread).
    LoadingLevels m_loadingLevels;
    // Offset of every frame, from the loading scan: readers are positioned by it, not by rescanning.
    mp3::FrameOffsets m_frameOffsets;
    // Length of every frame, from the same scan: the writers copy whole runs of frames by it.
    mp3::FrameLengths m_frameLengths;
    // Read freely; changed only through the edit methods, which undo and import will build on.
    BreakPointList m_breakPoints;
    int m_selectedBreakPoint = -1;
    mp3::FrameReader m_cursor;
    mp3::FrameReader m_playEnd;
    WorkerSlot m_loadThread;
    WorkerSlot m_saveAllThread;
    WorkerSlot m_wavThread;
    WorkerSlot m_blockThread;
    // An import or export of a break point list of another program, and what it hands back to the
    // GUI thread (BreakPointLists.cpp).
    WorkerSlot m_listThread;
    std::shared_ptr<ListJob> m_listJob;
    std::filesystem::path m_blockPath;
    int m_blockFrom = 0;
    int m_blockTo = 0;
    std::filesystem::path m_wavPath;
    std::filesystem::path m_outputFolder;
    ID3Info m_mainTag;
    // Sorted by block, one record per block (see BlockTags.h); changed only through setBlockTag,
    // clearBlockTag and replaceBlockTags.
    std::vector<BlockTag> m_blockTags;
    // Changed only through setBlockEdit, replaceBlockEdits and the gestures above; keyed by the
    // first frame of the block, emptied when a file is opened.
    BlockEdits m_blockEdits;
    // How the edited copy is made; kept with the edits in projects and the remembered state.
    EditSettings m_editSettings;
    // The states before the edits, for undo; emptied when a file has been loaded.
    EditHistory m_history;
    Preferences m_preferences;
    PieceOptions m_pieceOptions;
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
    // Where loads keep what they computed, so reopening unchanged bytes skips the decode (the
    // window program sets it; none otherwise). Used by the loading thread only.
    std::shared_ptr<const mp3::LoadCache> m_loadCache;
    // Set by the loading thread before UM_LOAD_DONE: the last load came from m_loadCache.
    bool m_loadedFromCache = false;
    // Whether a load decodes the file for its levels; without, it reads only where the frames are
    // (for the command-line tool's commands that need no levels), and every level reads as 0.
    bool m_loadLevels = true;

private:
    // Records the state before an edit (see EditHistory::record), unless a gesture's step holds it.
    void rememberEdit(const std::string& description, const std::string& runKey = {});
    EditSnapshot editSnapshot() const;
    void restoreSnapshot(EditSnapshot snapshot);
    // The block starts before a break point edit, when there are edits to carry (else empty).
    std::vector<int> startsBeforeEdit() const;
    // Moves the edits onto the blocks after a break point edit (see carryBlockEdits).
    void carryEdits(const std::vector<int>& before, std::optional<std::pair<int, int>> moved = std::nullopt);

    int m_editStepDepth = 0;
    std::string m_editStepName;
    bool m_editStepRecorded = false;

    void runLoadingThread();
    // The stream information line of frame 0, for a load that reads no frame of its own.
    void logStreamInfo() const;
    // Files the scan under `key` unless the file changed since the key was taken.
    void keepInLoadCache(const mp3::LoadCacheKey& key, const mp3::LevelScan& scan) const;
    void runWavThread();
    // Decodes the whole file into the temporary file of `output` and commits it; false when it failed.
    bool convertToWav(AtomicFile& output);
    // Refuses (with a level-2 line) a gesture that would change the list while a thread uses it.
    bool refuseListChange() const;
    // Appends a break point placed by an automatic method and logs it.
    void appendPlacedBreakPoint(int frame);

    // Set by the WAV thread before it posts UM_WAV_DONE: the file was written completely.
    std::atomic<bool> m_wavSucceeded{false};
};
