#pragma once

#include "output/PieceIdentity.h"
#include "output/PieceLevels.h"
#include "output/PieceMaker.h"
#include "settings/PieceOptions.h"

#include "document/DocumentTypes.h"
#include "engine/FileScan.h"
#include "engine/FrameReader.h"
#include "engine/PlatformFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class SplitDocument;
class WindowLink;
class WorkerSlot;

// One row of the Save Specified Blocks dialog.
struct BlockRow {
    Block block;             // frames [from, to)
    std::uint64_t bytes = 0; // sum of the frame lengths
    std::string number;      // "# %d", 1-based
    std::string range;       // "%d F - %d F"
    std::string size;        // "%d Bytes" up to 1024 bytes, otherwise "%d KB"
    std::string timeLength;  // "%d Seconds"
    // Every frame of the row lies in removed blocks: the dialog shows it greyed and unticked.
    bool removed = false;
};

// Sorts the break point list in place and builds one row per block as Save All cuts them: from frame 0
// and from every distinct break point inside the file to the next one, the last to F. Rows start
// unticked (ticking is the dialog's).
std::vector<BlockRow> buildBlockRows(SplitDocument& doc);

// A ticked row to save: its 1-based row number names the piece.
struct CheckedRow {
    int number = 0;
    Block block;
};

struct SpecifiedBlocksJob {
    std::filesystem::path sourcePath;
    std::filesystem::path folder;
    std::vector<CheckedRow> rows;
    // The document's frame offsets and lengths, so the job need not walk the file again.
    mp3::FrameOffsets frameOffsets;
    mp3::FrameLengths frameLengths;
    // Size and time of the source at the load; without them, as the saving thread finds the file.
    std::optional<platform::FileStatus> sourceStatus;
    PieceOptions options;
    // What the piece options take from the document: the tags for copied tags and name templates, and
    // the number of blocks (rows) for the track number "n/N".
    ID3Info mainTag;
    std::vector<BlockTag> blockTags;
    int blockCount = 0;
    // The blocks' gains and fades.
    PieceLevelSource levels;
    // Further tag fields for each piece (none by default).
    PieceTagWriter tagWriter;
};

// The job for the ticked `rows` of a dialog of `rowCount` rows, with what it needs of the document.
SpecifiedBlocksJob specifiedBlocksJob(const SplitDocument& doc, const std::filesystem::path& folder,
                                      std::vector<CheckedRow> rows, int rowCount);

// A row (numbered from 1) is the block of its number among the dialog's rows: its number from 0,
// the row count and its block tag.
PieceIdentity rowIdentity(const std::vector<BlockTag>& blockTags, int rowCount, int rowNumber);

// What the name template names each of `rowCount` rows, below the output folder and with ".mp3"; an
// empty text for a row it cannot name. Empty when there is no template.
std::vector<std::string> templatedRowNames(const SplitDocument& doc, int rowCount);

// The Save button's check: the folder names an existing file or folder.
bool outputFolderExists(const std::filesystem::path& folder);

// The dialog's saving thread: writes "<folder>/<title>-<n>.mp3" for every row (or the name template's
// name, with ".mp3"), reports a row that fails at level 2 to `frame`, and posts UM_SAVE_ALL_DONE to
// `dialog` as its last action. Returns the number of rows that failed; a refused template fails them
// all before anything is written.
int runSpecifiedBlocksSave(const SpecifiedBlocksJob& job, WindowLink& frame, WindowLink& dialog);
// Starts that thread in `slot` (the dialog's m_saveThread); the dialog clears the slot when
// UM_SAVE_ALL_DONE arrives. False, said at level 2, when no thread could be started: no message follows.
bool startSpecifiedBlocksSave(WorkerSlot& slot, SpecifiedBlocksJob job, WindowLink& frame,
                              WindowLink& dialog);

// The 'S' button of break point `value`: asks for the file (proposing the name template's file name
// when there is a template), sets m_blockPath and m_blockFrom and starts the single-block thread in
// m_blockThread. Does nothing while a saving thread runs.
void saveBlockFromBreakPoint(SplitDocument& doc, int value);

// The single-block thread's work: sets m_blockTo, writes the block, and posts UM_BLOCK_SAVED to the
// view as its last action, with wParam 0 when the piece was saved and 1 when it failed (the failure
// is already logged at level 2 then). Returns true when the piece was saved.
bool runBlockSave(SplitDocument& doc);
