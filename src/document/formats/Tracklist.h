#pragma once

#include "document/formats/TimedList.h"

#include <optional>
#include <string>
#include <string_view>

// Tracklists as people paste them: one track per line, a time ([h:]mm:ss[.fff], optionally in
// brackets) and a title, in either order, optionally after a track number ("3." or "3)"). A title
// "Artist - Title" is split into performer and title. Blank lines are skipped.
Parsed<TimedList> parseTracklist(std::string_view bytes);
// The same, handing every entry to `sink` instead of keeping it.
Parsed<TimedList> parseTracklist(std::string_view bytes, const EntrySink& sink);

// "[h:]mm:ss.fff Artist - Title" per entry (the hours only when there are any).
std::string writeTracklist(const TimedList& list);

// Reads one time of a tracklist ("3:15", "1:02:03", "75:30.5"); nothing when it is no such time or
// lies past kMaxListSeconds.
std::optional<double> parseTrackTime(std::string_view text);
// "mm:ss.fff", or "h:mm:ss.fff" from one hour on; times outside 0 .. kMaxListSeconds are clamped.
std::string trackTime(double seconds);
