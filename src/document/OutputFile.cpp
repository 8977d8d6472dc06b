#include "document/OutputFile.h"

#include "engine/PlatformFile.h"

std::optional<std::string>
writeOutputFile(const std::filesystem::path& path, std::uint64_t size, const std::filesystem::path& source,
                const std::function<std::optional<std::string>(AtomicFile&)>& fill) {
    const std::filesystem::path folder = path.parent_path();
    if (const std::optional<std::uint64_t> free = platform::freeSpace(folder.empty() ? "." : folder);
        free && size > *free) {
        return "not enough free space: " + std::to_string(size) + " Bytes are needed, " +
               std::to_string(*free) + " Bytes are free";
    }
    AtomicFile out(path, AtomicFile::Existing::Replace, source);
    if (!out.isOpen()) {
        return out.error();
    }
    if (const std::optional<std::string> problem = fill(out)) {
        out.fail(*problem);
    }
    if (!out.commit()) {
        return out.error();
    }
    return std::nullopt;
}

std::optional<std::string> writeOutputFile(const std::filesystem::path& path, const std::string& bytes,
                                           const std::filesystem::path& source) {
    return writeOutputFile(path, bytes.size(), source, [&](AtomicFile& out) -> std::optional<std::string> {
        out.write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        return std::nullopt;
    });
}
