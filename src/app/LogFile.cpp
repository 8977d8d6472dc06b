#include "app/LogFile.h"

#include <QByteArray>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
int openExclusive(const std::filesystem::path& path, int flags) {
    int fd = -1;
    _wsopen_s(&fd, path.c_str(), flags | _O_BINARY, _SH_DENYRW, _S_IREAD | _S_IWRITE);
    return fd;
}
long long writeAll(int fd, const char* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(size));
}
void closeFd(int fd) {
    _close(fd);
}
#else
int openExclusive(const std::filesystem::path& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}
long long writeAll(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
}
void closeFd(int fd) {
    ::close(fd);
}
#endif

QByteArray utf16le(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

} // namespace

LogFile::~LogFile() {
    close();
}

bool LogFile::open(const std::filesystem::path& path) {
    close();
    if (path.empty()) {
        return false;
    }
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        m_fd = openExclusive(path, O_WRONLY | O_APPEND);
        return isOpen();
    }
    m_fd = openExclusive(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL);
    if (isOpen()) {
        static const char bom[] = {'\xFF', '\xFE'};
        writeAll(m_fd, bom, sizeof bom);
    }
    return isOpen();
}

void LogFile::writeLine(const QString& line) {
    if (!isOpen()) {
        return;
    }
    const QByteArray bytes = utf16le(line + QStringLiteral("\r\n"));
    writeAll(m_fd, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void LogFile::close() {
    if (m_fd >= 0) {
        closeFd(m_fd);
        m_fd = -1;
    }
}
