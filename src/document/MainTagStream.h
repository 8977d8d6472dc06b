#pragma once

#include <taglib/tfilestream.h>
#include <taglib/tiostream.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A read-only view of a file for TagLib in which the ID3v2 tags TagLib would read have been checked
// before TagLib parses them: a tag whose chapter frames nest deeper than TagLib's stack allows is
// shown with its chapter frames disarmed (renamed, same length), so the rest of it still reads.
// The tags looked at: the one TagLib's MPEG reader finds from the start of the file, and the ID3
// chunks of a RIFF (WAV) or AIFF file. Every TagLib reader of a file the user opens goes through it.
class MainTagStream : public TagLib::IOStream {
public:
    explicit MainTagStream(const std::filesystem::path& path);

    // True when the file's tag nested its chapters too deep and is seen without them.
    bool chaptersDisarmed() const { return !m_patches.empty(); }
    // The level-2 line that says so.
    std::string disarmedText() const;

    TagLib::FileName name() const override { return m_file.name(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long = 0, unsigned long = 0) override {}
    void removeBlock(unsigned long = 0, unsigned long = 0) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return m_file.isOpen(); }
    void seek(long offset, Position p = Beginning) override { m_file.seek(offset, p); }
    void clear() override { m_file.clear(); }
    long tell() const override { return m_file.tell(); }
    long length() override { return m_file.length(); }
    void truncate(long) override {}

private:
    // A disarmed tag, shown in place of the file's bytes at `at`.
    struct Patch {
        long at = 0;
        std::vector<std::uint8_t> bytes;
    };

    // Where the ID3v2 tag that TagLib's MPEG reader takes starts (the first "ID3" before the first
    // frame it trusts), or -1.
    long findMpegTag();
    // The offsets of the ID3 chunks of a RIFF or AIFF file.
    std::vector<long> findChunkTags(bool bigEndianSizes);
    // Checks the tag at `at` and records its disarmed bytes when it nests too deep.
    void checkTagAt(long at);

    std::filesystem::path m_path;
    TagLib::FileStream m_file;
    std::vector<Patch> m_patches;
};
