#pragma once

#include <string>

// How pieces are made beyond copying their frames. Kept apart from the preferences file, whose layout
// is fixed; the window program stores them in its own settings. The defaults copy frames as they are.
struct PieceOptions {
    bool gapless = false;     // every piece gets its own header frame and plays joined like the source
    bool copyTags = false;    // the source's tags go into every piece
    std::string nameTemplate; // empty: the usual piece names
    int fadeCutsMs = 0;       // every piece fades in after a cut and out before one; 0 is none
    bool replayGain = false;  // every piece gets ReplayGain 2.0 track tags; its audio is untouched
};
