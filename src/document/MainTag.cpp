#include "document/MainTag.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tstring.h>

ID3Info readMainTag(const std::filesystem::path& path) {
    ID3Info info;
    const TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Average);
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
