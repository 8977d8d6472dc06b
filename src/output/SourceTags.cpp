#include "output/SourceTags.h"

#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfilestream.h>

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

void setFields(TagLib::Tag& tag, const ID3Info& info) {
    tag.setTitle(tagText(info.title));
    tag.setArtist(tagText(info.artist));
    tag.setAlbum(tagText(info.album));
    tag.setComment(tagText(info.comment));
    tag.setYear(info.year > 0 ? static_cast<unsigned>(info.year) : 0u);
}

} // namespace

SourceTags::SourceTags(const std::filesystem::path& source) {
    TagLib::FileStream stream(source.c_str(), /*openReadOnly=*/true);
    if (!stream.isOpen()) {
        return;
    }
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), /*readProperties=*/false);
    if (!file.isValid()) {
        return;
    }
    if (file.hasID3v2Tag()) {
        const TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        for (const TagLib::ID3v2::Frame* frame : tag->frameList()) {
            if (!leftOut(frame->frameID())) {
                m_frames.push_back(bytesOf(frame->render()));
            }
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
    return blockTag != nullptr ? *blockTag : m_info;
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
        setFields(tag, *blockTag);
    }
    return bytesOf(tag.render(TagLib::ID3v2::v4));
}

std::vector<std::uint8_t> SourceTags::id3v1(int number, const ID3Info* blockTag) const {
    if (!m_hasId3v1) {
        return {};
    }
    TagLib::ID3v1::Tag tag;
    setFields(tag, pieceInfo(blockTag));
    tag.setGenre(tagText(m_genre));
    tag.setTrack(static_cast<unsigned>(number + 1));
    return bytesOf(tag.render());
}
