#pragma once

#include "engine/FrameHeader.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// The header of a whole Layer III frame in `frame`, or nothing for any other bytes.
std::optional<mp3::FrameHeader> layerThreeHeaderOf(const std::vector<std::uint8_t>& frame);

// The last `count` bytes of the data areas of the audio frames before `frame`, back to `firstAudio`
// (zeros where the stream holds fewer): the bit reservoir a frame's main_data_begin points into.
std::vector<std::uint8_t>
reservoirBytesBefore(int frame, int firstAudio, std::size_t count,
                     const std::function<std::vector<std::uint8_t>(int)>& readFrame);
