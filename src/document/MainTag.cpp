#include "document/MainTag.h"

#include "document/MainTagStream.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tstring.h>

ID3Info readMainTag(const std::filesystem::path& path, std::string* problem) {
    ID3Info info;
    // Through a read-only stream: a FileRef on the path alone would open the user's file for writing.
    MainTagStream stream(path);
    if (!stream.isOpen()) {
        return info;
    }
    if (stream.chaptersDisarmed() && problem != nullptr) {
        *problem = stream.disarmedText();
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
