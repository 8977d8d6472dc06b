#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the build tree for one test, emptied first.
std::filesystem::path scratchDir(const std::string& name);
std::filesystem::path fixture(const std::string& name);
void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
// The hidden names in `folder`: temporary files a writer left beside its outputs.
std::vector<std::string> hiddenNames(const std::filesystem::path& folder);
// The modification time to below a second. std::filesystem's own on mingw reads and sets whole seconds.
std::filesystem::file_time_type modifiedTime(const std::filesystem::path& path);
void setModifiedTime(const std::filesystem::path& path, std::filesystem::file_time_type time);
// Copies a file over whatever has the name: mingw's copy_file takes every two files for one and
// refuses to overwrite.
void copyOver(const std::filesystem::path& from, const std::filesystem::path& to);
// A path spelt as the tool receives it through runCommand's shell (on Windows the shell gets slashes),
// for both a command line and the text the tool is expected to print back.
std::string shellPath(const std::filesystem::path& path);
// The separator the tool puts between a folder it was given and a name it makes.
std::string toolSeparator();
// Runs a shell command and returns its standard output; `status` receives the exit status.
std::string runCommand(const std::string& command, int* status = nullptr);

// A hand-built frame: the header bytes followed by zero bytes up to the header's frame length.
std::vector<std::uint8_t> makeFrame(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
void append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& bytes);

} // namespace testing_support
