#include "app/CommandState.h"

#include "app/CommandIds.h"

bool isCommandEnabled(int id, const CommandState& state) {
    if (id >= ID_RECENT_FIRST && id <= ID_RECENT_LAST) {
        return true;
    }
    switch (id) {
    case ID_SAVE_ALL:
    case ID_SAVE_BLOCKS:
    case ID_CONVERT_WAV:
    case ID_ADD_BREAKPOINT:
    case ID_CLEAR_BREAKPOINTS:
    case ID_EDIT_GAIN:
    case ID_EDIT_FADE:
    case ID_EDIT_NORMALISE:
        return state.canEditBreakPoints();
    case ID_MORE_BREAKPOINTS:
    case ID_FIND_SILENCES:
    case ID_LOAD_BREAKPOINTS:
    case ID_SAVE_BREAKPOINTS:
    case ID_ID3_EDITOR:
    case ID_IMPORT_BREAKPOINTS:
    case ID_EXPORT_BREAKPOINTS:
    case ID_SAVE_CHAPTERS:
    case ID_SAVE_PROJECT:
        return state.canUseBreakPointList();
    case ID_PLAY:
        return !state.playing && state.frameCount >= 1 && !state.loading;
    case ID_STOP:
        return state.playing && state.frameCount >= 1;
    case ID_RECENT_NONE:
        return false;
    // Each zoom item only while it would change the zoom.
    case ID_ZOOM_IN:
    case ID_ZOOM_ONE_FRAME:
        return state.frameCount >= 1 && !state.loading && state.framesPerColumn > 1;
    case ID_ZOOM_OUT:
    case ID_ZOOM_WHOLE_FILE:
        return state.frameCount >= 1 && !state.loading && state.framesPerColumn < state.maxFramesPerColumn;
    // Like the gestures, undo and redo wait while a thread uses the list.
    case ID_EDIT_UNDO:
        return state.canUndo && state.canEditBreakPoints();
    case ID_EDIT_REDO:
        return state.canRedo && state.canEditBreakPoints();
    // Removing the last kept block would leave nothing to play or save.
    case ID_REMOVE_BLOCK:
        return state.canEditBreakPoints() && state.selectedBlock >= 0 && !state.selectedBlockRemoved &&
               state.keptBlocks > 1;
    case ID_KEEP_ONLY_BLOCK:
        return state.canEditBreakPoints() && state.selectedBlock >= 0 &&
               (state.selectedBlockRemoved || state.keptBlocks > 1);
    case ID_RESTORE_BLOCK:
        return state.canEditBreakPoints() && state.selectedBlock >= 0 && state.selectedBlockRemoved;
    case ID_RESTORE_ALL_BLOCKS:
        return state.canEditBreakPoints() && state.anyRemoved;
    case ID_PLAY_AROUND:
        return state.breakPointSelected && state.frameCount >= 1 && !state.loading;
    case ID_SAVE_EDITED_COPY:
        return state.canEditBreakPoints() && state.anyBlockEdit && state.keptBlocks >= 1;
    default:
        return true;
    }
}
