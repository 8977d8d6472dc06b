#include "document/MainTag.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tfilestream.h>
#include <taglib/tstring.h>

ID3Info readMainTag(const std::filesystem::path& path) {
    ID3Info info;
    // Through a read-only stream: a FileRef on the path alone would open the user's file for writing.
    TagLib::FileStream stream(path.c_str(), true);
    if (!stream.isOpen()) {
        return info;
    }
    const TagLib::FileRef file(&stream, true, TagLib::AudioProperties::Average);
    const TagLib::Tag* tag = file.isNull() ? nullptr : file.tag();
    if (tag == nullptr) {
        return info;
    }
    info.album = tag->album().to8Bit(true);
    info.artist = tag->artist().to8Bit(true);
    info.comment = tag->comment().to8Bit(true);
    info.title = tag->title().to8Bit(true);
    info.year = static_cast<int>(tag->year());
    return info;
}
