#pragma once

#include "document/DocumentTypes.h"

#include <filesystem>
#include <string>

// The tag of an MP3 file through TagLib, texts as UTF-8 so that every script survives. A file
// TagLib cannot open gives empty texts and the year 1979; a tag without a year gives 0. A tag whose
// chapters nest too deep for TagLib is read without them, and `problem` (when given) receives the
// level-2 line that says so.
ID3Info readMainTag(const std::filesystem::path& path, std::string* problem = nullptr);
