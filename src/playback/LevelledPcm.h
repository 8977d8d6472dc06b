#pragma once

#include "engine/LevelMap.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace mp3 {
class FrameReader;
struct Decoding;
} // namespace mp3

// A change of level as the player hears it. `version` tells one change from the next, so a decode
// never continues across two of them.
struct PlaybackLevels {
    mp3::LevelMap map;
    std::uint64_t version = 0;
};

// Whether the frame sounds different with the change: it changes, or one of the two frames before it
// does (a granule overlaps into the next, and the decode of one-granule frames carries a changed
// granule's sound two frames on).
bool soundsChanged(const PlaybackLevels& levels, int frame);

// The PCM of the reader's frame as the written file decodes: a copy of the frame with its global_gain
// changed, decoded after the frames before it (changed alike), never from or into the cache of
// unchanged PCM. The caller holds the decoder's lock. `out` holds kMaxPcmBytes; returns the bytes.
std::size_t levelledFramePcmHoldingLock(const mp3::Decoding& decoding, const mp3::FrameReader& reader,
                                        const PlaybackLevels& levels, std::uint8_t* out);

// framePcm for frames that sound unchanged, the levelled decode for the others; takes the decoder's
// lock for a decode.
std::size_t playbackFramePcm(const mp3::Decoding& decoding, const mp3::FrameReader& reader,
                             const std::shared_ptr<const PlaybackLevels>& levels, std::uint8_t* out);
