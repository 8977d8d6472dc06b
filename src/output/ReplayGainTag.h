#pragma once

#include <filesystem>

// Measures the loudness of the MP3 file at `path` and writes its ReplayGain 2.0 track gain and peak
// as TXXX:REPLAYGAIN_TRACK_GAIN and TXXX:REPLAYGAIN_TRACK_PEAK into its ID3v2 tag; the audio is not
// touched. A file the gate leaves nothing of (digital silence) gets no tags. False when the tag could
// not be written.
bool writeReplayGainTags(const std::filesystem::path& path);
