#pragma once

namespace mp3 {

class PcmCache;
class SharedDecoder;

// The cache and the decoder that the loading scan, the player and the WAV conversion share. The
// program wires one of each for the whole process; tests may wire their own.
struct Decoding {
    PcmCache& cache;
    SharedDecoder& decoder;
};

} // namespace mp3
