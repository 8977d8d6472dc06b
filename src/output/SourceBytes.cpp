#include "output/SourceBytes.h"

#include "engine/PositionedRead.h"

SourceBytes::SourceBytes(const std::filesystem::path& path) : m_file(platform::openForReading(path)) {
    if (const auto status = platform::statusOf(m_file.get())) {
        m_openedAs = *status;
    }
}

SourceBytes::~SourceBytes() = default;

std::size_t SourceBytes::readAt(std::int64_t offset, std::uint8_t* out, std::size_t count) const {
    return mp3::readFileAt(m_file.get(), offset, out, count);
}

std::int64_t SourceBytes::size() const {
    const auto status = platform::statusOf(m_file.get());
    return status ? status->size : -1;
}

bool SourceBytes::unchangedSince(const platform::FileStatus& loaded) const {
    const auto now = platform::statusOf(m_file.get());
    return now && now->sameContentStampAs(loaded);
}
