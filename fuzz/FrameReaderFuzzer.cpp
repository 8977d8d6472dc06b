// Walks a reader over arbitrary bytes as an MP3 file, forth and back, checking what must hold for any
// file.
#include "ScratchFile.h"

#include "engine/FrameReader.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

// Stops the run naming the broken rule.
#define check(condition)                                                                                     \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "broken: %s (line %d)\n", #condition, __LINE__);                            \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = writeScratchFile("kerfline-fuzz-reader", data, size);
    const auto fileSize = static_cast<std::int64_t>(size);

    const mp3::FrameReader end;
    mp3::FrameReader reader(path);
    std::vector<std::int64_t> offsets;
    for (; !(reader == end); reader.readNext()) {
        check(reader.frameNumber() == static_cast<int>(offsets.size()));
        check(static_cast<int>(reader.frameIndex().size()) == reader.frameNumber() + 1);
        check(reader.frameIndex().back() == reader.header().offset);
        check(offsets.empty() || reader.header().offset > offsets.back());
        check(reader.frameLength() > 4 && reader.frameLength() <= reader.header().frameLength());
        check(reader.header().offset + reader.frameLength() <= fileSize);
        check(reader.position() == reader.header().offset + reader.frameLength());
        offsets.push_back(reader.header().offset);
    }
    reader.readNext();
    check(reader.atEnd());

    // Back and forth from the end, by steps the input chooses.
    const int frames = static_cast<int>(offsets.size());
    if (frames > 0) {
        const int back = size > 0 ? data[size - 1] % (frames + 2) : 1;
        reader.stepBack(back);
        // Stepping back by 0 from a header met at the very end re-reads that header and stays at the end.
        check(reader.atEnd() == (back == 0 && reader.frameIndex().size() > offsets.size()));
        if (!reader.atEnd()) {
            check(reader.frameNumber() >= 0 && reader.frameNumber() < frames);
            check(reader.header().offset == offsets[static_cast<std::size_t>(reader.frameNumber())]);
            const mp3::FrameReader copy = reader.advanced(1);
            check(copy.atEnd() ||
                  copy.header().offset == offsets[static_cast<std::size_t>(reader.frameNumber() + 1)]);
        }
        const int target = size > 1 ? data[size - 2] % frames : 0;
        mp3::FrameReader sought(path);
        sought.seekToFrame(target, offsets);
        mp3::FrameReader walked(path);
        walked.advance(target);
        check(sought.frameNumber() == walked.frameNumber() && sought.position() == walked.position());
        check(sought.frameIndex() == walked.frameIndex());
    }
    reader.close();
    return 0;
}
