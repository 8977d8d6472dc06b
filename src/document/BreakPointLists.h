#pragma once

#include "document/formats/FrameTimeline.h"
#include "document/formats/TimedList.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class SplitDocument;

// Break point lists of other programs, read into and written from the document.
enum class ListFormat { CueSheet, LabelFile, Tracklist, BreakPointFile };

// The largest list file read: far beyond any real list, small enough that a mistaken choice of a
// huge file is refused at once instead of being read for minutes.
constexpr std::size_t kMaxListFileBytes = 16u * 1024u * 1024u;

// The bytes of a list file; refuses directories, pipes, devices and files over `limit` bytes with
// a message, without ever blocking on them.
Parsed<std::string> readListFile(const std::filesystem::path& path, std::size_t limit = kMaxListFileBytes);

// Parses a CUE sheet, label file or tracklist file (not a break point file).
Parsed<TimedList> readTimedList(const std::filesystem::path& path, ListFormat format);

// How the loaded file's frames lie on the decoded timeline (read from its frame 0).
FrameTimeline documentTimeline(const SplitDocument& doc);

// Puts the cut points of `list` into the document: each time becomes the frame whose start is
// nearest, `replace` empties the list first, and the names go into the block tags of the blocks
// the cut points start. Times past the end of the file are dropped with a level-2 line naming
// their line in `origin`. Refused (false, with a level-2 line) while a thread uses the list.
bool importTimedList(SplitDocument& doc, const TimedList& list, bool replace, const std::string& origin);

// Reads `path` as `format` and imports it; a file that cannot be read changes nothing and is
// reported with a box naming the line at fault. True when the list was imported.
bool importBreakPoints(SplitDocument& doc, const std::filesystem::path& path, ListFormat format,
                       bool replace);

// The first frame of every block Save All cuts: 0, then the distinct break points in 1..F-1, ascending.
std::vector<int> blockStartFrames(const SplitDocument& doc);

// The blocks of the document (as Save All cuts them) with their block tags' names.
TimedList blockList(const SplitDocument& doc, const FrameTimeline& timeline);

// The text of the list in `format`, for the loaded file.
std::string listText(const SplitDocument& doc, ListFormat format);

// Writes the list in `format` to `path` and logs it; never replaces the loaded file.
bool exportBreakPoints(SplitDocument& doc, const std::filesystem::path& path, ListFormat format);

// What a read list would do to the document, for the question before it is put in.
struct ImportCheck {
    // Entries read, and those that lie past the end of the file and are skipped.
    std::size_t entries = 0;
    std::size_t pastEnd = 0;
    // The first kListedPastEnd of the skipped ones, one text each ("line 12: 1:02:03.500").
    std::vector<std::string> skipped;
    // Break points the list holds now.
    std::size_t existing = 0;
};
constexpr std::size_t kListedPastEnd = 20;
enum class ImportChoice { Replace, Add, Cancel };
// Asked once the file has been read and found good, before anything changes (GUI thread).
using ImportDecision = std::function<ImportChoice(const ImportCheck&)>;

// The check of a list read in full (chapters); the list threads make theirs as they read.
ImportCheck checkTimedList(const SplitDocument& doc, const TimedList& list);

// The format of a list file from its text: a CUE sheet, a label file (tab-separated seconds) or a
// tracklist (times with colons); `chosen` when the text says none of them clearly.
ListFormat recogniseListFormat(std::string_view bytes, ListFormat chosen);

// The same two on the list thread, for the window: the file is read and parsed, or the text made
// and written, off the GUI thread, and UM_LIST_DONE hands the result back. Refused (false) while
// any thread runs, like the other long jobs; the list thread keeps the document busy.
bool startImportBreakPoints(SplitDocument& doc, const std::filesystem::path& path, ListFormat format,
                            bool replace);
// An import that reads and checks the file first and only then asks `decide`; a file that cannot be
// read is reported without a question. With `recognise`, the format is taken from the text when it
// says which (labels and tracklists share .txt).
bool startImportBreakPoints(SplitDocument& doc, const std::filesystem::path& path, ListFormat format,
                            ImportDecision decide, bool recognise);
bool startExportBreakPoints(SplitDocument& doc, const std::filesystem::path& path, ListFormat format);
// UM_LIST_DONE on the GUI thread: ends the thread and puts an import into the list, or logs the
// export, with the same lines and boxes as the functions above.
void finishListJob(SplitDocument& doc);
