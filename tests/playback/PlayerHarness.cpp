#include "PlayerHarness.h"

#include "engine/Decoder.h"
#include "engine/FileScan.h"
#include "engine/PcmCache.h"
#include "engine/ProcessDecoding.h"

PlayerHarness::PlayerHarness(std::unique_ptr<SoundOutput> soundOutput) {
    if (soundOutput == nullptr) {
        auto paced = std::make_unique<PacedSoundOutput>();
        output = paced.get();
        soundOutput = std::move(paced);
    }
    player = std::make_unique<Player>(document, std::move(soundOutput));
    document.player = player.get();
    view.setHandler([this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
        return document.handleMessage(message, wParam, lParam);
    });
}

PlayerHarness::~PlayerHarness() {
    view.setHandler(nullptr);
    document.player = nullptr;
    player.reset();
}

void PlayerHarness::load(const std::filesystem::path& path) {
    mp3::processDecoding().cache.clear();
    mp3::LevelScan scan = mp3::scanLevels(path);
    document.m_filePath = path;
    document.m_frameLevels = std::move(scan.levels);
    document.m_frameOffsets = std::move(scan.offsets);
    document.m_cursor = mp3::FrameReader(path);
    document.m_playEnd = mp3::FrameReader();
}

std::vector<std::uint8_t> PlayerHarness::framePcm(int frameNumber) const {
    std::vector<std::uint8_t> pcm(mp3::kMaxPcmBytes);
    const std::size_t count =
        mp3::processDecoding().cache.get(document.m_filePath.string(), frameNumber, pcm.data());
    pcm.resize(count);
    return pcm;
}

bool PlayerHarness::runUntilStopped() {
    return view.dispatchUntil(UM_STOP_PLAYBACK);
}
