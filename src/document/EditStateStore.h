#pragma once

#include "document/formats/ProjectFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// The last edit state of every file the program opened, one project file per source in a folder of
// the user's data (never beside the source). A record answers only for the same path, size and
// modification time: a file changed since has other frames, and its old break points would cut it
// in the wrong places. Only the newest records are kept.
class EditStateStore {
public:
    static constexpr std::size_t kDefaultBound = 200;

    explicit EditStateStore(std::filesystem::path folder, std::size_t bound = kDefaultBound);

    // The state remembered for this file; nothing when none is, when the record is for the same path
    // at another size or time, or when the record is damaged.
    std::optional<Project> recall(const std::filesystem::path& source, std::int64_t size,
                                  std::int64_t modifiedNs) const;

    // Remembers `state` for its source (replacing what was remembered for that path), written
    // atomically; a state without edits forgets the path instead. Then drops the oldest records beyond
    // the bound. The reason when it failed, else empty.
    std::string remember(const Project& state);

    // Forgets what is remembered for `source`.
    void forget(const std::filesystem::path& source);

    const std::filesystem::path& folder() const { return m_folder; }
    // The record file that holds the state of `source`.
    std::filesystem::path recordPath(const std::filesystem::path& source) const;

private:
    void trimToBound(const std::filesystem::path& keep);

    std::filesystem::path m_folder;
    std::size_t m_bound;
};
