#include "output/PieceMaker.h"

#include "output/PieceFile.h"
#include "output/PieceTag.h"
#include "output/ReplayGainTag.h"
#include "output/SourceFrames.h"

#include <algorithm>
#include <vector>

namespace {

const ID3Info* tagOf(const PieceIdentity& identity) {
    return identity.blockTag ? &*identity.blockTag : nullptr;
}

} // namespace

PieceMaker::PieceMaker(const std::filesystem::path& source, SourceFrames& frames, const PieceOptions& options,
                       BlockTagAlone blockTagAlone)
    : m_frames(frames), m_header(frames, options.gapless), m_blockTagAlone(blockTagAlone),
      m_options(options) {
    if (options.copyTags) {
        m_tags.emplace(source);
    }
    m_levels.fadeCutsMs = options.fadeCutsMs;
    m_levels.frameCount = frames.count();
    if (m_levels.changesAny()) {
        m_format = levelApplierFor(frames);
    }
}

void PieceMaker::setLevels(PieceLevelSource levels) {
    levels.fadeCutsMs = m_options.fadeCutsMs;
    levels.frameCount = m_frames.count();
    m_levels = std::move(levels);
    if (m_levels.changesAny()) {
        m_format = levelApplierFor(m_frames);
    }
}

std::uint64_t PieceMaker::extraBytes(int count) const {
    // A header frame and a few lead frames per gapless piece; the tags.
    std::uint64_t bytes = m_header.gapless() ? 4 * 1729 : 0;
    if (m_tags) {
        bytes += m_tags->id3v2(0, count, nullptr).size() + 128;
    }
    return bytes;
}

int PieceMaker::writeOpening(PieceFile& piece, const PieceIdentity& identity, int first, int end) {
    m_unfinishedAt = 0;
    if (m_tags) {
        const std::vector<std::uint8_t> tag = m_tags->id3v2(identity.number, identity.count, tagOf(identity));
        piece.write(tag.data(), tag.size());
        m_unfinishedAt = static_cast<std::int64_t>(tag.size());
    }
    m_pieceLevels = m_levels.changesAny() ? pieceLevels(m_format, m_levels, first, end) : LevelApplier();
    PieceStart start = m_header.start(first, end);
    writePieceStart(start, first, m_frames, piece, levels());
    m_unfinished = std::move(start.unfinished);
    return std::max(first, start.copyFrom);
}

void PieceMaker::writeClosing(PieceFile& piece, const PieceIdentity& identity) {
    if (m_unfinished) {
        finishHeader(*m_unfinished, m_unfinishedAt, piece);
        m_unfinished.reset();
    }
    if (m_tags) {
        const std::vector<std::uint8_t> tag = m_tags->id3v1(identity.number, tagOf(identity));
        piece.write(tag.data(), tag.size());
    }
}

bool PieceMaker::finish(PieceFile& piece, const PieceIdentity& identity) const {
    // Copied tags already hold the block's own fields.
    const bool finished = piece.finishWriting();
    if (finished && identity.blockTag && !m_tags && m_blockTagAlone == BlockTagAlone::Write) {
        applyBlockTag(piece.temporaryPath(), *identity.blockTag);
    }
    if (finished && m_options.replayGain && !writeReplayGainTags(piece.temporaryPath())) {
        piece.fail("the ReplayGain tags could not be written");
        return false;
    }
    if (finished && m_tagWriter && !m_tagWriter(piece.temporaryPath(), identity)) {
        piece.fail("the tags could not be written");
        return false;
    }
    return finished;
}

std::string pieceShortfallText(const LevelApplier* levels) {
    const std::string amount = levels != nullptr ? shortfallText(levels->shortfallSteps()) : std::string();
    return amount.empty() ? amount
                          : amount + " of the gain could not be applied: global_gain stops at 0 and 255";
}
