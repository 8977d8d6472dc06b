#include "playback/Player.h"

#include "document/SplitDocument.h"
#include "engine/Decoder.h"
#include "engine/FramePcm.h"
#include "engine/FrameReader.h"
#include "engine/PcmCache.h"
#include "playback/PlayRange.h"

#include <algorithm>
#include <optional>
#include <string>
#include <thread>

Player::Player(SplitDocument& document, std::unique_ptr<SoundOutput> output)
    : m_document(document), m_output(std::move(output)), m_prefetcher(document.m_decoding) {}

Player::~Player() {
    stop();
}

SoundFormat Player::formatFor(const mp3::FrameHeader& header) {
    SoundFormat format;
    format.channels = header.channels() == 1 ? 1 : 2;
    format.samplesPerSecond = header.sampleRate();
    format.bitsPerSample = 16;
    return format;
}

void Player::setLevels(const mp3::LevelMap& map) {
    std::shared_ptr<const PlaybackLevels> levels;
    {
        const std::lock_guard<std::mutex> lock(m_levelsLock);
        if (!map.empty()) {
            levels = std::make_shared<const PlaybackLevels>(PlaybackLevels{map, ++m_levelsVersion});
        }
        m_levels = levels;
    }
    m_prefetcher.setLevels(std::move(levels));
}

bool Player::isPlaying() const {
    return m_playing.load();
}

int Player::playPosition() const {
    const std::lock_guard<std::mutex> lock(m_cursorLock);
    const mp3::FrameReader& cursor = m_document.m_cursor;
    return cursor.atEnd() ? -1 : cursor.frameNumber();
}

bool Player::savingThreadRuns() const {
    return m_document.m_saveAllThread.isSet() || m_document.m_blockThread.isSet();
}

void Player::playToEnd() {
    if (m_waveOut == nullptr) {
        const std::lock_guard<std::mutex> lock(m_cursorLock);
        m_document.m_playEnd = mp3::FrameReader();
    }
    play();
}

void Player::play() {
    // While loading, the loading thread owns PcmCache and the cursor is closed.
    if (m_waveOut != nullptr || m_document.m_loadThread.isSet() || m_output == nullptr) {
        return;
    }
    const mp3::FrameReader& cursor = m_document.m_cursor;
    if (cursor.atEnd()) {
        return;
    }
    // The output is closed: nothing else moves the cursor now. A cursor on a removed block starts
    // at the next kept frame.
    {
        const std::lock_guard<std::mutex> lock(m_cursorLock);
        m_stream = currentStream();
        m_skipping = editedFrameCount(m_stream) != m_document.frameCount();
        const int before = cursor.frameNumber();
        skipRemovedLocked();
        // Nothing kept is left before the end of the file or of this run.
        if (cursor.atEnd() || (cursor.frameNumber() != before && cursor == m_document.m_playEnd)) {
            return;
        }
    }
    m_document.log(LogLevel::Normal,
                   "Player now is playing mp3 from frame " + std::to_string(cursor.frameNumber()) + " F");

    if (!m_output->open(formatFor(cursor.header()), [this](SoundBuffer* buffer) { onBufferDone(buffer); })) {
        m_document.log(LogLevel::Error, "Failed to call function waveOutOpen!");
        return;
    }
    m_waveOut = m_output.get();
    if (m_document.m_decoding.cache.isWindowed(cursor.path().string()) &&
        !m_document.m_frameOffsets.empty() && cursor.path() == m_document.m_filePath) {
        m_prefetcher.start(cursor.path(), m_document.m_frameOffsets, cursor.frameNumber());
    }

    m_waveBuffers.clear();
    for (int i = 0; i < SOUND_BUFFER_COUNT; ++i) {
        auto buffer = std::make_unique<WaveBuffer>();
        buffer->header.data = buffer->data.data();
        buffer->header.length = kStartLength;
        m_waveBuffers.push_back(std::move(buffer));
    }
    // Under the cursor lock, so that a buffer that comes back before the last one is queued is
    // refilled and queued after all ten.
    int queued = 0;
    {
        const std::lock_guard<std::mutex> lock(m_cursorLock);
        m_idleBuffers.clear();
        m_finished = false;
        m_stopPosted = false;
        m_playing.store(true);
        for (const auto& buffer : m_waveBuffers) {
            if (!m_waveOut->queue(&buffer->header)) {
                break;
            }
            ++queued;
        }
        for (std::size_t i = static_cast<std::size_t>(queued); i < m_waveBuffers.size(); ++i) {
            keepIdleLocked(&m_waveBuffers[i]->header);
        }
    }
    // Nothing will ever come back to end the run.
    if (queued == 0) {
        m_document.m_view.post(UM_STOP_PLAYBACK, 0, 0);
    }
}

