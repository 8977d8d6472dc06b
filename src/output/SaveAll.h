#pragma once

class SourceFrames;
class SplitDocument;

// What a Save All run did.
struct SaveAllResult {
    int pieces = 0; // pieces started
    int failed = 0; // pieces that could not be created or written completely
};

// The Save All command (GUI thread): refuses while a thread runs, takes the default folder of the
// preferences or asks for one, stores it in m_outputFolder and starts the Save All thread in
// m_saveAllThread.
void saveAll(SplitDocument& doc);

// The Save All thread's work: writes every block of m_filePath into m_outputFolder, logs each piece,
// and posts UM_SAVE_ALL_DONE to the view as its last action (wParam: the number of failed pieces).
SaveAllResult runSaveAll(SplitDocument& doc);
// The same over a walk of m_filePath the caller has already made.
SaveAllResult runSaveAll(SplitDocument& doc, SourceFrames& frames);

// True (after the "Can not process ..." box) when a loading or saving thread runs.
bool refuseWhenBusy(SplitDocument& doc);
