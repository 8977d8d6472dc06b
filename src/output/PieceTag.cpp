#include "output/PieceTag.h"

#include "document/MainTagStream.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tstring.h>

bool applyBlockTag(const std::filesystem::path& piecePath, const ID3Info& tag) {
    // A piece holds only copied frames, but TagLib looks for a tag up to the first two frames it trusts,
    // so a one-frame piece may show it one from the source's frame data: never let TagLib parse one
    // that nests its chapters too deep.
    if (MainTagStream(piecePath).chaptersDisarmed()) {
        return false;
    }
    TagLib::FileRef file(piecePath.c_str(), true, TagLib::AudioProperties::Average);
    if (file.isNull() || file.tag() == nullptr) {
        return false;
    }
    TagLib::Tag* fields = file.tag();
    fields->setAlbum(TagLib::String(tag.album, TagLib::String::UTF8));
    fields->setArtist(TagLib::String(tag.artist, TagLib::String::UTF8));
    fields->setComment(TagLib::String(tag.comment, TagLib::String::UTF8));
    fields->setTitle(TagLib::String(tag.title, TagLib::String::UTF8));
    fields->setYear(tag.year > 0 ? static_cast<unsigned>(tag.year) : 0u);
    return file.save();
}

bool typedText(const std::string& text) {
    return !text.empty();
}

bool typedYear(int year) {
    return year > 0 && year != ID3Info{}.year;
}

ID3Info typedOver(const ID3Info& source, const ID3Info& blockTag) {
    ID3Info info = source;
    for (auto field : {&ID3Info::album, &ID3Info::artist, &ID3Info::title, &ID3Info::comment}) {
        if (typedText(blockTag.*field)) {
            info.*field = blockTag.*field;
        }
    }
    if (typedYear(blockTag.year)) {
        info.year = blockTag.year;
    }
    return info;
}
