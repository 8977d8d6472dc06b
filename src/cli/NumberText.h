#pragma once

#include <optional>
#include <string>

// Option values as the user typed them: the whole text must be the number, nothing before or after.
std::optional<int> parseInt(const std::string& text);
// A finite decimal number.
std::optional<double> parseNumber(const std::string& text);
