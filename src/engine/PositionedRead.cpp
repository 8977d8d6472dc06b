#include "engine/PositionedRead.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <io.h>
#include <stdio.h>
#else
#include <unistd.h>
#endif

namespace mp3 {

std::size_t readFileAt(int fd, std::int64_t offset, std::uint8_t* out, std::size_t count) {
    if (fd < 0 || offset < 0) {
        return 0;
    }
    std::size_t total = 0;
    while (total < count) {
#ifdef _WIN32
        if (_lseeki64(fd, offset + static_cast<std::int64_t>(total), SEEK_SET) < 0) {
            break;
        }
        const int n =
            _read(fd, out + total, static_cast<unsigned>(std::min<std::size_t>(count - total, 1u << 30)));
#else
        const ssize_t n =
            ::pread(fd, out + total, count - total, static_cast<off_t>(offset) + static_cast<off_t>(total));
        if (n < 0 && errno == EINTR) {
            continue;
        }
#endif
        if (n <= 0) {
            break;
        }
        total += static_cast<std::size_t>(n);
    }
    return total;
}

} // namespace mp3
