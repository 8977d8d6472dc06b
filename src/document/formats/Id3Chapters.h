#pragma once

#include "document/formats/TimedList.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// ID3v2 chapters (CHAP frames with a CTOC that lists them), through TagLib.

// One chapter of a copy: its times on the decoded timeline and the byte range of its frames in the
// copy.
struct ChapterMark {
    double startSeconds = 0.0;
    double endSeconds = 0.0;
    std::uint32_t startOffset = 0;
    std::uint32_t endOffset = 0;
    std::string title;
    std::string performer;
};

// The chapters of an ID3v2 tag given as its bytes (the tag at the start of a file): each CHAP's
// start time is a cut point, its embedded TIT2 and TPE1 the names. Sorted by start time. A tag whose
// chapter frames nest too deep to be read safely gives an error.
Parsed<TimedList> parseChapterTag(std::string_view tagBytes);

// A new ID3v2 tag: every frame of `sourceTag` (the source's tag bytes, empty when it has none)
// except its chapters, plus one CHAP per mark ("chp0", "chp1", ...; a mark without a title is
// titled "Chapter 1", "Chapter 2", ...) and a top-level, ordered CTOC ("toc") listing them; more
// than 255 marks are listed by ordered CTOCs "toc1", "toc2", ... of at most 255 each under it. Mark offsets
// count from the first frame (0xFFFFFFFF: not given); the tag moves them by its own size, as the copy begins
// with it.
std::string renderChapterTag(std::string_view sourceTag, const std::vector<ChapterMark>& chapters);
