#include "document/formats/Id3Chapters.h"

#include <taglib/chapterframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tableofcontentsframe.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <cmath>

namespace {

// A file of the tag's bytes alone, for TagLib's tag reader; nothing is ever saved to it.
class TagBytesFile {
public:
    explicit TagBytesFile(std::string_view bytes)
        : m_bytes(bytes.data(), static_cast<unsigned int>(bytes.size())), m_stream(m_bytes),
          m_file(&m_stream, TagLib::ID3v2::FrameFactory::instance(), false) {}

    // The tag, created empty when the bytes hold none.
    TagLib::ID3v2::Tag& tag() { return *m_file.ID3v2Tag(true); }

private:
    TagLib::ByteVector m_bytes;
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
    tag.removeFrames("CHAP");
    tag.removeFrames("CTOC");

    // The offsets count from the start of the copy, which begins with this tag: render once to learn
    // its size (the offset fields have a fixed width), then again with the offsets moved by it.
    std::uint32_t tagSize = 0;
    TagLib::ByteVector rendered;
    for (int pass = 0; pass < 3; ++pass) {
        tag.removeFrames("CHAP");
        tag.removeFrames("CTOC");
        TagLib::ByteVectorList children;
        for (std::size_t i = 0; i < chapters.size(); ++i) {
            const ChapterMark& mark = chapters[i];
            const TagLib::ByteVector id(("chp" + std::to_string(i)).c_str());
            TagLib::ID3v2::FrameList embedded;
            if (!mark.title.empty()) {
                embedded.append(textFrame("TIT2", mark.title));
            }
            if (!mark.performer.empty()) {
                embedded.append(textFrame("TPE1", mark.performer));
            }
            tag.addFrame(new TagLib::ID3v2::ChapterFrame(
                id, milliseconds(mark.startSeconds), milliseconds(mark.endSeconds),
                inCopy(mark.startOffset, tagSize), inCopy(mark.endOffset, tagSize), embedded));
            children.append(id);
        }
        auto* toc = new TagLib::ID3v2::TableOfContentsFrame("toc", children);
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
