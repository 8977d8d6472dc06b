// Reads arbitrary bytes as a header frame, writes what was read back into a copy and reads it again:
// whatever a source's first frame says, nothing is read or written outside the frame, and a tag that
// was written reads back with the fields it was given.
#include "engine/XingFrame.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#define check(condition)                                                                                     \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "broken: %s (line %d)\n", #condition, __LINE__);                            \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact copy, so that the sanitizer sees any read past the frame.
    const std::vector<std::uint8_t> frame(data, data + size);
    const auto tag = mp3::XingFrame::parse(frame.data(), frame.size());
    mp3::mainDataBegin(frame.data(), frame.size());
    if (!tag) {
        return 0;
    }
    std::vector<std::uint8_t> copy = frame;
    check(mp3::writeXingFrame(*tag, copy.data(), copy.size()));
    const auto again = mp3::XingFrame::parse(copy.data(), copy.size());
    check(again);
    check(again->vbr == tag->vbr);
    check(again->frames == tag->frames);
    check(again->bytes == tag->bytes);
    check(again->toc == tag->toc);

    mp3::FrameHeader header;
    header.raw = {frame[0], frame[1], frame[2], frame[3]};
    header.parse();
    const std::vector<std::uint8_t> reservoir(size % 600, 0xAA);
    const std::vector<std::uint8_t> silent =
        mp3::makeSilentFrame(header, reservoir, mp3::xingFrameNeeds(header));
    check(silent.empty() || mp3::mainDataBegin(silent.data(), silent.size()) == 0);
    return 0;
}
