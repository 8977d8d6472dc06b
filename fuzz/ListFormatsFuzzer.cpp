// Reads arbitrary bytes as a CUE sheet, a label file and a tracklist; whatever a parser accepts
// must read back from what its writer makes of it: the same number of entries at the same times
// (to the writer's resolution), and the same names for the CUE sheet, whose writer loses none.
// fuzz/corpus/list_formats holds lists with long times, quotes and many tracks to start from.
#include "document/formats/CueSheet.h"
#include "document/formats/LabelFile.h"
#include "document/formats/TextDecoding.h"
#include "document/formats/Tracklist.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

void expectSameTimes(const TimedList& first, const Parsed<TimedList>& again, double resolution) {
    if (!again || again.value().entries.size() != first.entries.size()) {
        std::abort();
    }
    for (std::size_t i = 0; i < first.entries.size(); ++i) {
        if (!(std::fabs(again.value().entries[i].seconds - first.entries[i].seconds) <= resolution)) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const Parsed<TimedList> cue = parseCueSheet(bytes)) {
        const Parsed<TimedList> again = parseCueSheet(writeCueSheet(cue.value(), "x.mp3"));
        expectSameTimes(cue.value(), again, 0.5 / 75 + 1e-6);
        // Names go through the writer whole, but on one line.
        if (again.value().album != singleLine(cue.value().album) ||
            again.value().artist != singleLine(cue.value().artist)) {
            std::abort();
        }
    }
    if (const Parsed<TimedList> labels = parseLabelFile(bytes)) {
        expectSameTimes(labels.value(), parseLabelFile(writeLabelFile(labels.value(), 0.0)), 1e-6 + 1e-9);
    }
    if (const Parsed<TimedList> tracks = parseTracklist(bytes)) {
        expectSameTimes(tracks.value(), parseTracklist(writeTracklist(tracks.value())), 0.0005 + 1e-6);
    }
    // A message may quote any line: what it quotes is always valid text.
    if (!isValidUtf8(printableExcerpt(decodeText(bytes), 40))) {
        std::abort();
    }
    return 0;
}
