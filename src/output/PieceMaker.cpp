#include "output/PieceMaker.h"

#include "output/PieceFile.h"
#include "output/PieceTag.h"
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
    : m_frames(frames), m_header(frames, options.gapless), m_blockTagAlone(blockTagAlone) {
    if (options.copyTags) {
        m_tags.emplace(source);
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
    PieceStart start = m_header.start(first, end);
    writePieceStart(start, first, m_frames, piece);
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
    return finished;
}
