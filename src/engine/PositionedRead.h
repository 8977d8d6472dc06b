#pragma once

#include <cstddef>
#include <cstdint>

namespace mp3 {

// Reads up to `count` bytes at `offset` of an open file descriptor without moving a shared position
// on POSIX; returns how many bytes the file held there (0 on error or a negative offset).
std::size_t readFileAt(int fd, std::int64_t offset, std::uint8_t* out, std::size_t count);

} // namespace mp3
