#pragma once

#include <QString>

#include <optional>

// The dialogs' integer fields: a whole decimal number, optionally signed, with optional blanks or
// tabs around it, within the range of a 32-bit int. Anything else (an empty field too) is refused
// with "Enter an integer.".
std::optional<int> parseDialogInteger(const QString& text);

inline const char* const kEnterAnInteger = "Enter an integer.";
// A count that cannot be negative, such as the overlap seconds.
inline const char* const kEnterZeroOrMore = "Enter an integer between 0 and 2147483647.";
