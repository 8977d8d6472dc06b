#pragma once

#include "engine/FrameHeader.h"
#include "engine/XingFrame.h"

#include <cstdint>
#include <optional>
#include <vector>

class PieceFile;
class SourceFrames;

// A header frame whose LAME tag still lacks the music CRC: its sum over the audio bytes is taken as
// they are written, and the frame is completed with it afterwards.
struct UnfinishedHeader {
    mp3::XingFrame tag;
    std::vector<std::uint8_t> frame;
    std::uint16_t leadCrc = 0; // of the built frames in the lead after the header frame
};

// What a piece holding the source frames [first, end) starts with. The piece is written as `lead`,
// then the source frames [copyFrom, end) as they are.
class LevelApplier;

struct PieceStart {
    std::vector<std::uint8_t> lead;
    int copyFrom = 0;
    // The header frame at the start of `lead`, when its music CRC is left to the copy.
    std::optional<UnfinishedHeader> unfinished;
};

// Writes a piece's lead and the source frames ahead of `first` it needs, summing the music CRC from
// the lead's end when the header awaits it; the caller copies the frames from `first` on, leaving out
// those below `start.copyFrom`, and then completes the header with finishHeader().
// With `levels`, the lead's audio frames and the copied ones take the level of frame `first`.
void writePieceStart(const PieceStart& start, int first, SourceFrames& frames, PieceFile& piece,
                     LevelApplier* levels = nullptr);
// Writes the unfinished header frame at `offset` with the music CRC the piece summed since the lead.
void finishHeader(const UnfinishedHeader& header, std::int64_t offset, PieceFile& piece);

// Decides the header frames of every piece of one source.
//
// By default a piece is its frames byte for byte, except that a piece holding the source's Xing/Info
// frame gets that frame rewritten to describe the piece: a header that still counts the whole file
// makes players show the wrong length and scale their seek bars wrong.
//
// Gapless pieces start with an Xing/Info frame of their own. A Layer III frame's main data may begin
// in the frames before it (the bit reservoir), and its first samples overlap the frame before it, so a
// piece starting at source frame a is led by a silent frame holding the reservoir bytes frame a−1
// needs, then frame a−1 itself: from frame a on, a decoder then produces exactly what it produces for
// the whole source. The encoder delay and padding trim the piece's decoded stream to the source's
// samples of its frames (see XingFrame.h), so joined pieces play like the source.
class PieceHeader {
public:
    PieceHeader(const SourceFrames& frames, bool gapless);

    PieceStart start(int first, int end) const;
    bool gapless() const { return m_gapless; }

    // The first frame that holds audio: 1 behind the source's Xing/Info frame, else 0.
    int firstAudioFrame() const { return m_firstAudio; }

    // The source's own Xing/Info frame (frame 0), when it has one.
    const std::optional<mp3::XingFrame>& sourceTag() const { return m_sourceTag; }

private:
    PieceStart rewriteSourceTag(int end) const;
    std::optional<PieceStart> gaplessStart(int first, int end) const;
    std::vector<std::uint8_t> readFrame(int frame) const;
    // Source frame `frame` rebuilt to carry its own main data and what frame + 1 needs of it; empty
    // when it cannot be.
    std::vector<std::uint8_t> selfContained(int frame) const;
    // The last `count` bytes of the data areas of the audio frames before `frame` (zeros where the
    // stream holds fewer).
    std::vector<std::uint8_t> reservoirBefore(int frame, std::size_t count) const;
    // `xingFrame` rewritten for a piece made of it, the built `leadFrames` and the source frames
    // [from, end), into `start`. With `fieldsAsSource` only the fields the tag has are filled. Nothing
    // is read: a LAME tag's music CRC is left to the copy.
    void describe(PieceStart& start, std::vector<std::uint8_t> xingFrame,
                  const std::vector<std::vector<std::uint8_t>>& leadFrames, int from, int end,
                  mp3::XingFrame tag, bool fieldsAsSource) const;

    const SourceFrames& m_frames;
    const bool m_gapless;
    std::optional<mp3::XingFrame> m_sourceTag;
    std::vector<std::uint8_t> m_sourceTagFrame;
    // The first audio frame: 1 behind a Xing/Info frame, else 0.
    int m_firstAudio = 0;
    std::optional<mp3::FrameHeader> m_firstHeader;
    int m_samplesPerFrame = 1152;
};
