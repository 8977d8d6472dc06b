#pragma once

#include "document/DocumentTypes.h"

#include <filesystem>

// Writes the tag into a closed piece through TagLib; false when TagLib could not open or save it.
bool applyBlockTag(const std::filesystem::path& piecePath, const ID3Info& tag);

// What a block tag changes of a copied source tag: only what the user typed. An empty text and the
// year a new block tag starts from (1979, or none at all) leave the source's value.
bool typedText(const std::string& text);
bool typedYear(int year);
// The source's fields with the typed ones of `blockTag` over them.
ID3Info typedOver(const ID3Info& source, const ID3Info& blockTag);
