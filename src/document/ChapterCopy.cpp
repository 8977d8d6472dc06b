#include "document/ChapterCopy.h"

#include "document/BreakPointLists.h"
#include "document/OutputFile.h"
#include "document/SameFile.h"
#include "document/SplitDocument.h"
#include "settings/PathText.h"

#include "engine/Id3v2.h"

#include <taglib/tfilestream.h>

#include <array>
#include <fstream>
#include <limits>

namespace {

// CHAP offsets are 32-bit; this value says "not given".
constexpr std::uint32_t kNoOffset = 0xFFFFFFFF;

std::uint32_t offsetField(std::int64_t offset) {
    return offset < 0 || offset >= kNoOffset ? kNoOffset : static_cast<std::uint32_t>(offset);
}

// The source's bytes from `from` to its end, into `out`.
bool copyTail(const std::filesystem::path& source, std::int64_t from, std::ostream& out) {
    std::ifstream in(source, std::ios::binary);
    if (!in.seekg(from)) {
        return false;
    }
    std::array<char, 1 << 16> buffer{};
    while (in) {
        in.read(buffer.data(), buffer.size());
        out.write(buffer.data(), in.gcount());
        if (!out) {
            return false;
        }
    }
    return in.eof();
}

} // namespace

std::string readLeadingTag(const std::filesystem::path& path) {
    TagLib::FileStream stream(path.c_str(), true);
    if (!stream.isOpen()) {
        return {};
    }
    const TagLib::ByteVector head = stream.readBlock(mp3::kId3v2HeaderSize);
    if (head.size() < static_cast<unsigned int>(mp3::kId3v2HeaderSize)) {
        return {};
    }
    const std::int64_t size = mp3::id3v2TagSize(reinterpret_cast<const std::uint8_t*>(head.data()));
    if (size <= 0 || size > stream.length()) {
        return {};
    }
    stream.seek(0);
    const TagLib::ByteVector tag = stream.readBlock(static_cast<unsigned long>(size));
    return std::string(tag.data(), tag.size());
}

std::string chapterImportProblem(const std::filesystem::path& path, const Parsed<TimedList>& chapters) {
    return chapters ? "The mp3 file " + pathText(path) + " has no chapters to import!"
                    : "The chapters of " + pathText(path) + " can not be read: " + chapters.describe() + "!";
}

Parsed<TimedList> readFileChapters(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return FormatError{0, "it is not a regular file"};
    }
    return parseChapterTag(readLeadingTag(path));
}

bool importFileChapters(SplitDocument& doc, bool replace) {
    const Parsed<TimedList> chapters = readFileChapters(doc.m_filePath);
    if (!chapters || chapters.value().entries.empty()) {
        doc.log(LogLevel::Error, chapterImportProblem(doc.m_filePath, chapters));
        return false;
    }
    return importTimedList(doc, chapters.value(), replace, "the chapters of " + pathText(doc.m_filePath));
}

std::vector<ChapterMark> blockChapters(const SplitDocument& doc) {
    const FrameTimeline timeline = documentTimeline(doc);
    const TimedList names = blockList(doc, timeline);
    const std::vector<int> starts = blockStartFrames(doc);
    const int frames = doc.frameCount();
    const bool haveOffsets = doc.m_frameOffsets.size() == static_cast<std::size_t>(frames) &&
                             doc.m_frameLengths.size() == static_cast<std::size_t>(frames) && frames > 0;
    const auto byteAt = [&](int frame) -> std::uint32_t {
        if (!haveOffsets) {
            return kNoOffset;
        }
        const auto index = static_cast<std::size_t>(frame);
        const std::int64_t offset = frame < frames
                                        ? doc.m_frameOffsets[index]
                                        : doc.m_frameOffsets[index - 1] + doc.m_frameLengths[index - 1];
        return offsetField(offset - doc.m_frameOffsets.front());
    };
    std::vector<ChapterMark> marks;
    for (std::size_t block = 0; block < starts.size(); ++block) {
        const int end = block + 1 < starts.size() ? starts[block + 1] : frames;
        ChapterMark mark;
        mark.startSeconds = timeline.frameStart(starts[block]);
        mark.endSeconds = timeline.frameStart(end);
        mark.startOffset = byteAt(starts[block]);
        mark.endOffset = byteAt(end);
        mark.title = names.entries[block].title;
        mark.performer = names.entries[block].performer;
        marks.push_back(std::move(mark));
    }
    return marks;
}

bool saveCopyWithChapters(SplitDocument& doc, const std::filesystem::path& copyPath) {
    if (doc.m_loadThread || doc.frameCount() < 1 || doc.m_frameOffsets.empty()) {
        return false;
    }
    // Creating the copy would truncate the very file it is made from.
    if (namesSameFile(copyPath, doc.m_filePath)) {
        doc.m_prompts.messageBox("The copy with chapters can not replace the mp3 file it is made from, "
                                 "please choose another name!",
                                 "Error", MessageIcon::Error);
        return false;
    }
    const std::string tag = renderChapterTag(readLeadingTag(doc.m_filePath), blockChapters(doc));
    const std::int64_t audioStart = doc.m_frameOffsets.front();
    const bool written = writeOutputFile(copyPath, [&](std::ostream& out) {
        out.write(tag.data(), static_cast<std::streamsize>(tag.size()));
        return out && copyTail(doc.m_filePath, audioStart, out);
    });
    if (!written) {
        doc.log(LogLevel::Error,
                "Can not write " + pathText(copyPath) + ", the copy with chapters has not been saved!");
        return false;
    }
    doc.log(LogLevel::Normal, "The copy with chapters has been saved to " + pathText(copyPath));
    return true;
}
