#pragma once

#include <filesystem>

// True when `candidate` names the same file as `source`, also through another spelling or a link.
inline bool namesSameFile(const std::filesystem::path& candidate, const std::filesystem::path& source) {
    std::error_code error;
    if (std::filesystem::equivalent(candidate, source, error)) {
        return true;
    }
    const auto normal = [](const std::filesystem::path& path) {
        std::error_code ignored;
        return std::filesystem::weakly_canonical(std::filesystem::absolute(path, ignored), ignored);
    };
    return normal(candidate) == normal(source);
}
