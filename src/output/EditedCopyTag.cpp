#include "output/EditedCopyTag.h"

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>

namespace {

// The tag's bytes as a file of their own for TagLib's reader; nothing is ever saved to it.
class TagBytes {
public:
    explicit TagBytes(std::string_view bytes)
        : m_bytes(bytes.data(), static_cast<unsigned int>(bytes.size())), m_stream(m_bytes),
          m_file(&m_stream, TagLib::ID3v2::FrameFactory::instance(), false) {}

    TagLib::ID3v2::Tag* tag() { return m_file.ID3v2Tag(false); }

private:
    TagLib::ByteVector m_bytes;
    TagLib::ByteVectorStream m_stream;
    TagLib::MPEG::File m_file;
};

} // namespace

bool tagHasChapters(std::string_view sourceTag) {
    if (sourceTag.empty()) {
        return false;
    }
    TagBytes bytes(sourceTag);
    const TagLib::ID3v2::Tag* tag = bytes.tag();
    return tag != nullptr && !tag->frameListMap()["CHAP"].isEmpty();
}

std::string editedCopyTag(std::string_view sourceTag, const std::vector<ChapterMark>* chapters) {
    std::string kept(sourceTag);
    if (!sourceTag.empty()) {
        TagBytes bytes(sourceTag);
        TagLib::ID3v2::Tag* tag = bytes.tag();
        if (tag == nullptr) {
            kept.clear();
        } else if (!tag->frameListMap()["TLEN"].isEmpty()) {
            tag->removeFrames("TLEN");
            const TagLib::ByteVector rendered = tag->render();
            kept.assign(rendered.data(), rendered.size());
        }
    }
    if (chapters == nullptr) {
        return kept;
    }
    return renderChapterTag(kept, *chapters);
}
