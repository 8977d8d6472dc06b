#pragma once

#include <string>
#include <string_view>
#include <vector>

// Text files from other programs come as UTF-8 (with or without a byte order mark), UTF-16 or UTF-32
// with a byte order mark, or in the 8-bit Windows code page 1252 ("ANSI") when they are older.
// Returns the text as UTF-8 without a BOM; what is invalid in the encoding a BOM names becomes
// U+FFFD (UTF-16/32) or is read as Windows-1252 (UTF-8), never copied raw.
std::string decodeText(std::string_view bytes);

// At most `maxCharacters` characters of UTF-8 text with control characters, C1 codes, U+FFFD and
// broken sequences left out: what a message may quote of a line that could be binary.
std::string printableExcerpt(std::string_view utf8, std::size_t maxCharacters);

// True when `bytes` is well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

// The lines of a text, split at LF, CR LF or a lone CR; a final line ending adds no empty line.
std::vector<std::string_view> splitLines(std::string_view text);

// `text` without spaces and tabs at both ends.
std::string_view trimmed(std::string_view text);

// `text` with line breaks and tabs turned into spaces, for formats of one record per line.
std::string singleLine(std::string_view text);
