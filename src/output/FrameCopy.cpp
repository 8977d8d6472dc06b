#include "output/FrameCopy.h"

#include "output/LevelApplier.h"
#include "output/SourceBytes.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::int64_t kLevelChunk = 256 * 1024;

std::uint64_t copyWithLevels(SourceFrames& frames, int from, int to, PieceFile& piece, LevelApplier& levels);

} // namespace

bool readWithLevels(
    const SourceFrames& frames, int from, int to, LevelApplier& levels,
    const std::function<bool(const std::uint8_t*, std::size_t, std::size_t, std::int64_t)>& take) {
    std::vector<std::uint8_t> chunk;
    int frame = from;
    while (frame < to) {
        const std::int64_t runStart = frames.offset(frame);
        std::int64_t runEnd = runStart;
        const int first = frame;
        while (frame < to && frames.offset(frame) == runEnd &&
               (runEnd == runStart || runEnd - runStart + frames.length(frame) <= kLevelChunk)) {
            runEnd += frames.length(frame);
            ++frame;
        }
        chunk.resize(static_cast<std::size_t>(runEnd - runStart));
        const std::size_t got = frames.file().readAt(runStart, chunk.data(), chunk.size());
        std::size_t at = 0;
        for (int k = first; k < frame && at + static_cast<std::size_t>(frames.length(k)) <= got; ++k) {
            levels.apply(k, chunk.data() + at, static_cast<std::size_t>(frames.length(k)));
            at += static_cast<std::size_t>(frames.length(k));
        }
        if (!take(chunk.data(), got, chunk.size(), runStart) || got < chunk.size()) {
            return false;
        }
    }
    return true;
}

std::size_t writeFrame(const mp3::FrameReader& reader, PieceFile& piece) {
    return piece.write(reader.frameData(), static_cast<std::size_t>(reader.frameLength()));
}

CopyResult copyFrames(mp3::FrameReader& start, const mp3::FrameReader& end, PieceFile& piece) {
    CopyResult result;
    while (!(start == end)) {
        result.bytes += writeFrame(start, piece);
        ++result.frames;
        start.readNext();
    }
    return result;
}

CopyResult copyFrames(SourceFrames& frames, int from, int to, PieceFile& piece, LevelApplier* levels) {
    CopyResult result;
    if (from < 0) {
        from = 0;
    }
    if (to > frames.count()) {
        to = frames.count();
    }
    if (levels != nullptr && levels->changes(from, to)) {
        result.bytes = copyWithLevels(frames, from, to, piece, *levels);
        result.frames = to > from ? to - from : 0;
        return result;
    }
    // Frames that follow each other without a gap are copied as one run.
    int frame = from;
    while (frame < to) {
        const std::int64_t runStart = frames.offset(frame);
        std::int64_t runEnd = runStart + frames.length(frame);
        ++frame;
        while (frame < to && frames.offset(frame) == runEnd) {
            runEnd += frames.length(frame);
            ++frame;
        }
        result.bytes += piece.copyFrom(frames.file(), runStart, static_cast<std::size_t>(runEnd - runStart));
    }
    result.frames = to > from ? to - from : 0;
    return result;
}

int advancedPosition(const SourceFrames& frames, int by) {
    if (by <= 0) {
        return 0;
    }
    return by < frames.count() ? by : frames.count();
}

namespace {

std::uint64_t copyWithLevels(SourceFrames& frames, int from, int to, PieceFile& piece, LevelApplier& levels) {
    std::uint64_t written = 0;
    readWithLevels(
        frames, from, to, levels,
        [&](const std::uint8_t* bytes, std::size_t count, std::size_t wanted, std::int64_t offset) {
            written += piece.write(bytes, count);
            if (count < wanted) {
                // The source ended early: the plain copy finds that too and notes it on the piece.
                written +=
                    piece.copyFrom(frames.file(), offset + static_cast<std::int64_t>(count), wanted - count);
            }
            return !piece.failed();
        });
    return written;
}

} // namespace
