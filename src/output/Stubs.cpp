#include "output/PieceFile.h"
#include "output/PieceWriter.h"
#include "output/SaveAll.h"
#include "output/SaveBlocks.h"

#include "engine/SourceFile.h"

PieceFile::~PieceFile() = default;
PieceFile::PieceFile(PieceFile&&) noexcept = default;
PieceFile& PieceFile::operator=(PieceFile&&) noexcept = default;
std::size_t PieceFile::write(const std::uint8_t*, std::size_t) {
    return 0;
}
std::size_t PieceFile::copyFrom(mp3::SourceFile&, std::int64_t, std::size_t) {
    return 0;
}
bool PieceFile::close() {
    return false;
}
PieceFile createPieceFile(const std::filesystem::path&, const std::filesystem::path&) {
    return {};
}
SourceFrames::SourceFrames(const std::filesystem::path& sourcePath) : m_path(sourcePath) {}
SourceFrames::~SourceFrames() = default;
std::size_t writeFrame(const mp3::FrameReader&, PieceFile&) {
    return 0;
}
CopyResult copyFrames(mp3::FrameReader&, const mp3::FrameReader&, PieceFile&) {
    return {};
}
CopyResult copyFrames(SourceFrames&, int, int, PieceFile&) {
    return {};
}
std::filesystem::path pieceName(PieceNaming, const std::filesystem::path& folder,
                                const std::filesystem::path&, int) {
    return folder;
}
int writeOverlapFrames(SplitDocument&, OverlapDirection, int, PieceFile&, SourceFrames&) {
    return 0;
}
bool applyBlockTag(const std::filesystem::path&, const ID3Info&) {
    return false;
}
void saveAll(SplitDocument&) {}
SaveAllResult runSaveAll(SplitDocument&) {
    return {};
}
bool refuseWhenBusy(SplitDocument&) {
    return false;
}
std::vector<BlockRow> buildBlockRows(SplitDocument&) {
    return {};
}
bool outputFolderExists(const std::filesystem::path&) {
    return false;
}
int runSpecifiedBlocksSave(const SpecifiedBlocksJob&, WindowLink&, WindowLink&) {
    return 0;
}
void startSpecifiedBlocksSave(WorkerSlot&, SpecifiedBlocksJob, WindowLink&, WindowLink&) {}
void saveBlockFromBreakPoint(SplitDocument&, int) {}
bool runBlockSave(SplitDocument&) {
    return false;
}
