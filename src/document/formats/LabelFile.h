#pragma once

#include "document/formats/TimedList.h"

#include <string>
#include <string_view>

// Label files as audio editors export a label track: one label per line, "start<TAB>end<TAB>name",
// times in seconds with a decimal point. The starts are cut points and the names their titles; the
// ends are not used. Lines starting with a backslash (frequency ranges of a label) are skipped.
Parsed<TimedList> parseLabelFile(std::string_view bytes);
// The same, handing every entry to `sink` instead of keeping it.
Parsed<TimedList> parseLabelFile(std::string_view bytes, const EntrySink& sink);

// One line per entry; an entry ends where the next one starts, the last at `endSeconds`.
// Times with six decimals, as the editors write them.
std::string writeLabelFile(const TimedList& list, double endSeconds);
