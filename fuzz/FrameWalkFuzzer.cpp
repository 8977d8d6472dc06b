// The header-only walk over arbitrary bytes finds exactly the frames the frame reader finds.
#include "ScratchFile.h"

#include "engine/FrameReader.h"
#include "engine/FrameWalk.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Frame {
    std::int64_t offset;
    int length;
    bool operator==(const Frame&) const = default;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = writeScratchFile("kerfline-fuzz-walk", data, size);
    std::vector<Frame> byReader;
    mp3::FrameReader reader(path);
    for (; !(reader == mp3::FrameReader()); reader.readNext()) {
        byReader.push_back({reader.header().offset, reader.frameLength()});
    }
    std::vector<Frame> byWalk;
    mp3::FrameWalk walk(path);
    while (walk.next()) {
        byWalk.push_back({walk.header().offset, walk.frameLength()});
    }
    if (byWalk != byReader || walk.frameNumber() != reader.frameNumber()) {
        std::fprintf(stderr, "broken: the walk found %zu frames ending at %d, the reader %zu ending at %d\n",
                     byWalk.size(), walk.frameNumber(), byReader.size(), reader.frameNumber());
        std::abort();
    }
    return 0;
}
