#pragma once

#include <string>
#include <string_view>
#include <vector>

// Text files from other programs come as UTF-8 (with or without a byte order mark), UTF-16 with a
// byte order mark, or in Latin-1 when they are older. Returns the text as UTF-8 without a BOM.
std::string decodeText(std::string_view bytes);

// True when `bytes` is well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

// The lines of a text, split at LF, CR LF or a lone CR; a final line ending adds no empty line.
std::vector<std::string_view> splitLines(std::string_view text);

// `text` without spaces and tabs at both ends.
std::string_view trimmed(std::string_view text);

// `text` with line breaks and tabs turned into spaces, for formats of one record per line.
std::string singleLine(std::string_view text);
