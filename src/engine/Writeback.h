#pragma once

#include <cstdint>

namespace platform {

// Starts writing the bytes [offset, offset + count) of the file to the disk without waiting for
// them, so that the sync at the end of a long write finds most of them there already and the disk
// works while the rest is being copied. Only a hint: it does nothing where the system has no such
// call, and a failure shows at the sync.
void startWriteback(int fd, std::int64_t offset, std::int64_t count);

} // namespace platform
