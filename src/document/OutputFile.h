#pragma once

#include "engine/AtomicFile.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// Every file the break point lists and the chapter copy write goes through here, so they are
// written like the pieces: whole or not at all, never through a link, into a pipe, a device or a
// folder, never over the loaded `source`, and only when the disk has room for `size` bytes. A
// failure leaves an earlier file of that name as it was and no temporary file behind.
//
// `fill` writes the content and returns why it could not, or nothing. The result is nothing when
// the file was written, otherwise the reason for the log line.
std::optional<std::string>
writeOutputFile(const std::filesystem::path& path, std::uint64_t size, const std::filesystem::path& source,
                const std::function<std::optional<std::string>(AtomicFile&)>& fill);
std::optional<std::string> writeOutputFile(const std::filesystem::path& path, const std::string& bytes,
                                           const std::filesystem::path& source);
