#include "document/ChapterCopy.h"

#include "document/BreakPointLists.h"
#include "document/Messages.h"
#include "document/OutputFile.h"
#include "document/ProgressThrottle.h"
#include "document/SameFile.h"
#include "document/SplitDocument.h"
#include "settings/PathText.h"

#include "engine/Id3v2.h"
#include "engine/PlatformFile.h"
#include "engine/PositionedRead.h"

#include <taglib/tfilestream.h>

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <vector>

namespace {

// CHAP offsets are 32-bit; this value says "not given".
constexpr std::uint32_t kNoOffset = 0xFFFFFFFF;

std::uint32_t offsetField(std::int64_t offset) {
    return offset < 0 || offset >= kNoOffset ? kNoOffset : static_cast<std::uint32_t>(offset);
}

constexpr const char* kSourceChanged = "the source file has changed since it was loaded";

// The loaded file opened again, if it still has the size and time it had at the load: the chapter
// offsets and the audio start were measured on that file, and a copy of another one would put its
// tag into the audio.
std::optional<std::string> openUnchangedSource(const SplitDocument& doc, platform::FileHandle& source) {
    source = platform::openForReading(doc.m_filePath);
    const std::optional<platform::FileStatus> now = platform::statusOf(source.get());
    if (!now) {
        return "the source file could not be read";
    }
    if (!doc.m_sourceStatus || !now->sameContentStampAs(*doc.m_sourceStatus)) {
        return kSourceChanged;
    }
    return std::nullopt;
}

// The ID3v2 tag at the start of the open file, as bytes (empty when there is none).
std::string leadingTagOf(int fd) {
    std::array<std::uint8_t, mp3::kId3v2HeaderSize> head{};
    if (mp3::readFileAt(fd, 0, head.data(), head.size()) != head.size()) {
        return {};
    }
    const std::int64_t size = mp3::id3v2TagSize(head.data());
    const std::optional<platform::FileStatus> status = platform::statusOf(fd);
    if (size <= 0 || !status || size > status->size) {
        return {};
    }
    std::string tag(static_cast<std::size_t>(size), '\0');
    const std::size_t got = mp3::readFileAt(fd, 0, reinterpret_cast<std::uint8_t*>(tag.data()), tag.size());
    tag.resize(got);
    return tag;
}

// The main frame's progress bar over the bytes of the copy, shown for as long as it lives.
class CopyProgress {
public:
    CopyProgress(WindowLink& frame, std::int64_t range) : m_frame(frame), m_throttle(range, 500) {
        m_frame.send(UM_PROGRESS_SHOW, 1, 0);
        m_frame.send(UM_PROGRESS_SET, 0, static_cast<std::intptr_t>(range));
    }
    ~CopyProgress() { m_frame.send(UM_PROGRESS_SHOW, 0, 0); }
    CopyProgress(const CopyProgress&) = delete;
    CopyProgress& operator=(const CopyProgress&) = delete;

    // The last position is always sent, so the bar ends full.
    void set(std::int64_t position, bool last) {
        if (position > 0 && (m_throttle.due(position) || (last && m_throttle.behind(position)))) {
            m_throttle.sent(position);
            m_frame.send(UM_PROGRESS_SET, static_cast<std::uintptr_t>(position), 0);
        }
    }

private:
    WindowLink& m_frame;
    ProgressThrottle m_throttle;
};

// The source's bytes from `from` to `to`, into `out`.
std::optional<std::string> copyRange(int source, std::int64_t from, std::int64_t to, AtomicFile& out,
                                     CopyProgress& progress) {
    std::vector<std::uint8_t> buffer(std::size_t{1} << 16);
    for (std::int64_t at = from; at < to;) {
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(to - at, std::ssize(buffer)));
        const std::size_t got = mp3::readFileAt(source, at, buffer.data(), wanted);
        if (got == 0) {
            return kSourceChanged;
        }
        if (!out.write(buffer.data(), got)) {
            return std::nullopt; // the file's own error says why
        }
        at += static_cast<std::int64_t>(got);
        progress.set(at - from, at >= to);
    }
    return std::nullopt;
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
    platform::FileHandle source;
    std::optional<std::string> problem = openUnchangedSource(doc, source);
    if (!problem) {
        const std::string tag = renderChapterTag(leadingTagOf(source.get()), blockChapters(doc));
        const std::int64_t audioStart = doc.m_frameOffsets.front();
        const std::int64_t end = doc.m_sourceStatus->size;
        const auto size =
            static_cast<std::uint64_t>(std::ssize(tag) + std::max<std::int64_t>(0, end - audioStart));
        CopyProgress progress(doc.m_frame, std::max<std::int64_t>(1, end - audioStart));
        problem = writeOutputFile(
            copyPath, size, doc.m_filePath, [&](AtomicFile& out) -> std::optional<std::string> {
                out.write(reinterpret_cast<const std::uint8_t*>(tag.data()), tag.size());
                if (const std::optional<std::string> copyProblem =
                        copyRange(source.get(), audioStart, end, out, progress)) {
                    return copyProblem;
                }
                // Changed in place while it was copied: the bytes may be a mix of two files.
                const std::optional<platform::FileStatus> now = platform::statusOf(source.get());
                if (!now || !now->sameContentStampAs(*doc.m_sourceStatus)) {
                    return kSourceChanged;
                }
                return std::nullopt;
            });
    }
    if (problem) {
        doc.log(LogLevel::Error, "Can not write " + pathText(copyPath) +
                                     ", the copy with chapters has not been saved! (" + *problem + ")");
        return false;
    }
    doc.log(LogLevel::Normal, "The copy with chapters has been saved to " + pathText(copyPath));
    return true;
}
