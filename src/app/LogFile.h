#pragma once

#include <QString>

#include <filesystem>

// The log file: UTF-16LE text, a byte order mark when the program creates it, CR LF after each
// line, appended across runs. Held open and locked for the whole run, so a second instance logs to
// its pane only.
class LogFile {
public:
    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens an existing file at its end, or creates it with the byte order mark. False, with no file
    // open, when neither works.
    bool open(const std::filesystem::path& path);
    bool isOpen() const { return m_fd >= 0; }
    // Appends the line and CR LF. A failed write is ignored: the line is still in the pane.
    void writeLine(const QString& line);

private:
    void close();

    int m_fd = -1;
};
