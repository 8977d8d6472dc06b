#pragma once

#include "engine/AtomicFile.h"
#include "output/PieceMaker.h"

#include <functional>

class SourceFrames;
class SplitDocument;

// What a Save All run did.
struct SaveAllResult {
    int pieces = 0; // pieces started
    int failed = 0; // pieces that could not be created or written completely, or were never started
};

struct SaveAllOptions {
    // What a regular file that already holds a piece's name gets: replaced, or kept (the piece fails).
    AtomicFile::Existing existing = AtomicFile::Existing::Replace;
    // Further tag fields for each piece (none by default).
    PieceTagWriter tagWriter;
    // Called once every piece is written, before the run waits for the disk to take them: a caller
    // running several files lets another one use the processor meanwhile.
    std::function<void()> beforeSync;
};

// The Save All command (GUI thread): refuses while a thread runs, takes the default folder of the
// preferences or asks for one, stores it in m_outputFolder and starts the Save All thread in
// m_saveAllThread.
void saveAll(SplitDocument& doc);

// The Save All thread's work: writes every block of m_filePath into m_outputFolder, logs each piece,
// and posts UM_SAVE_ALL_DONE to the view as its last action (wParam: the number of failed pieces).
// Nothing is written when the pieces would not fit into the folder's free space. A source changed since
// the load stops the run: the piece being written and every later one fail. Running out of memory
// ends it the same way, with a "not enough memory" line. A failed piece leaves nothing under its name.
SaveAllResult runSaveAll(SplitDocument& doc, const SaveAllOptions& options = {});
// The same over a walk of m_filePath the caller has already made.
SaveAllResult runSaveAll(SplitDocument& doc, SourceFrames& frames, const SaveAllOptions& options = {});

// True (after the "Can not process ..." box) when a loading or saving thread runs.
bool refuseWhenBusy(SplitDocument& doc);
