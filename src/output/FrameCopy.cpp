#include "output/FrameCopy.h"

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

CopyResult copyFrames(SourceFrames& frames, int from, int to, PieceFile& piece) {
    CopyResult result;
    if (from < 0) {
        from = 0;
    }
    if (to > frames.count()) {
        to = frames.count();
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
