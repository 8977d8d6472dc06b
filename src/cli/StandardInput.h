#pragma once

#include <filesystem>
#include <memory>
#include <string>

// Standard input read once into a temporary file, so a command given "-" can treat a pipe like any
// file (the readers seek). The copy is "stdin.mp3" in a hidden folder of its own, removed with this
// object.
class StandardInputCopy {
public:
    // Copies all of standard input below `folder`; empty with `problem` set when standard input is a
    // terminal, cannot be copied or holds no MPEG audio frame.
    static std::unique_ptr<StandardInputCopy> make(const std::filesystem::path& folder, std::string& problem);
    // Owns `folder`, a fresh one, and removes it; the copy goes in by make().
    explicit StandardInputCopy(std::filesystem::path folder);
    ~StandardInputCopy();
    StandardInputCopy(const StandardInputCopy&) = delete;
    StandardInputCopy& operator=(const StandardInputCopy&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_path;
};

// Whether a file operand names standard input.
inline bool isStandardInput(const std::string& operand) {
    return operand == "-";
}
