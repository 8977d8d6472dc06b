#include "engine/PositionedRead.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include "engine/PlatformFile.h"

#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace mp3 {

std::size_t readFileAt(int fd, std::int64_t offset, std::uint8_t* out, std::size_t count) {
    if (fd < 0 || offset < 0) {
        return 0;
    }
#ifdef _WIN32
    const platform::KeptFilePosition kept(fd);
#endif
    std::size_t total = 0;
    while (total < count) {
#ifdef _WIN32
        // The offset goes with the call: a seek and a read would race with another thread's read.
        const std::uint64_t at = static_cast<std::uint64_t>(offset) + total;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        const long long n =
            ReadFile(handle, out + total, want, &got, &where) ? static_cast<long long>(got) : -1;
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
