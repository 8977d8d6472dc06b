#pragma once

#include "output/PieceFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class FolderSyncs;

// Pieces written to their temporary names, put on the disk together and then renamed. One sync of the
// file system for a whole run costs about what one sync of a single piece does, where a sync per piece
// made a run of many small pieces many times slower than their copy. Each piece is still on the disk
// before its name stands for it, and a piece not committed (a failure, the batch dropped) leaves no
// temporary file behind.
class DurableBatch {
public:
    // Called for every piece in the order added, once it is saved under its name (`saved`) or has
    // failed and is gone; the piece tells why.
    using Finished = std::function<void(PieceFile& piece, bool saved)>;
    // Held open at most (each with its folder: two descriptors), so that a run of thousands of pieces
    // stays within the open file limit.
    static constexpr std::size_t kMostPending = 128;
    // Pieces of at least this many bytes are handed to the disk as soon as they are written.
    static constexpr std::uint64_t kWritebackStartBytes = 4 << 20;

    // The pieces' folders are left to `folderSyncs`, synced by the caller after the last commit().
    explicit DurableBatch(FolderSyncs& folderSyncs) : m_folderSyncs(folderSyncs) {}
    ~DurableBatch() = default; // pieces never committed remove their temporary files
    DurableBatch(const DurableBatch&) = delete;
    DurableBatch& operator=(const DurableBatch&) = delete;

    // Takes a piece written whole to its temporary name (finishWriting() done, or failed); commits the
    // batch when it is full.
    void add(PieceFile piece, Finished finished);
    // Puts every piece taken on the disk, renames them into place in order and reports each.
    void commit();

private:
    struct Pending {
        PieceFile piece;
        Finished finished;
    };

    // Syncs the file systems of the pending pieces; false (errno set) when one failed.
    bool syncPending();

    FolderSyncs& m_folderSyncs;
    std::vector<Pending> m_pending;
};
