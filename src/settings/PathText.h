#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The one place where texts become paths and paths become UTF-8. Texts from the settings file may
// hold unpaired UTF-16 surrogates; none of these conversions throws, each such unit becomes U+FFFD.

// UTF-16 text as UTF-8.
std::string utf8Text(std::u16string_view text);

// UTF-16 text (a folder or file name from the settings) as a path.
std::filesystem::path pathFromText(std::u16string_view text);

// A path as UTF-8 text, for log lines and boxes.
std::string pathText(const std::filesystem::path& path);
