#include "output/SourceTags.h"

#include "document/MainTagStream.h"
#include "engine/Id3v2Nesting.h"
#include "output/PieceTag.h"

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>

#include <algorithm>
#include <memory>

namespace {

// Frames that describe the whole source, not a piece of it, and the track number every piece gets anew.
bool leftOut(const TagLib::ByteVector& id) {
    return id == "TLEN" || id == "CHAP" || id == "CTOC" || id == "TRCK";
}

std::string utf8(const TagLib::String& text) {
    return text.to8Bit(true);
}

TagLib::String tagText(const std::string& text) {
    return TagLib::String(text, TagLib::String::UTF8);
}

std::vector<std::uint8_t> bytesOf(const TagLib::ByteVector& data) {
    return {reinterpret_cast<const std::uint8_t*>(data.data()),
            reinterpret_cast<const std::uint8_t*>(data.data()) + data.size()};
}

// The frames of a tag as they stand in a version 2.4 tag, the version the pieces' tags are written in.
// The tag renders them: a frame read from a version 2.3 tag renders with its plain 2.3 size on its own,
// which a 2.4 reader takes for a syncsafe one. TagLib's writer also leaves out the frames it can not
// carry into 2.4 (three-letter ids, obsolete frames).
std::vector<std::vector<std::uint8_t>> framesInV4(TagLib::ID3v2::Tag& tag) {
    const TagLib::ByteVector rendered = tag.render(TagLib::ID3v2::v4);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(rendered.data());
    const std::size_t size = rendered.size();
    std::vector<std::vector<std::uint8_t>> frames;
    std::size_t position = 10; // past the header; TagLib writes no extended header
    while (position + 10 <= size && bytes[position] != 0) {
        std::size_t length = 0;
        for (std::size_t i = 4; i < 8; ++i) {
            length = length << 7 | (bytes[position + i] & 0x7Fu);
        }
        const std::size_t end = std::min(size, position + 10 + length);
        frames.emplace_back(bytes + position, bytes + end);
        position = end;
    }
    return frames;
}

// The fields of the block tag the user typed, over whatever the tag holds.
void setTypedFields(TagLib::Tag& tag, const ID3Info& typed) {
    if (typedText(typed.title)) {
        tag.setTitle(tagText(typed.title));
    }
    if (typedText(typed.artist)) {
        tag.setArtist(tagText(typed.artist));
    }
    if (typedText(typed.album)) {
        tag.setAlbum(tagText(typed.album));
    }
    if (typedText(typed.comment)) {
        tag.setComment(tagText(typed.comment));
    }
    if (typedYear(typed.year)) {
        tag.setYear(static_cast<unsigned>(typed.year));
    }
}

} // namespace

SourceTags::SourceTags(const std::filesystem::path& source) {
    MainTagStream stream(source);
    if (!stream.isOpen()) {
        return;
    }
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), /*readProperties=*/false);
    if (!file.isValid()) {
        return;
    }
    TagLib::PropertyMap present;
    if (file.hasID3v2Tag()) {
        // The tag is the file object's own copy in memory; nothing is saved.
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        // (A copy of TagLib's frame list would share its ownership of the frames.)
        std::vector<TagLib::ID3v2::Frame*> dropped;
        for (TagLib::ID3v2::Frame* frame : tag->frameList()) {
            const TagLib::ByteVector id = frame->frameID();
            const bool disarmed =
                stream.chaptersDisarmed() && (id == mp3::kDisarmedChapterId || id == mp3::kDisarmedTocId);
            if (leftOut(id) || disarmed) {
                dropped.push_back(frame);
            }
        }
        for (TagLib::ID3v2::Frame* frame : dropped) {
            tag->removeFrame(frame);
        }
        m_frames = framesInV4(*tag);
        present = tag->properties();
    }
    // What only the APEv2 or ID3v1 tag says (all of it for a source without an ID3v2 tag), as ID3v2
    // frames; the pieces get their own track numbers.
    TagLib::PropertyMap carried;
    // (TagLib's Tag::properties is not virtual: each tag is asked as what it is.)
    const TagLib::PropertyMap otherFields[] = {
        file.hasAPETag() ? file.APETag()->properties() : TagLib::PropertyMap(),
        file.hasID3v1Tag() ? file.ID3v1Tag()->properties() : TagLib::PropertyMap()};
    for (const TagLib::PropertyMap& fields : otherFields) {
        for (auto field = fields.begin(); field != fields.end(); ++field) {
            if (field->first != "TRACKNUMBER" && !present.contains(field->first) &&
                !carried.contains(field->first)) {
                carried.insert(field->first, field->second);
            }
        }
    }
    if (!carried.isEmpty()) {
        TagLib::ID3v2::Tag converted;
        converted.setProperties(carried);
        for (std::vector<std::uint8_t>& frame : framesInV4(converted)) {
            m_frames.push_back(std::move(frame));
        }
    }
    m_hasId3v1 = file.hasID3v1Tag();
    const TagLib::Tag* fields = file.tag();
    if (fields != nullptr) {
        m_info.title = utf8(fields->title());
        m_info.artist = utf8(fields->artist());
        m_info.album = utf8(fields->album());
        m_info.comment = utf8(fields->comment());
        m_info.year = static_cast<int>(fields->year());
        m_genre = utf8(fields->genre());
    }
}

ID3Info SourceTags::pieceInfo(const ID3Info* blockTag) const {
    return blockTag != nullptr ? typedOver(m_info, *blockTag) : m_info;
}

std::vector<std::uint8_t> SourceTags::id3v2(int number, int count, const ID3Info* blockTag) const {
    TagLib::ID3v2::Tag tag;
    TagLib::ID3v2::Header header;
    header.setMajorVersion(4);
    const TagLib::ID3v2::FrameFactory* factory = TagLib::ID3v2::FrameFactory::instance();
    for (const std::vector<std::uint8_t>& rendered : m_frames) {
        const TagLib::ByteVector data(reinterpret_cast<const char*>(rendered.data()),
                                      static_cast<unsigned>(rendered.size()));
        if (TagLib::ID3v2::Frame* frame = factory->createFrame(data, &header)) {
            tag.addFrame(frame); // the tag owns it
        }
    }
    auto track = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>("TRCK", TagLib::String::Latin1);
    track->setText(std::to_string(number + 1) + "/" + std::to_string(count));
    tag.addFrame(track.release());
    if (blockTag != nullptr) {
        setTypedFields(tag, *blockTag);
    }
    return bytesOf(tag.render(TagLib::ID3v2::v4));
}

std::vector<std::uint8_t> SourceTags::id3v1(int number, const ID3Info* blockTag) const {
    if (!m_hasId3v1) {
        return {};
    }
    const ID3Info info = pieceInfo(blockTag);
    TagLib::ID3v1::Tag tag;
    tag.setTitle(tagText(info.title));
    tag.setArtist(tagText(info.artist));
    tag.setAlbum(tagText(info.album));
    tag.setComment(tagText(info.comment));
    tag.setYear(info.year > 0 ? static_cast<unsigned>(info.year) : 0u);
    tag.setGenre(tagText(m_genre));
    tag.setTrack(static_cast<unsigned>(number + 1));
    return bytesOf(tag.render());
}
