#pragma once

#include "document/formats/TimedList.h"

#include <string>
#include <string_view>

// CUE sheets. Each TRACK's INDEX 01 is a cut point; its TITLE and PERFORMER name the block, and the
// TITLE and PERFORMER before the first TRACK name the album and artist. INDEX 00 (the pregap) and
// REM lines are skipped. `bytes` is decoded as decodeText does.
Parsed<TimedList> parseCueSheet(std::string_view bytes);
// The same, handing every track to `sink` as soon as it is complete instead of keeping it.
Parsed<TimedList> parseCueSheet(std::string_view bytes, const EntrySink& sink);

// A sheet for `audioFileName` (written into FILE "..." MP3), one TRACK per entry, INDEX 01 in
// mm:ss:ff (75 ff to the second, rounded to the nearest), UTF-8 without BOM. Quotes inside a value
// are written as \", minutes past 99 and track numbers past 99 with as many digits as they need,
// and a track's PERFORMER only when it is not the disc's.
std::string writeCueSheet(const TimedList& list, const std::string& audioFileName);

// "mm:ss:ff" of a CUE sheet; minutes may exceed 99.
std::string cueTime(double seconds);
