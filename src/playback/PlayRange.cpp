#include "playback/PlayRange.h"

#include <algorithm>

int editedPositionOf(const std::vector<EditedRange>& stream, int frame) {
    int position = 0;
    for (const EditedRange& range : stream) {
        if (frame <= range.from) {
            break;
        }
        position += std::min(frame, range.to) - range.from;
    }
    return position;
}

int sourceFrameAt(const std::vector<EditedRange>& stream, int position, int frameCount) {
    int left = std::max(position, 0);
    for (const EditedRange& range : stream) {
        const int length = range.to - range.from;
        if (left < length) {
            return range.from + left;
        }
        left -= length;
    }
    return frameCount;
}

PlayRange playAroundRange(const std::vector<EditedRange>& stream, int frameCount, int breakPoint,
                          int framesEachSide) {
    const int at = editedPositionOf(stream, std::clamp(breakPoint, 0, frameCount));
    const int each = std::max(framesEachSide, 0);
    const int from = sourceFrameAt(stream, std::max(at - each, 0), frameCount);
    const int to = sourceFrameAt(stream, at + each, frameCount);
    return {from, std::max(from, to)};
}
