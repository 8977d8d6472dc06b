#pragma once

// What the enabling of the commands depends on, taken from the document and the player.
struct CommandState {
    int frameCount = 0;
    bool loading = false; // the loading thread runs
    bool busy = false;    // any worker thread runs
    bool playing = false;
    bool canUndo = false; // the document has a step to take back
    bool canRedo = false;

    bool canEditBreakPoints() const { return frameCount >= 1 && !busy; }      // rule A
    bool canUseBreakPointList() const { return frameCount >= 1 && !loading; } // rule B
};

// Whether the command `id` may be invoked in `state`. Recent-file entries are always enabled; the
// "(no file)" placeholder never is.
bool isCommandEnabled(int id, const CommandState& state);
