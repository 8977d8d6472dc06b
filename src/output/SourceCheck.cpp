#include "output/SourceCheck.h"

#include "output/SourceBytes.h"
#include "output/SourceFrames.h"

bool sourceUnchanged(const SourceFrames& frames, const std::optional<platform::FileStatus>& loaded) {
    const SourceBytes& file = frames.file();
    return file.isOpen() && file.unchangedSince(loaded ? *loaded : file.openedAs());
}