void Player::stop() {
    // First, and without the decoder's lock: the prefetcher may be waiting for it.
    m_prefetcher.stop();
    const std::lock_guard<std::mutex> audio(m_document.m_decoding.decoder.lock());
    if (m_waveOut == nullptr) {
        return;
    }
    // Cleared first: a refill waiting for the decoder gives up, and reset's buffers stay unqueued.
    m_playing.store(false);
    m_waveOut->reset();
    m_waveOut->close();
    m_waveOut = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_cursorLock);
        m_idleBuffers.clear();
    }
    m_waveBuffers.clear();
}

void Player::pauseForMove() {
    m_playing.store(false);
    // A refill waiting for the prefetcher gives up, so the move can take the cursor lock.
    m_prefetcher.interrupt();
    m_waveOut->pause();
}

void Player::resumeAfterMove() {
    std::vector<SoundBuffer*> idle;
    {
        const std::lock_guard<std::mutex> lock(m_cursorLock);
        idle.swap(m_idleBuffers);
        m_playing.store(true);
    }
    // Queued empty, they come back at once after the audio still queued and are refilled then.
    std::vector<SoundBuffer*> refused;
    for (SoundBuffer* buffer : idle) {
        buffer->length = 0;
        if (!m_waveOut->queue(buffer)) {
            refused.push_back(buffer);
        }
    }
    if (!refused.empty()) {
        const std::lock_guard<std::mutex> lock(m_cursorLock);
        for (SoundBuffer* buffer : refused) {
            keepIdleLocked(buffer);
        }
    }
    m_waveOut->resume();
}

void Player::moveCursorTo(int frame) {
    // The loading thread fills the levels: ask it first.
    if (m_document.m_loadThread.isSet() || m_document.frameCount() == 0) {
        return;
    }
    const bool open = m_waveOut != nullptr;
    if (open) {
        pauseForMove();
    }
    {
        const std::lock_guard<std::mutex> lock(m_cursorLock);
        moveCursorLocked(frame);
    }
    if (open) {
        resumeAfterMove();
    }
}

void Player::positionReader(mp3::FrameReader& reader, int frame) const {
    const int distance = frame - reader.frameNumber();
    // Forward, the scan's offsets save reading every frame in between; they describe the reader's
    // frames only when the reader is on the scanned file.
    const bool offsetsFit = !m_document.m_frameOffsets.empty() && reader.path() == m_document.m_filePath;
    if (distance > 1 && offsetsFit) {
        reader.seekToFrame(frame, m_document.m_frameOffsets);
    } else {
        reader.advance(distance);
    }
}

void Player::moveCursorLocked(int frame) {
    positionReader(m_document.m_cursor, frame);
    m_prefetcher.follow(m_document.m_cursor.frameNumber());
    m_finished = false;
    m_stopPosted = false;
}

std::vector<EditedRange> Player::currentStream() const {
    if (m_document.m_loadThread.isSet() || m_document.frameCount() == 0) {
        return {};
    }
    return m_document.editedStream();
}

void Player::followEdits() {
    if (m_waveOut == nullptr || m_document.m_loadThread.isSet()) {
        return;
    }
    std::vector<EditedRange> stream = currentStream();
    const bool skipping = editedFrameCount(stream) != m_document.frameCount();
    const std::lock_guard<std::mutex> lock(m_cursorLock);
    if (stream != m_stream) {
        m_stream = std::move(stream);
        m_skipping = skipping;
    }
}

void Player::skipRemovedLocked() {
    mp3::FrameReader& cursor = m_document.m_cursor;
    if (!m_skipping || cursor.atEnd()) {
        return;
    }
    const int frame = cursor.frameNumber();
    const int frameCount = m_document.frameCount();
    int next = keptFrameFrom(m_stream, frame, frameCount);
    if (next == frame) {
        return;
    }
    // A play end inside the removed stretch is where this run ends: stand on it so the stop rule sees it.
    const mp3::FrameReader& end = m_document.m_playEnd;
    if (!end.atEnd() && end.path() == cursor.path() && end.frameNumber() >= frame &&
        end.frameNumber() < next) {
        next = end.frameNumber();
    }
    if (next == frame) {
        return;
    }
    if (next >= frameCount) {
        positionReader(cursor, frameCount - 1);
        cursor.readNext();
    } else {
        positionReader(cursor, next);
    }
}

template <typename MoveLocked> void Player::moveAndPlay(MoveLocked moveLocked) {
    const std::unique_lock<std::mutex> audio(m_document.m_decoding.decoder.lock(), std::try_to_lock);
    if (!audio.owns_lock()) {
        return;
    }
    const bool open = m_waveOut != nullptr;
    if (open) {
        pauseForMove();
    }
    {
        const std::lock_guard<std::mutex> lock(m_cursorLock);
        moveLocked(open);
    }
    if (open) {
        resumeAfterMove();
    } else {
        play();
    }
}

void Player::setPlayEndLocked(std::optional<int> frame) {
    if (!frame) {
        m_document.m_playEnd = mp3::FrameReader();
        return;
    }
    mp3::FrameReader end = m_document.m_cursor;
    positionReader(end, *frame);
    m_document.m_playEnd = std::move(end);
}

