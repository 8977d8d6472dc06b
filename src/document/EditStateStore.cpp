#include "document/EditStateStore.h"

#include "settings/PathText.h"

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

namespace {

constexpr const char* kRecordExtension = ".json";

// One spelling per file, so the same file opened by another spelling finds its record.
std::filesystem::path keyPath(const std::filesystem::path& source) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(source, error);
    return (error ? source : absolute).lexically_normal();
}

// FNV-1a over the path's bytes: a short, stable file name. Two paths with one name share a record;
// recall tells them apart by the path inside.
std::string recordName(const std::filesystem::path& key) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : key.native()) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char name[17];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
    return std::string(name) + kRecordExtension;
}

} // namespace

EditStateStore::EditStateStore(std::filesystem::path folder, std::size_t bound)
    : m_folder(std::move(folder)), m_bound(std::max<std::size_t>(bound, 1)) {}

std::filesystem::path EditStateStore::recordPath(const std::filesystem::path& source) const {
    return m_folder / recordName(keyPath(source));
}

std::optional<Project> EditStateStore::recall(const std::filesystem::path& source, std::int64_t size,
                                              std::int64_t modifiedNs) const {
    const std::filesystem::path key = keyPath(source);
    std::error_code error;
    if (!std::filesystem::is_regular_file(recordPath(key), error)) {
        return std::nullopt;
    }
    // A damaged record is as good as none; the next state written replaces it.
    ProjectParse parse = readProjectFile(recordPath(key));
    if (!parse.project) {
        return std::nullopt;
    }
    const ProjectSource& held = parse.project->source;
    if (keyPath(held.path) != key || held.size != size || held.modifiedNs != modifiedNs ||
        !parse.project->holdsEdits()) {
        return std::nullopt;
    }
    return std::move(parse.project);
}

std::string EditStateStore::remember(const Project& state) {
    if (!state.holdsEdits()) {
        forget(state.source.path);
        return {};
    }
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    if (error) {
        return "the folder " + pathText(m_folder) + " could not be made: " + error.message();
    }
    Project keyed = state;
    keyed.source.path = keyPath(state.source.path);
    const std::filesystem::path record = recordPath(keyed.source.path);
    if (std::string failure = writeProjectFile(record, keyed); !failure.empty()) {
        return failure;
    }
    trimToBound(record);
    return {};
}

void EditStateStore::forget(const std::filesystem::path& source) {
    std::error_code ignored;
    std::filesystem::remove(recordPath(source), ignored);
}

void EditStateStore::trimToBound(const std::filesystem::path& keep) {
    struct Record {
        std::filesystem::path path;
        std::filesystem::file_time_type written;
    };
    std::vector<Record> records;
    std::error_code error;
    for (std::filesystem::directory_iterator it(m_folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::filesystem::path& path = it->path();
        std::error_code entryError;
        if (path.extension() != kRecordExtension || !it->is_regular_file(entryError) || path == keep) {
            continue;
        }
        const auto written = it->last_write_time(entryError);
        if (!entryError) {
            records.push_back({path, written});
        }
    }
    // The record just written is the newest; the others make room for it, oldest first.
    if (records.size() + 1 <= m_bound) {
        return;
    }
    std::sort(records.begin(), records.end(),
              [](const Record& a, const Record& b) { return a.written < b.written; });
    const std::size_t excess = records.size() + 1 - m_bound;
    for (std::size_t i = 0; i < excess; ++i) {
        std::error_code ignored;
        std::filesystem::remove(records[i].path, ignored);
    }
}
