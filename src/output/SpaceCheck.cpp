#include "output/SpaceCheck.h"

#include "engine/PlatformFile.h"
#include "settings/PathText.h"

std::optional<std::string> spaceProblem(const std::filesystem::path& folder, std::uint64_t bytes) {
    const std::optional<std::uint64_t> free = platform::freeSpace(folder.empty() ? "." : folder);
    if (!free || bytes <= *free) {
        return std::nullopt;
    }
    return "Not enough free space in " + pathText(folder) + ": the pieces need " + std::to_string(bytes) +
           " Bytes, " + std::to_string(*free) + " Bytes are free, nothing has been saved";
}
