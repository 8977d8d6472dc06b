#include "engine/PositionedRead.h"

#include "engine/PlatformFile.h"

#include <cerrno>

namespace mp3 {

std::size_t readFileAt(int fd, std::int64_t offset, std::uint8_t* out, std::size_t count) {
    if (fd < 0 || offset < 0) {
        return 0;
    }
    std::size_t total = 0;
    while (total < count) {
        const long long n =
            platform::readSomeAt(fd, offset + static_cast<std::int64_t>(total), out + total, count - total);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        total += static_cast<std::size_t>(n);
    }
    return total;
}

} // namespace mp3
