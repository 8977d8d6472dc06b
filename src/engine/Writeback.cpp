#include "engine/Writeback.h"

#if defined(__linux__)
#include <fcntl.h>
#endif

namespace platform {

void startWriteback(int fd, std::int64_t offset, std::int64_t count) {
#if defined(__linux__)
    if (fd >= 0 && count > 0) {
        ::sync_file_range(fd, offset, count, SYNC_FILE_RANGE_WRITE);
    }
#else
    (void)fd;
    (void)offset;
    (void)count;
#endif
}

} // namespace platform
