#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/FileScan.h"

class SourceBytes;

// Where every frame of the source lies, from one walk of a reader over the file: the writers copy
// ranges of frames by these spans instead of re-reading the file from frame 0 for every range.
struct FrameSpan {
    std::int64_t offset = 0;
    std::int32_t length = 0; // bytes of the frame as the reader holds it, header included
    std::int32_t durationMs = 0;
};

class SourceFrames {
public:
    // Walks the source once with a frame reader. With the offsets of the loading scan only the frame
    // headers are read; with its lengths too, only a sample of them (and the durations of the frames
    // asked for). When they no longer match the file, it is walked after all.
    explicit SourceFrames(const std::filesystem::path& sourcePath,
                          const mp3::FrameOffsets* knownOffsets = nullptr,
                          const mp3::FrameLengths* knownLengths = nullptr);
    // Walks the source and, with `frameCrcs`, sums the CRC-16 of the LAME tag's music CRC over
    // every frame on the way, from the bytes the walk reads anyway.
    SourceFrames(const std::filesystem::path& sourcePath, bool frameCrcs);
    // The same walk on a thread of its own, so a writer can copy the frames walked so far while the
    // rest of the file is still being walked: waitForFrames() tells how far it is. Until the walk
    // has ended, count() is the number walked so far and endFrameNumber() is unknown.
    struct InBackground {};
    SourceFrames(const std::filesystem::path& sourcePath, bool frameCrcs, InBackground);
    ~SourceFrames();
    SourceFrames(const SourceFrames&) = delete;
    SourceFrames& operator=(const SourceFrames&) = delete;

    int count() const {
        return m_background ? m_walked.load(std::memory_order_acquire) : static_cast<int>(m_spans.size());
    }
    // Whether the walk still goes on in the background.
    bool walking() const { return m_background && !m_walkEnded.load(std::memory_order_acquire); }
    // Waits until `frames` frames have been walked or the walk has ended; returns count() then.
    int waitForFrames(int frames) const;
    // Waits for the end of the walk.
    void finishWalk() const { waitForFrames(kAllFrames); }
    // Whether the background walk stopped short for want of memory (its frames are then incomplete).
    bool walkFailed() const { return m_walkFailed; }
    const FrameSpan& operator[](int frame) const {
        const FrameSpan& span = m_spans[static_cast<std::size_t>(frame)];
        if (span.durationMs == kDurationUnread) {
            readDurations(frame);
        }
        return span;
    }
    // Where a frame lies, without reading anything from the file.
    std::int64_t offset(int frame) const { return m_spans[static_cast<std::size_t>(frame)].offset; }
    std::int32_t length(int frame) const { return m_spans[static_cast<std::size_t>(frame)].length; }
    const std::filesystem::path& path() const { return m_path; }
    // The source's bytes, for copying (a handle of its own, closed with this object).
    const SourceBytes& file() const { return *m_file; }
    // The bitrate of frame 0 in bit/s, 0 when the file has no frame.
    std::int32_t firstBitrate() const { return m_firstBitrate; }
    // The frame number the reader showed at the end of the walk: the last whole frame, as a rule.
    int endFrameNumber() const { return m_endFrameNumber; }
    // The CRC-16 (from 0) of each frame's bytes as the walk read them; empty unless asked for.
    const std::vector<std::uint16_t>& frameCrcs() const { return m_frameCrcs; }

private:
    static constexpr std::int32_t kDurationUnread = -1;
    static constexpr int kAllFrames = 0x7FFFFFFF;
    static constexpr int kDurationGroup = 64;

    // With `publish`, the lists have room for every frame the file can hold and are never moved, so
    // frames below count() may be read while the walk appends more.
    void walk(bool frameCrcs = false, bool publish = false);
    void publishWalked(bool ended);
    bool readHeaders(const mp3::FrameOffsets& offsets);
    bool takeKnownSpans(const mp3::FrameOffsets& offsets, const mp3::FrameLengths& lengths);
    // Whether the reader, put on the last known frame, finds no further one; notes where it stops.
    bool endsAfter(const mp3::FrameOffsets& offsets);
    // Reads the headers of the group of frames around `frame` for their durations.
    void readDurations(int frame) const;

    std::filesystem::path m_path;
    // Durations of known spans are read on demand: only the overlap needs them.
    mutable std::vector<FrameSpan> m_spans;
    mutable std::vector<std::uint8_t> m_headerBytes;
    std::int32_t m_firstDuration = 0;
    std::unique_ptr<SourceBytes> m_file;
    std::int32_t m_firstBitrate = 0;
    int m_endFrameNumber = -1;
    std::vector<std::uint16_t> m_frameCrcs;
    bool m_background = false;
    bool m_walkFailed = false; // read once the walk has ended
    std::atomic<int> m_walked{0};
    std::atomic<bool> m_walkEnded{false};
    mutable std::mutex m_walkMutex;
    mutable std::condition_variable m_walkProgress;
    std::jthread m_walker; // last: joined before the lists it fills go
};
