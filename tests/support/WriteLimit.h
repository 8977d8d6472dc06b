#pragma once

#include <csignal>
#include <cstdint>

#include <sys/resource.h>

namespace testing_support {

// While it lives, no file of this process may grow past `bytes`: writes beyond fail with EFBIG,
// as they would on a full disk, without needing one (or root for a small file system).
class WriteLimit {
public:
    explicit WriteLimit(std::uint64_t bytes) {
        m_previousSignal = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limit = m_previous;
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~WriteLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousSignal);
    }
    WriteLimit(const WriteLimit&) = delete;
    WriteLimit& operator=(const WriteLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousSignal)(int) = nullptr;
};

} // namespace testing_support
