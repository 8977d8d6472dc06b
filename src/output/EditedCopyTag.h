#pragma once

#include "document/formats/Id3Chapters.h"

#include <string>
#include <string_view>
#include <vector>

// Whether an ID3v2 tag (its bytes) holds chapters.
bool tagHasChapters(std::string_view sourceTag);

// The ID3v2 tag of an edited copy, from the source's tag bytes (empty when it has none): its frames
// without TLEN (the length changed), and with `chapters`, when given, in place of the source's
// chapters. The source's bytes are kept as they are when nothing in them changes. Empty when there
// is nothing to write.
std::string editedCopyTag(std::string_view sourceTag, const std::vector<ChapterMark>* chapters);
