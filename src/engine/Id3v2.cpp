#include "engine/Id3v2.h"

namespace mp3 {

std::int64_t id3v2TagSize(const std::uint8_t* head) {
    if (head[0] != 'I' || head[1] != 'D' || head[2] != '3' || head[3] == 0xFF || head[4] == 0xFF) {
        return 0;
    }
    std::int64_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (head[i] & 0x80) {
            return 0;
        }
        size = (size << 7) | head[i];
    }
    const bool hasFooter = (head[5] & 0x10) != 0;
    return kId3v2HeaderSize + size + (hasFooter ? kId3v2HeaderSize : 0);
}

} // namespace mp3
