#include "output/DurableBatch.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

void DurableBatch::add(PieceFile piece, Finished finished) {
    if (piece.finishWriting() && piece.descriptor() >= 0 && piece.writtenBytes() >= kWritebackStartBytes) {
        // The disk starts on a large piece while the next ones are copied, so the batch's sync waits
        // for less. Small pieces are left to that sync, which writes many of them at once for less
        // than their hints would cost.
        platform::startWriteback(piece.descriptor());
    }
    piece.syncFolderWith(m_folderSyncs);
    m_pending.push_back({std::move(piece), std::move(finished)});
    if (m_pending.size() >= kMostPending) {
        commit();
    }
}

bool DurableBatch::syncPending() {
    std::vector<std::uint64_t> synced;
    // A piece lies on its folder's file system: one look per folder, not one per piece.
    std::vector<std::filesystem::path> seenFolders;
    for (const Pending& pending : m_pending) {
        if (pending.piece.failed() || pending.piece.descriptor() < 0) {
            continue;
        }
        std::filesystem::path folder = pending.piece.temporaryPath().parent_path();
        if (std::find(seenFolders.begin(), seenFolders.end(), folder) != seenFolders.end()) {
            continue;
        }
        seenFolders.push_back(std::move(folder));
        const std::optional<platform::FileStatus> status = platform::statusOf(pending.piece.descriptor());
        if (!status) {
            return false;
        }
        if (std::find(synced.begin(), synced.end(), status->device) != synced.end()) {
            continue;
        }
        if (!platform::syncFileSystem(pending.piece.descriptor())) {
            return false;
        }
        synced.push_back(status->device);
    }
    return true;
}

void DurableBatch::commit() {
    AtomicFile::Sync sync = AtomicFile::Sync::DoneByCaller;
    if (!syncPending()) {
        if (errno == ENOSYS || errno == EINVAL) {
            // No file system sync here: each piece syncs itself, still after all were written.
            sync = AtomicFile::Sync::Now;
        } else {
            // Nothing of the batch may stand under a name now: every piece fails and is removed.
            const std::string reason = "it could not be put on the disk: " + platform::systemError(errno);
            for (Pending& each : m_pending) {
                each.piece.fail(reason);
            }
        }
    }
    // Taken out first: should a Finished throw, the pieces after it are dropped, never committed twice.
    std::vector<Pending> pending = std::exchange(m_pending, {});
    for (Pending& each : pending) {
        const bool saved = each.piece.close(sync);
        each.finished(each.piece, saved);
    }
}
