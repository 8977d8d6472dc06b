#pragma once

#include <filesystem>
#include <string>

// A path as UTF-8 text, for log lines and boxes.
inline std::string utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}
