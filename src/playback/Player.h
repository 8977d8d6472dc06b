#pragma once

#include "document/EditedStream.h"
#include "playback/PcmPrefetcher.h"
#include "playback/SoundOutput.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class SplitDocument;
namespace mp3 {
struct FrameHeader;
class FrameReader;
} // namespace mp3

// Plays the loaded file from the document's cursor through a sound output, one frame per buffer,
// until the cursor reaches the document's play end (or the end of the file). It plays the edited
// result: frames of removed blocks are skipped, so crossing a removed block plays the junction.
//
// Threads: everything runs on the GUI thread except the buffer-done handler, which runs on the
// output's thread. The cursor lock covers the whole of a refill and the whole of a cursor move, so
// the two never overlap. The handler never waits for g_audioLock (stop holds it while it waits for
// the handler to return) and never waits for the GUI thread: it posts and requests repaints only.
// For a file the cache does not hold whole it takes frames the prefetcher decoded ahead; right after
// a jump it waits for that decode, giving up as soon as m_playing is cleared (stop and cursor moves
// clear it before they take g_audioLock or the cursor lock).
class Player {
public:
    static constexpr int SOUND_BUFFER_COUNT = 10;
    static constexpr int SOUND_BUFFER_SIZE = 10240;
    // Bytes of silence each buffer plays before the first decoded frame.
    static constexpr std::size_t kStartLength = 4000;

    Player(SplitDocument& document, std::unique_ptr<SoundOutput> output);
    // Stops first, like closing the window while playing.
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Starts playing from the cursor up to the document's current play end.
    void play();
    // The Space key: from the cursor to the end of the file.
    void playToEnd();
    void stop();
    void moveCursorTo(int frame);
    // Plays from break point `value` to the next larger break point (or the end of the file).
    void playFromBreakPoint(int value);
    // Plays source frames [from, to) of the edited result, skipping removed frames; `to` at or past
    // the frame count plays to the end. Moves the cursor to `from` and replaces the play end.
    void playRange(int from, int to);
    // Play Around Break Point: `framesEachSide` kept frames before break point `value` and as many
    // after it (see playAroundRange). False when nothing would be played.
    bool playAround(int value, int framesEachSide);
    // Takes the document's edited stream again (GUI thread): an edit made while playing is heard
    // from the next refill on. Cheap when nothing changed.
    void followEdits();
    // Lights "PLAYING"; enables Stop and disables Play.
    bool isPlaying() const;
    // The cursor's frame number, -1 once it is at its end; safe to read while the output's thread
    // advances the cursor.
    int playPosition() const;

    static SoundFormat formatFor(const mp3::FrameHeader& header);

    // Frames play with this change of level from the next refill on (any thread).
    void setLevels(const mp3::LevelMap& map);

private:
    struct WaveBuffer {
        SoundBuffer header;
        std::array<std::uint8_t, SOUND_BUFFER_SIZE> data{};
    };

    void onBufferDone(SoundBuffer* buffer);
    // Puts the cursor's frame into the buffer and moves the cursor on. False when playing was
    // switched off while the refill waited for the decoder or the prefetcher.
    bool fillBuffer(SoundBuffer& buffer);
    void moveCursorLocked(int frame);
    // Moves the cursor off removed frames to the next kept one, stopping on the play end when that
    // lies in between; to its end when nothing kept is left.
    void skipRemovedLocked();
    // The document's edited stream, or none while a load owns the list.
    std::vector<EditedRange> currentStream() const;
    // Stands `reader` on `frame`: by the scan's offsets when they belong to the reader's file.
    void positionReader(mp3::FrameReader& reader, int frame) const;
    void keepIdleLocked(SoundBuffer* buffer);
    void pauseForMove();
    void resumeAfterMove();
    // Runs `moveLocked(open)` under the cursor lock, the output paused around it when open, then
    // resumes or starts playing; nothing happens while another thread holds the decoder.
    template <typename MoveLocked> void moveAndPlay(MoveLocked moveLocked);
    // The play end on `frame`, or the end of the file when there is none.
    void setPlayEndLocked(std::optional<int> frame);
    bool savingThreadRuns() const;

    SplitDocument& m_document;
    std::unique_ptr<SoundOutput> m_output;

    // The open output, null while closed; GUI thread only.
    SoundOutput* m_waveOut = nullptr;
    // Buffers are refilled only while this is set.
    std::atomic<bool> m_playing{false};
    std::vector<std::unique_ptr<WaveBuffer>> m_waveBuffers;

    // Guards the document's m_cursor and m_playEnd while the output is open, and the fields below.
    mutable std::mutex m_cursorLock;
    // Buffers back from the output and not queued again: while a cursor move pauses playback (they
    // are queued again empty when it resumes, so the ring keeps its ten buffers), and once the
    // cursor reached the play end. When all of them are here after the end, playback has drained.
    std::vector<SoundBuffer*> m_idleBuffers;
    // The cursor reached the play end or the end of the file: no more refills.
    bool m_finished = false;
    bool m_stopPosted = false;
    // What the refills play: the document's edited stream as last taken on the GUI thread, and
    // whether it leaves anything out.
    std::vector<EditedRange> m_stream;
    bool m_skipping = false;
    // Runs while playing a file whose PCM the cache does not hold whole.
    PcmPrefetcher m_prefetcher;
    // The change of level frames play with; null when none. Replaced whole under its lock.
    std::shared_ptr<const PlaybackLevels> m_levels;
    std::uint64_t m_levelsVersion = 0;
    mutable std::mutex m_levelsLock;
};
