#include "engine/FileScan.h"

#include "engine/Decoder.h"
#include "engine/FramePcm.h"

#include <array>
#include <cstdio>

namespace mp3 {

std::string streamInfoLine(const FrameHeader& header) {
    char line[128];
    std::snprintf(line, sizeof line, "MP3 file basic info: %d Hz, %d channel(s), %d BPS", header.sampleRate(),
                  header.channels(), header.bitrate());
    return line;
}

LevelScan scanLevels(const std::filesystem::path& path, LevelScanObserver* observer) {
    LevelScan scan;
    resetDecoder();
    FrameReader reader(path);
    const FrameReader end;
    if (observer) {
        observer->streamOpened(reader);
    }
    // One buffer for the whole file: a frame that gives no PCM repeats the last level.
    std::array<std::uint8_t, kMaxPcmBytes> pcm{};
    int handled = 0;
    while (!(reader == end)) {
        if (observer) {
            observer->frameStarting(handled);
        }
        framePcm(reader, pcm.data());
        scan.levels.push_back(frameLevel(pcm.data()));
        scan.offsets.push_back(reader.header().offset);
        scan.totalBytes += reader.frameLength();
        ++handled;
        if (observer) {
            observer->frameHandled(handled, scan.totalBytes);
        }
        reader.readNext();
    }
    scan.rawLevels = scan.levels;
    smoothLevels(scan.levels);
    reader.close();
    return scan;
}

} // namespace mp3
