#include "document/OutputFile.h"

#include <fstream>

bool writeOutputFile(const std::filesystem::path& path, const std::function<bool(std::ostream&)>& fill) {
    std::ofstream out(path, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!out) {
        return false;
    }
    const bool filled = fill(out);
    out.close();
    return filled && static_cast<bool>(out);
}

bool writeOutputFile(const std::filesystem::path& path, const std::string& bytes) {
    return writeOutputFile(path, [&](std::ostream& out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out);
    });
}
