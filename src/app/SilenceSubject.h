#pragma once

#include <cstddef>

class CChildView;

// What a Find Silences result was found on. A load, the end of a load or an edit of the list changes
// it, and a result found before must not be applied after.
struct SilenceSubject {
    unsigned loadGeneration = 0;
    bool loading = false;
    int frameCount = 0;
    std::size_t breakPoints = 0;
    std::size_t undoSteps = 0;
    bool operator==(const SilenceSubject&) const = default;
};

SilenceSubject silenceSubject(const CChildView& view);
