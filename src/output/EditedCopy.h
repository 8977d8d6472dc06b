#pragma once

#include "document/DocumentTypes.h"
#include "document/EditedStream.h"
#include "engine/AtomicFile.h"
#include "engine/FileScan.h"
#include "engine/PlatformFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class SourceFrames;
class SplitDocument;
class WindowLink;

struct EditedCopyOptions {
    bool copyTags = true;  // the source's ID3v2 (without its length) and ID3v1 tags
    bool chapters = false; // one chapter per kept block even when the source has no chapters
    int fadeCutsMs = 0;    // a fade out before and a fade in after every junction; 0 is none
    AtomicFile::Existing existing = AtomicFile::Existing::Replace;
};

// Everything the writer needs, taken from the document on the GUI thread so it may run on another.
struct EditedCopyJob {
    std::filesystem::path source;
    std::filesystem::path output;
    std::vector<EditedRange> stream;
    std::optional<platform::FileStatus> sourceStatus;
    mp3::FrameOffsets frameOffsets;
    mp3::FrameLengths frameLengths;
    std::vector<BlockTag> blockTags; // the chapters' titles
    EditedCopyOptions options;
    // Frames the caller's ranges need before it knows how many the source holds: a source with fewer
    // saves nothing, says nothing and sets `tooFewFrames`, for the caller to explain.
    int framesNamed = 0;
};

struct EditedCopyResult {
    bool saved = false;
    int frames = 0;          // audio frames in the copy, its Xing/Info frame not counted
    std::uint64_t bytes = 0; // the copy's size
    int rebuilt = 0;         // frames after a junction rebuilt to need no bytes from before it
    int fillers = 0;         // silent frames that carry a junction frame's bytes where none could be rebuilt
    bool tooFewFrames = false;
    int sourceFrames = 0; // frames in the source, once known
};

EditedCopyJob editedCopyJob(const SplitDocument& doc, const std::filesystem::path& output,
                            const EditedCopyOptions& options);

// Save Edited Copy: the kept blocks of the source, in order, in one file. Frames are copied byte for
// byte, except the first frame after each junction (where a removed block was), which is rebuilt so
// it needs no bytes of the bit reservoir before it (otherwise it decodes with the removed block's
// bytes: a click). Where no bitrate can hold that frame, a silent frame ahead of it carries the bytes
// (one frame of silence, logged at level 1). The copy starts with a Xing/Info frame describing it;
// the source's LAME delay stays only when its first block is kept, its padding only when its last
// one is. Written through an AtomicFile after the space check; a source changed since the load fails
// it. Logs the outcome to `frame` (level 0, or 2 when it failed). `walked`, when given, is a walk of
// the source just made, taken in place of the job's frame lists (then left empty) and their check
// against the file; when it summed the frames' CRCs, the music CRC is joined from those. A walk still
// going on in the background is copied behind as it goes, where no chapter or level change needs the
// whole plan first; the last range may then run to INT_MAX, the end of the source.
EditedCopyResult runEditedCopy(const EditedCopyJob& job, WindowLink& frame, SourceFrames* walked = nullptr);

// The same for the document, on the calling thread, logging through the document.
EditedCopyResult saveEditedCopy(SplitDocument& doc, const std::filesystem::path& output,
                                const EditedCopyOptions& options = {}, SourceFrames* walked = nullptr);

// For tests, process-wide: whether a walk's frame CRCs may give the music CRC (otherwise a second
// thread reads the copied frames again to sum it).
void allowWalkedMusicCrcForTesting(bool allowed);
// For tests, process-wide: how many more bytes of the copy are handed to the disk before the thread
// behind the copy syncs it again (32 MiB).
void setSyncStepForTesting(std::int64_t bytes);
