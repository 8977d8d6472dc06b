#pragma once

#include "document/DocumentTypes.h"

#include <filesystem>

// The tag of an MP3 file through TagLib, texts as UTF-8 so that every script survives. A file
// TagLib cannot open gives empty texts and the year 1979; a tag without a year gives 0.
ID3Info readMainTag(const std::filesystem::path& path);
