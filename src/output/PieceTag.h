#pragma once

#include "document/DocumentTypes.h"

#include <filesystem>

// Writes the tag into a closed piece through TagLib; false when TagLib could not open or save it.
bool applyBlockTag(const std::filesystem::path& piecePath, const ID3Info& tag);