void Player::playRange(int from, int to) {
    // The loading thread owns the list and the cursor.
    if (m_document.m_loadThread.isSet() || m_document.frameCount() == 0) {
        return;
    }
    followEdits();
    moveAndPlay([&](bool open) {
        moveCursorLocked(from);
        setPlayEndLocked(to >= m_document.frameCount() ? std::nullopt : std::optional<int>(to));
        if (open) {
            skipRemovedLocked();
        }
    });
}

bool Player::playAround(int value, int framesEachSide) {
    if (m_document.m_loadThread.isSet() || m_document.frameCount() == 0) {
        return false;
    }
    const PlayRange range =
        playAroundRange(m_document.editedStream(), m_document.frameCount(), value, framesEachSide);
    if (range.from >= range.to) {
        return false;
    }
    playRange(range.from, range.to);
    return true;
}

void Player::playFromBreakPoint(int value) {
    // Sorting the list under a saving thread would change what it is writing.
    if (savingThreadRuns()) {
        m_document.log(LogLevel::Error,
                       "You can not play from a break point while separated blocks are saving ...");
        return;
    }
    // The loading thread empties the list.
    if (m_document.m_loadThread.isSet()) {
        return;
    }
    moveAndPlay([&](bool) {
        if (m_document.frameCount() >= 1) {
            moveCursorLocked(value);
        }
        m_document.sortBreakPoints();
        const BreakPointList& breakPoints = m_document.m_breakPoints;
        const auto next = std::upper_bound(breakPoints.begin(), breakPoints.end(), value);
        // The next break point's frame itself, also when `value` lies before frame 0.
        setPlayEndLocked(next == breakPoints.end() ? std::nullopt : std::optional<int>(*next));
    });
}

void Player::keepIdleLocked(SoundBuffer* buffer) {
    m_idleBuffers.push_back(buffer);
    // Drained: every buffer is back after the end was reached, so all that was to be heard was heard.
    if (m_finished && m_playing.load() && !m_stopPosted && m_idleBuffers.size() == m_waveBuffers.size()) {
        m_stopPosted = true;
        m_document.m_view.post(UM_STOP_PLAYBACK, 0, 0);
    }
}

bool Player::fillBuffer(SoundBuffer& buffer) {
    mp3::FrameReader& cursor = m_document.m_cursor;
    const mp3::Decoding& decoding = m_document.m_decoding;
    std::size_t count = 0;
    // A cursor moved onto a removed block while playing goes on at the next kept frame.
    if (m_skipping) {
        const int before = cursor.frameNumber();
        skipRemovedLocked();
        if (cursor.atEnd() || (cursor.frameNumber() != before && cursor == m_document.m_playEnd)) {
            m_finished = true;
            return false;
        }
        m_prefetcher.follow(cursor.frameNumber());
    }
    const int frame = cursor.frameNumber();
    std::shared_ptr<const PlaybackLevels> levels;
    {
        const std::lock_guard<std::mutex> lock(m_levelsLock);
        levels = m_levels;
    }
    // The cache holds the frames' PCM without the change of level.
    const bool levelled = levels != nullptr && soundsChanged(*levels, frame);
    std::optional<std::size_t> cached;
    if (!levelled) {
        cached = decoding.cache.find(cursor.path().string(), frame, buffer.data);
    }
    if (cached) {
        count = *cached;
    } else if (const auto taken = m_prefetcher.take(frame, buffer.data, count, m_playing);
               taken != PcmPrefetcher::Taken::NotRunning) {
        // Decoded ahead; only right after a jump does this wait for the decode under way.
        if (taken == PcmPrefetcher::Taken::GaveUp) {
            return false;
        }
    } else {
        // Never wait for the decoder lock: stop holds it while it waits for this refill to end. It
        // clears m_playing first, which is the signal to give up.
        std::unique_lock<std::mutex> audio(decoding.decoder.lock(), std::try_to_lock);
        while (!audio.owns_lock()) {
            if (!m_playing.load()) {
                return false;
            }
            std::this_thread::yield();
            audio.try_lock();
        }
        count = levelled ? levelledFramePcmHoldingLock(decoding, cursor, *levels, buffer.data)
                         : mp3::framePcmHoldingLock(decoding, cursor, buffer.data);
    }
    buffer.length = count;
    cursor.readNext();
    skipRemovedLocked();
    m_prefetcher.follow(cursor.frameNumber());
    return true;
}

void Player::onBufferDone(SoundBuffer* buffer) {
    m_document.invalidateView();
    const std::lock_guard<std::mutex> lock(m_cursorLock);
    const mp3::FrameReader& cursor = m_document.m_cursor;
    // At its end the reader still holds the last frame: playing it again would repeat it.
    if (cursor.atEnd()) {
        m_finished = true;
    }
    if (!m_playing.load() || m_finished || !fillBuffer(*buffer)) {
        keepIdleLocked(buffer);
        return;
    }
    if (!m_output->queue(buffer)) {
        keepIdleLocked(buffer);
        return;
    }
    if (cursor == m_document.m_playEnd || cursor.atEnd()) {
        m_finished = true;
    }
}
