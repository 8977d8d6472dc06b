#pragma once

class SplitDocument;

// The block the Edit commands act on: the one that starts at the selected break point (the block its
// 'S' button saves) when the selection is in the list, otherwise the one holding the play cursor
// `playPosition`. -1 when there is none (no frames, or the cursor at its end). GUI thread, not while
// loading.
int selectedBlock(const SplitDocument& doc, int playPosition);
