#include "cli/StandardInput.h"

#include "engine/FrameReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

StandardInputCopy::StandardInputCopy(std::filesystem::path folder)
    : m_folder(std::move(folder)), m_path(m_folder / "stdin.mp3") {}

StandardInputCopy::~StandardInputCopy() {
    std::error_code error;
    std::filesystem::remove_all(m_folder, error);
}

std::unique_ptr<StandardInputCopy> StandardInputCopy::make(const std::filesystem::path& folder,
                                                           std::string& problem) {
    if (::isatty(STDIN_FILENO)) {
        problem = "standard input is a terminal, not an MP3 stream";
        return nullptr;
    }
    std::string pattern = (folder / ".kerfline-stdin-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        problem = "cannot make a temporary folder in '" + folder.string() +
                  "' for standard input: " + std::strerror(errno);
        return nullptr;
    }
    auto copy = std::make_unique<StandardInputCopy>(pattern);
    const int out = ::open(copy->m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        problem = "cannot write '" + copy->m_path.string() + "': " + std::strerror(errno);
        return nullptr;
    }
    std::vector<char> buffer(1 << 16);
    bool copied = true;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer.data(), buffer.size());
        if (got == 0) {
            break;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            problem = std::string("cannot read standard input: ") + std::strerror(errno);
            copied = false;
            break;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t wrote = ::write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (wrote < 0 && errno == EINTR) {
                continue;
            }
            if (wrote < 0) {
                problem = "cannot write '" + copy->m_path.string() + "': " + std::strerror(errno);
                copied = false;
                break;
            }
            done += wrote;
        }
        if (!copied) {
            break;
        }
    }
    if (::close(out) != 0 && copied) {
        problem = "cannot write '" + copy->m_path.string() + "': " + std::strerror(errno);
        copied = false;
    }
    if (!copied) {
        return nullptr;
    }
    if (mp3::FrameReader(copy->m_path).atEnd()) {
        problem = "standard input holds no MPEG audio frame";
        return nullptr;
    }
    return copy;
}
