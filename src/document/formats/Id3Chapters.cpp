#include "document/formats/Id3Chapters.h"

#include "engine/Id3v2Nesting.h"

#include <taglib/chapterframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tableofcontentsframe.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A file of the tag's bytes alone, for TagLib's tag reader; nothing is ever saved to it. A tag whose
// chapter frames nest deeper than TagLib's parser can take is read with them disarmed.
class TagBytesFile {
public:
    explicit TagBytesFile(std::string_view bytes)
        : m_bytes(bytes.data(), static_cast<unsigned int>(bytes.size())), m_disarmed(disarm(m_bytes)),
          m_stream(m_bytes), m_file(&m_stream, TagLib::ID3v2::FrameFactory::instance(), false) {}

    // The tag, created empty when the bytes hold none.
    TagLib::ID3v2::Tag& tag() { return *m_file.ID3v2Tag(true); }
    bool disarmed() const { return m_disarmed; }

private:
    static bool disarm(TagLib::ByteVector& bytes) {
        auto* data = reinterpret_cast<std::uint8_t*>(bytes.data());
        if (mp3::chapterNestingWithinLimit(data, bytes.size())) {
            return false;
        }
        mp3::disarmChapterFrames(data, bytes.size());
        return true;
    }

    TagLib::ByteVector m_bytes;
    const bool m_disarmed;
    TagLib::ByteVectorStream m_stream;
    TagLib::MPEG::File m_file;
};

std::string embeddedText(const TagLib::ID3v2::ChapterFrame& chapter, const char* id) {
    const TagLib::ID3v2::FrameList& frames = chapter.embeddedFrameList(id);
    return frames.isEmpty() ? std::string() : frames.front()->toString().to8Bit(true);
}

TagLib::ID3v2::Frame* textFrame(const char* id, const std::string& text) {
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
    frame->setText(TagLib::String(text, TagLib::String::UTF8));
    return frame;
}

// The most entries a CTOC can list.
constexpr std::size_t kMaxTableEntries = 255;

TagLib::ByteVectorList listOf(const std::vector<TagLib::ByteVector>& ids, std::size_t first,
                              std::size_t end) {
    TagLib::ByteVectorList list;
    for (std::size_t i = first; i < end; ++i) {
        list.append(ids[i]);
    }
    return list;
}

unsigned int milliseconds(double seconds) {
    return static_cast<unsigned int>(std::llround(std::max(seconds, 0.0) * 1000.0));
}

// An offset counted from the first frame, moved behind the tag; "not given" stays so.
unsigned int inCopy(std::uint32_t offset, std::uint32_t tagSize) {
    constexpr std::uint32_t kNoOffset = 0xFFFFFFFF;
    return offset == kNoOffset || offset > kNoOffset - tagSize ? kNoOffset : offset + tagSize;
}

} // namespace

Parsed<TimedList> parseChapterTag(std::string_view tagBytes) {
    TagBytesFile file(tagBytes);
    if (file.disarmed()) {
        return FormatError{0, "its chapters nest deeper than " + std::to_string(mp3::kMaxChapterNesting) +
                                  " levels"};
    }
    TimedList list;
    for (const TagLib::ID3v2::Frame* frame : file.tag().frameListMap()["CHAP"]) {
        const auto* chapter = dynamic_cast<const TagLib::ID3v2::ChapterFrame*>(frame);
        if (chapter == nullptr) {
            continue;
        }
        list.entries.push_back(TimedEntry{chapter->startTime() / 1000.0, embeddedText(*chapter, "TIT2"),
                                          embeddedText(*chapter, "TPE1"), 0});
    }
    std::stable_sort(list.entries.begin(), list.entries.end(),
                     [](const TimedEntry& a, const TimedEntry& b) { return a.seconds < b.seconds; });
    return list;
}

std::string renderChapterTag(std::string_view sourceTag, const std::vector<ChapterMark>& chapters) {
    TagBytesFile file(sourceTag);
    TagLib::ID3v2::Tag& tag = file.tag();
    const auto removeChapters = [&] {
        tag.removeFrames("CHAP");
        tag.removeFrames("CTOC");
        if (file.disarmed()) {
            tag.removeFrames(mp3::kDisarmedChapterId);
            tag.removeFrames(mp3::kDisarmedTocId);
        }
    };

    // The offsets count from the start of the copy, which begins with this tag: render once to learn
    // its size (the offset fields have a fixed width), then again with the offsets moved by it.
    std::uint32_t tagSize = 0;
    TagLib::ByteVector rendered;
    for (int pass = 0; pass < 3; ++pass) {
        removeChapters();
        std::vector<TagLib::ByteVector> children;
        for (std::size_t i = 0; i < chapters.size(); ++i) {
            const ChapterMark& mark = chapters[i];
            const TagLib::ByteVector id(("chp" + std::to_string(i)).c_str());
            TagLib::ID3v2::FrameList embedded;
            // Players show the element id of a chapter without a title.
            embedded.append(
                textFrame("TIT2", mark.title.empty() ? "Chapter " + std::to_string(i + 1) : mark.title));
            if (!mark.performer.empty()) {
                embedded.append(textFrame("TPE1", mark.performer));
            }
            tag.addFrame(new TagLib::ID3v2::ChapterFrame(
                id, milliseconds(mark.startSeconds), milliseconds(mark.endSeconds),
                inCopy(mark.startOffset, tagSize), inCopy(mark.endOffset, tagSize), embedded));
            children.push_back(id);
        }
        // A CTOC counts its entries in one byte: longer lists go into tables of tables.
        int tables = 0;
        while (children.size() > kMaxTableEntries) {
            std::vector<TagLib::ByteVector> parents;
            for (std::size_t first = 0; first < children.size(); first += kMaxTableEntries) {
                const TagLib::ByteVector id(("toc" + std::to_string(++tables)).c_str());
                const std::size_t end = std::min(first + kMaxTableEntries, children.size());
                auto* table = new TagLib::ID3v2::TableOfContentsFrame(id, listOf(children, first, end));
                table->setIsOrdered(true);
                tag.addFrame(table);
                parents.push_back(id);
            }
            children = std::move(parents);
        }
        auto* toc = new TagLib::ID3v2::TableOfContentsFrame("toc", listOf(children, 0, children.size()));
        toc->setIsTopLevel(true);
        toc->setIsOrdered(true);
        tag.addFrame(toc);
        rendered = tag.render();
        if (rendered.size() == tagSize) {
            break;
        }
        tagSize = rendered.size();
    }
    return std::string(rendered.data(), rendered.size());
}
