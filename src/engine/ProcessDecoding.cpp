#include "engine/ProcessDecoding.h"

#include "engine/AudioLock.h"
#include "engine/Decoder.h"
#include "engine/FileScan.h"
#include "engine/PcmCache.h"

namespace mp3 {

Decoding processDecoding() {
    static PcmCache cache;
    static SharedDecoder decoder(g_audioLock);
    return Decoding{cache, decoder};
}

LevelScan scanLevels(const std::filesystem::path& path, LevelScanObserver* observer) {
    return scanLevels(processDecoding(), path, observer, ParallelDecode{});
}

} // namespace mp3
