#pragma once

#include <cstdint>
#include <vector>

// A Layer III frame rebuilt to need nothing before it: main_data_begin 0, its own main data (taken from
// `before`, the main_data_begin bytes ahead of its data area, and from its data area) at the start of
// its data area, and `after` (the bytes the next frame takes from ahead of it) at the end. Its
// bitrate is the smallest from its own up that holds both; it decodes to the same samples as in its
// stream. Empty when the frame is not Layer III, `before` is not what it needs, or no bitrate is
// large enough.
std::vector<std::uint8_t> selfContainedFrame(const std::vector<std::uint8_t>& frame,
                                             const std::vector<std::uint8_t>& before,
                                             const std::vector<std::uint8_t>& after);
