#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// Whether `bytes` fit into the free space of the file system that holds `folder`: nullopt when they
// do (or the system cannot tell), otherwise the level-2 text that names both numbers. A save checks
// this before it writes its first byte, so a disk too small ends it with nothing written.
std::optional<std::string> spaceProblem(const std::filesystem::path& folder, std::uint64_t bytes);
