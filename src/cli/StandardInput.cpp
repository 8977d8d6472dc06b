#include "cli/StandardInput.h"

#include "engine/FrameReader.h"
#include "engine/PlatformFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

StandardInputCopy::StandardInputCopy(std::filesystem::path folder)
    : m_folder(std::move(folder)), m_path(m_folder / "stdin.mp3") {}

StandardInputCopy::~StandardInputCopy() {
    std::error_code error;
    std::filesystem::remove_all(m_folder, error);
}

std::unique_ptr<StandardInputCopy> StandardInputCopy::make(const std::filesystem::path& folder,
                                                           std::string& problem) {
    if (platform::isTerminal(0)) {
        problem = "standard input is a terminal, not an MP3 stream";
        return nullptr;
    }
    const std::optional<std::filesystem::path> made = platform::makeUniqueFolder(folder, ".kerfline-stdin-");
    if (!made) {
        problem = "cannot make a temporary folder in '" + folder.string() +
                  "' for standard input: " + std::strerror(errno);
        return nullptr;
    }
    auto copy = std::make_unique<StandardInputCopy>(*made);
    platform::FileHandle out = platform::createNewFile(copy->m_path);
    if (!out.isOpen()) {
        problem = "cannot write '" + copy->m_path.string() + "': " + std::strerror(errno);
        return nullptr;
    }
    std::vector<std::uint8_t> buffer(1 << 16);
    bool copied = true;
    for (;;) {
        const long long got = platform::readSome(0, buffer.data(), buffer.size());
        if (got == 0) {
            break;
        }
        if (got < 0) {
            problem = std::string("cannot read standard input: ") + std::strerror(errno);
            copied = false;
            break;
        }
        for (long long done = 0; done < got;) {
            const long long wrote =
                platform::writeSome(out.get(), buffer.data() + done, static_cast<std::size_t>(got - done));
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
    if (!platform::closeWrittenFile(out) && copied) {
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
