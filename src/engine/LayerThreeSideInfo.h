#pragma once

#include "engine/FrameHeader.h"

#include <cstddef>
#include <cstdint>

namespace mp3 {

// Reading and emptying the side information of a Layer III frame (what follows the header and its
// CRC): where the frame's main data begins in the bit reservoir, and how many bits each granule of
// each channel codes.
class LayerThreeSideInfo {
public:
    // `frame` holds the whole frame, header first, `length` bytes.
    LayerThreeSideInfo(const FrameHeader& header, const std::uint8_t* frame, std::size_t length);

    // A Layer III frame long enough to hold its side information.
    bool valid() const { return m_valid; }
    int granules() const { return m_granules; }
    int channels() const { return m_channels; }
    // Bytes of the preceding frames' main data this frame starts in.
    int mainDataBegin() const;
    // Bytes of main data the frame itself holds.
    int mainDataBytes() const { return m_mainDataBytes; }
    // Bits of scale factors and Huffman code of one granule of one channel.
    int part23Length(int granule, int channel) const;
    // The 8-bit gain that scales the whole granule of the channel by 2^((gain - 210) / 4).
    int globalGain(int granule, int channel) const;
    // Where the side information starts in the frame, and its size.
    std::size_t sideOffset() const { return m_sideOffset; }
    int sideBytes() const { return m_sideBytes; }
    // The first bit of a global_gain field, counted from the start of the side information.
    int globalGainBit(int granule, int channel) const;
    // Writes an 8-bit global_gain at `bit` of the side information `side`.
    static void setGlobalGain(std::uint8_t* side, int bit, int gain);
    // True when some channel of the granule codes any bits.
    bool granuleCodesAudio(int granule) const;
    // Window switching with block type 0, which a decoder refuses.
    bool blockTypeRefused(int granule, int channel) const;
    // The most main data a frame may reach back for.
    int reservoirLimit() const { return m_lsf ? 255 : 511; }

    // Zeroes everything after main_data_begin in `frame` (a copy of the frame this info was read from): the
    // frame then decodes to silence, but its main data still enters the reservoir for the frames after it.
    void emptyGranules(std::uint8_t* frame) const;

private:
    int bits(int from, int count) const;
    // The first bit of the granule's information for the channel.
    int channelInfo(int granule, int channel) const;

    const std::uint8_t* m_side = nullptr;
    std::size_t m_sideOffset = 0;
    int m_sideBytes = 0;
    int m_mainDataBytes = 0;
    int m_granules = 0;
    int m_channels = 0;
    bool m_lsf = false;
    bool m_valid = false;
};

} // namespace mp3
