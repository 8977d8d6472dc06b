#pragma once

#include "output/LevelApplier.h"
#include "output/PieceHeader.h"
#include "output/PieceIdentity.h"
#include "output/PieceLevels.h"
#include "output/SourceTags.h"
#include "settings/PieceOptions.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

class PieceFile;
class SourceFrames;

// Writes tag fields the block tags do not hold into a finished piece under its temporary name, so a
// piece shows up under its own name with every tag in place; false when they could not be written.
using PieceTagWriter = std::function<bool(const std::filesystem::path& temporary, const PieceIdentity&)>;

// What the piece options put around a piece's frames, the same for every writer: its header frames,
// the source's tags with the piece's track number, and the block's own tag.
class PieceMaker {
public:
    // Whether a block tag goes into a piece when no tags are copied: Save All writes it alone, the
    // writers of chosen blocks write no tags unless asked to copy the source's.
    enum class BlockTagAlone { Write, Skip };

    PieceMaker(const std::filesystem::path& source, SourceFrames& frames, const PieceOptions& options,
               BlockTagAlone blockTagAlone);

    // Whether the source frames [first, end) hold any audio: a block of only the source's Info frame
    // would make a piece that players and ffprobe reject, so no writer writes one.
    bool holdsAudio(int first, int end) const { return end > std::max(first, m_header.firstAudioFrame()); }

    // The bytes a piece may hold beyond its frames, for the space check.
    std::uint64_t extraBytes(int count) const;
    // Writes what precedes the source frames [first, end) of the piece: the copied ID3v2 tag, the header
    // frame and what the first frame needs ahead of it. Returns the frame the caller's copy goes on
    // from; the frames from `first` below it are in the piece already.
    int writeOpening(PieceFile& piece, const PieceIdentity& identity, int first, int end);
    // The level changes of the pieces (none by default); the piece options' fade at every cut is added.
    void setLevels(PieceLevelSource levels);
    // The level of the piece writeOpening began, for the caller's copy of its frames; null when the
    // frames go in as they are.
    LevelApplier* levels() { return m_pieceLevels.changesAny() ? &m_pieceLevels : nullptr; }
    // Completes the header frame with the music CRC of the frames copied since writeOpening(), then
    // writes what follows the frames: the copied ID3v1 tag.
    void writeClosing(PieceFile& piece, const PieceIdentity& identity);
    // Ends writing under the temporary name and puts the block tag in when it goes alone, so the piece's
    // name never shows it half tagged. False when the piece failed.
    bool finish(PieceFile& piece, const PieceIdentity& identity) const;
    void setTagWriter(PieceTagWriter writer) { m_tagWriter = std::move(writer); }

private:
    SourceFrames& m_frames;
    const PieceHeader m_header;
    std::optional<SourceTags> m_tags;
    const BlockTagAlone m_blockTagAlone;
    const PieceOptions m_options;
    PieceLevelSource m_levels;
    LevelApplier m_format;
    LevelApplier m_pieceLevels;
    PieceTagWriter m_tagWriter;
    // The header frame of the piece being written, while it awaits its music CRC, and where it is.
    std::optional<UnfinishedHeader> m_unfinished;
    std::int64_t m_unfinishedAt = 0;
};

// The text of a log line that tells how much gain a piece could not take, or empty.
std::string pieceShortfallText(const LevelApplier* levels);
