#include "document/OutputFile.h"
#include "document/SameFile.h"
#include "document/SplitDocument.h"
#include "settings/PathText.h"

#include <fstream>
#include <iterator>

// A break point file is a bare sequence of signed 32-bit little-endian frame numbers.

void SplitDocument::saveBreakPointFile(const std::filesystem::path& path) {
    if (m_loadThread) {
        return;
    }
    // Replacing the loaded mp3 would destroy the file every reader, the player and the savers use.
    if (!m_filePath.empty() && namesSameFile(path, m_filePath)) {
        log(LogLevel::Error,
            "Break points could not be saved to file " + pathText(path) + ", it is the loaded mp3 file");
        return;
    }
    std::string bytes;
    bytes.reserve(m_breakPoints.size() * 4);
    for (const BreakPoint value : m_breakPoints) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<char>((bits >> shift) & 0xFF));
        }
    }
    // A failed or short write must not look like a saved list.
    if (const std::optional<std::string> problem = writeOutputFile(path, bytes, m_filePath)) {
        log(LogLevel::Error, "Break points could not be saved to file " + pathText(path) +
                                 (*problem == AtomicFile::kNotRegular ? ", " + *problem : ""));
        return;
    }
    log(LogLevel::Normal, "Break points saved to file " + pathText(path));
}

void SplitDocument::loadBreakPointFile(const std::filesystem::path& path) {
    if (refuseListChange()) {
        return;
    }
    // A device or pipe such as /dev/zero never ends and would fill the list without bound.
    std::error_code error;
    if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error)) {
        log(LogLevel::Error,
            "Break points could not be loaded from file " + pathText(path) + ", it is not a regular file");
        return;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return;
    }
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    in.close();
    const auto frames = static_cast<std::uint32_t>(frameCount());
    const EditStep step(*this, "load break points from file " + pathText(path));
    // Trailing bytes that do not make a whole value are ignored.
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
        const std::uint32_t bits = bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                                   (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
        if (bits < frames) {
            appendBreakPoint(static_cast<BreakPoint>(bits));
        }
    }
    invalidateView();
    log(LogLevel::Normal, "Break points loaded from file " + pathText(path));
}
