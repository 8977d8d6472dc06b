#include "engine/ProcessDecoding.h"

#include "engine/AudioLock.h"
#include "engine/Decoder.h"
#include "engine/FileScan.h"
#include "engine/PcmCache.h"

#include <cstdlib>
#include <thread>

namespace mp3 {

Decoding processDecoding() {
    static PcmCache cache;
    static SharedDecoder decoder(g_audioLock);
    return Decoding{cache, decoder};
}

ParallelDecode processParallelDecode() {
    const char* inOrder = std::getenv("KERFLINE_SCAN_IN_ORDER");
    const unsigned cores = std::thread::hardware_concurrency();
    if ((inOrder != nullptr && *inOrder != '\0') || cores == 1) {
        return ParallelDecode::inOrder();
    }
    return ParallelDecode{};
}

LevelScan scanLevels(const std::filesystem::path& path, LevelScanObserver* observer) {
    return scanLevels(processDecoding(), path, observer, processParallelDecode());
}

} // namespace mp3
