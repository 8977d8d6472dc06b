#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

// The input of one run, written to a file of this process's own (the code under test reads paths).
inline std::filesystem::path writeScratchFile(const char* name, const std::uint8_t* data, std::size_t size) {
    const auto path =
        std::filesystem::temp_directory_path() / (std::string(name) + "-" + std::to_string(getpid()));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}
