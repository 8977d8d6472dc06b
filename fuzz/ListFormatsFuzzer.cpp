// Reads arbitrary bytes as a CUE sheet, a label file and a tracklist; whatever a parser accepts
// must read back from what its writer makes of it, with the same number of entries.
#include "document/formats/CueSheet.h"
#include "document/formats/LabelFile.h"
#include "document/formats/Tracklist.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const Parsed<TimedList> cue = parseCueSheet(bytes)) {
        const Parsed<TimedList> again = parseCueSheet(writeCueSheet(cue.value(), "x.mp3"));
        if (!again || again.value().entries.size() != cue.value().entries.size()) {
            std::abort();
        }
    }
    if (const Parsed<TimedList> labels = parseLabelFile(bytes)) {
        const Parsed<TimedList> again = parseLabelFile(writeLabelFile(labels.value(), 0.0));
        if (!again || again.value().entries.size() != labels.value().entries.size()) {
            std::abort();
        }
    }
    if (const Parsed<TimedList> tracks = parseTracklist(bytes)) {
        const Parsed<TimedList> again = parseTracklist(writeTracklist(tracks.value()));
        if (!again || again.value().entries.size() != tracks.value().entries.size()) {
            std::abort();
        }
    }
    return 0;
}
