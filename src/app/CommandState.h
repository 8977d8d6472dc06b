#pragma once

// What the enabling of the commands depends on, taken from the document and the player.
struct CommandState {
    int frameCount = 0;
    bool loading = false; // the loading thread runs
    bool busy = false;    // any worker thread runs
    bool playing = false;
    bool canUndo = false; // the document has a step to take back
    bool canRedo = false;
    // The block the Edit commands act on (see selectedBlock), -1 for none; whether it is removed.
    int selectedBlock = -1;
    bool selectedBlockRemoved = false;
    int keptBlocks = 0;
    bool anyRemoved = false;
    bool anyBlockEdit = false;
    // The selected break point is one of the list.
    bool breakPointSelected = false;
    // The view's zoom and the coarsest zoom the file allows.
    int framesPerColumn = 1;
    int maxFramesPerColumn = 1;

    bool canEditBreakPoints() const { return frameCount >= 1 && !busy; }      // rule A
    bool canUseBreakPointList() const { return frameCount >= 1 && !loading; } // rule B
};

// Whether the command `id` may be invoked in `state`. Recent-file entries are always enabled; the
// "(no file)" placeholder never is.
bool isCommandEnabled(int id, const CommandState& state);
