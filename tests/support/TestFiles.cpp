#include "support/TestFiles.h"

#include "engine/FrameHeader.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#ifdef _WIN32
#include <algorithm>
#include <atomic>
#include <windows.h>
#endif

namespace testing_support {

namespace {

// ctest runs every test, and every case of a parameterised one, in a process of its own and side by
// side: a folder named only by its caller would be wiped by a sibling case while this one reads it.
std::string runningTestName() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    if (info == nullptr) {
        return "outside-tests";
    }
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '.' && ch != '-') {
            ch = '_';
        }
    }
    return name;
}

} // namespace

std::filesystem::path scratchDir(const std::string& name) {
    const std::filesystem::path dir =
        std::filesystem::path(KERFLINE_BINARY_DIR) / "test-scratch" / name / runningTestName();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::vector<std::string> hiddenNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && name[0] == '.') {
            names.push_back(name);
        }
    }
    return names;
}

std::filesystem::path fixture(const std::string& name) {
    return std::filesystem::path(KERFLINE_FIXTURES_DIR) / name;
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#ifdef _WIN32
namespace {

// FILETIME counts 100 ns steps from 1601; the file clock is taken through the system clock.
constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;

std::filesystem::file_time_type fromFileTime(const FILETIME& time) {
    const auto ticks = static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                                 time.dwLowDateTime);
    const std::chrono::sys_time<std::chrono::nanoseconds> since1970{
        std::chrono::nanoseconds((ticks - kTicksFrom1601To1970) * 100)};
    return std::chrono::time_point_cast<std::filesystem::file_time_type::duration>(
        std::filesystem::file_time_type::clock::from_sys(since1970));
}

FILETIME toFileTime(std::filesystem::file_time_type time) {
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::filesystem::file_time_type::clock::to_sys(time).time_since_epoch());
    const auto ticks = static_cast<std::uint64_t>(since1970.count() / 100 + kTicksFrom1601To1970);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

HANDLE openForTimes(const std::filesystem::path& path, DWORD access) {
    const HANDLE file =
        CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::filesystem::filesystem_error("cannot open for its times", path,
                                                std::error_code(ENOENT, std::generic_category()));
    }
    return file;
}

} // namespace

std::filesystem::file_time_type modifiedTime(const std::filesystem::path& path) {
    const HANDLE file = openForTimes(path, FILE_READ_ATTRIBUTES);
    FILETIME written{};
    const bool read = GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    if (!read) {
        throw std::filesystem::filesystem_error("cannot read its time", path,
                                                std::error_code(EIO, std::generic_category()));
    }
    return fromFileTime(written);
}

void setModifiedTime(const std::filesystem::path& path, std::filesystem::file_time_type time) {
    const HANDLE file = openForTimes(path, FILE_WRITE_ATTRIBUTES);
    const FILETIME written = toFileTime(time);
    const bool set = SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    if (!set) {
        throw std::filesystem::filesystem_error("cannot set its time", path,
                                                std::error_code(EIO, std::generic_category()));
    }
}

void copyOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
        throw std::filesystem::filesystem_error("cannot copy file", from, to,
                                                std::error_code(EIO, std::generic_category()));
    }
}
#else
std::filesystem::file_time_type modifiedTime(const std::filesystem::path& path) {
    return std::filesystem::last_write_time(path);
}

void setModifiedTime(const std::filesystem::path& path, std::filesystem::file_time_type time) {
    std::filesystem::last_write_time(path, time);
}

void copyOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}
#endif

std::string shellPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.generic_string();
#else
    return path.string();
#endif
}

std::string toolSeparator() {
    return std::string(1, static_cast<char>(std::filesystem::path::preferred_separator));
}

#ifdef _WIN32
// The outside tools (mpg123, ffprobe, mutagen ...) are the host's, so under Wine a command runs in the
// host's shell, started as a Unix program. Wine connects no pipe to such a program and reports no
// status for it: its output and status come back through files, and the status file is waited for.
std::string runCommand(const std::string& command, int* status) {
    static std::atomic<int> counter{0};
    std::string folder = std::string(KERFLINE_BINARY_DIR) + "/test-scratch/commands";
    std::filesystem::create_directories(folder);
    const std::string base =
        folder + "/" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    // The paths the tests join have Windows separators; the host's shell wants slashes.
    std::string unixCommand = command;
    std::replace(unixCommand.begin(), unixCommand.end(), '\\', '/');
    {
        std::ofstream script(base + ".sh", std::ios::binary | std::ios::trunc);
        script << "( " << unixCommand << "\n) > '" << base << ".out'\necho $? > '" << base
               << ".status-new'\nmv '" << base << ".status-new' '" << base << ".status'\n";
    }
    // Wine splits a Unix program's command line the Windows way: double quotes, not single ones.
    std::wstring line = L"/bin/sh \"" + std::filesystem::path(base + ".sh").wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        if (status) {
            *status = -1;
        }
        return {};
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    while (!std::filesystem::exists(base + ".status")) {
        Sleep(10);
    }
    const std::vector<std::uint8_t> output = readBytes(base + ".out");
    if (status) {
        std::ifstream(base + ".status") >> *status;
    }
    for (const char* suffix : {".sh", ".out", ".status"}) {
        std::filesystem::remove(base + suffix);
    }
    return {output.begin(), output.end()};
}
#else
std::string runCommand(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (status) {
            *status = -1;
        }
        return output;
    }
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        output.append(buffer.data(), n);
    }
    const int result = pclose(pipe);
    if (status) {
        *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    }
    return output;
}
#endif

std::vector<std::uint8_t> makeFrame(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    mp3::FrameHeader header;
    header.raw = {0xFF, b1, b2, b3};
    header.parse();
    const int length = header.frameLength();
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(length > 4 ? length : 4), 0);
    frame[0] = 0xFF;
    frame[1] = b1;
    frame[2] = b2;
    frame[3] = b3;
    return frame;
}

void append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

} // namespace testing_support
