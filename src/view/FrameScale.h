#pragma once

#include <algorithm>
#include <cstdint>

// Where frames land on the screen: column x shows the frames first + x * framesPerColumn up to, not
// including, first + (x + 1) * framesPerColumn. With one frame per column a frame f is drawn at
// x = f - first. Every painter and hit test converts through this one value.
struct FrameScale {
    long long first = 0;
    int framesPerColumn = 1;

    // The column showing `frame`; negative left of the first column. Rounds toward minus infinity,
    // so frames just left of `first` are not drawn in column 0.
    int columnOf(long long frame) const {
        const long long d = frame - first;
        const long long z = framesPerColumn;
        const long long q = d >= 0 ? d / z : -((-d + z - 1) / z);
        return static_cast<int>(std::clamp<long long>(q, INT32_MIN / 2, INT32_MAX / 2));
    }
    // The first frame of column x.
    long long frameAt(int x) const { return first + static_cast<long long>(x) * framesPerColumn; }
    // The frames that `columns` columns show.
    long long framesIn(long long columns) const { return columns * framesPerColumn; }
};
