#pragma once

#include <cstddef>
#include <cstdint>

namespace mp3 {

// TagLib parses the frames embedded in CHAP and CTOC frames recursively, one stack frame per level,
// so a tag of frames nested thousands deep overflows the stack. No real tag nests more than a few.
constexpr int kMaxChapterNesting = 32;

// Whether the ID3v2 tag in `tag` (header first, `size` bytes, possibly cut short) nests CHAP and
// CTOC frames at most kMaxChapterNesting deep as TagLib reads it: the walk follows TagLib's frame
// sizes, unsynchronisation, data length indicators and size guesses, and counts a compressed
// chapter frame as too deep, since its content can not be seen without inflating it.
bool chapterNestingWithinLimit(const std::uint8_t* tag, std::size_t size);

// The frame ids every "CHAP" and "CTOC" of a disarmed tag reads as: frames TagLib keeps as unknown
// frames and never parses.
constexpr char kDisarmedChapterId[] = "XCHP";
constexpr char kDisarmedTocId[] = "XCTC";

// Renames every "CHAP" and "CTOC" in the bytes, wherever it stands: no parser can then find a
// chapter frame at any depth, whatever sizes it believes. The length stays the same.
void disarmChapterFrames(std::uint8_t* bytes, std::size_t size);

} // namespace mp3
