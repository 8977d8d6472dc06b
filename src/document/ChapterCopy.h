#pragma once

#include "document/Messages.h"
#include "document/formats/Id3Chapters.h"
#include "document/formats/TimedList.h"

#include <filesystem>
#include <string>
#include <vector>

class SplitDocument;

// The ID3v2 tag at the start of a file, as bytes (empty when there is none). The file is opened
// read-only.
std::string readLeadingTag(const std::filesystem::path& path);

// The chapters of the file's ID3v2 tag; an empty list when it has none.
Parsed<TimedList> readFileChapters(const std::filesystem::path& path);

// The level-2 line for a file whose chapters gave no list to import.
std::string chapterImportProblem(const std::filesystem::path& path, const Parsed<TimedList>& chapters);

// Imports the loaded file's own chapters like a list (see importTimedList).
bool importFileChapters(SplitDocument& doc, bool replace);

// One chapter per block of the document, its byte offsets counted from the first frame.
std::vector<ChapterMark> blockChapters(const SplitDocument& doc);

// Posted to the view when a copy made on the single-block slot has ended: it frees the slot, and
// the copy has logged its own result.
constexpr unsigned UM_CHAPTERS_SAVED = WM_APP_BASE + 1014;

// Writes a copy of the loaded file with the same frames, byte for byte, behind a new ID3v2 tag:
// the source tag's frames except its chapters, one CHAP per block and a CTOC. The loaded file's own
// path is refused with a box. Shows its progress over the bytes it copies in the main frame's bar.
// Logs the result; true when the copy was written.
bool saveCopyWithChapters(SplitDocument& doc, const std::filesystem::path& copyPath);
