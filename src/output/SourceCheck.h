#pragma once

#include "engine/PlatformFile.h"

#include <optional>

class SourceFrames;

// Why a piece of a source that changed under the save is not written.
inline constexpr const char* kSourceChanged = "the source file has changed since it was loaded";

// Whether the source still has the size and modification time it had at the load (`loaded`), or,
// without that, when the frames were walked: pieces copied from a file changed in place would hold
// other bytes than the frames the break points were set on.
bool sourceUnchanged(const SourceFrames& frames, const std::optional<platform::FileStatus>& loaded);
