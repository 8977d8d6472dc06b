#pragma once

#include "document/formats/TimedList.h"

#include <string>
#include <string_view>

// CUE sheets. Each TRACK's INDEX 01 is a cut point; its TITLE and PERFORMER name the block, and the
// TITLE and PERFORMER before the first TRACK name the album and artist. INDEX 00 (the pregap) and
// REM lines are skipped. `bytes` may be UTF-8 (with or without BOM) or Latin-1.
Parsed<TimedList> parseCueSheet(std::string_view bytes);

// A sheet for `audioFileName` (written into FILE "..." MP3), one TRACK per entry, INDEX 01 in
// mm:ss:ff (75 ff to the second, rounded to the nearest), UTF-8 without BOM.
std::string writeCueSheet(const TimedList& list, const std::string& audioFileName);

// "mm:ss:ff" of a CUE sheet; minutes may exceed 99.
std::string cueTime(double seconds);
