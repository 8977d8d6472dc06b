#include "DocumentHarness.h"

#include "document/BlockEdits.h"
#include "document/EditedStream.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

BlockEdits removedAt(std::initializer_list<int> firsts) {
    BlockEdits edits;
    for (const int first : firsts) {
        edits[first].removed = true;
    }
    return edits;
}

std::vector<std::pair<int, int>> rangesOf(const std::vector<EditedRange>& stream) {
    std::vector<std::pair<int, int>> ranges;
    for (const EditedRange& range : stream) {
        ranges.emplace_back(range.from, range.to);
    }
    return ranges;
}

// What happens to the edits when the break points change, on a file of 1000 frames with break
// points 100, 200 and 300 and the block 100-200 removed (and a gain on 300-1000).
TEST(BlockEdits, BreakPointEditsCarryTheEditsByTheWrittenRule) {
    struct Case {
        const char* what;
        std::function<void(SplitDocument&)> change;
        std::vector<std::pair<int, int>> kept; // the edited stream afterwards
        int gainFrom;                          // the block that has the gain afterwards
    };
    const Case cases[] = {
        {"nothing changes", [](SplitDocument&) {}, {{0, 100}, {200, 300}, {300, 1000}}, 300},
        {"a break point inside the removed block: both halves stay removed",
         [](SplitDocument& doc) { doc.appendBreakPoint(150); },
         {{0, 100}, {200, 300}, {300, 1000}},
         300},
        {"its start dragged earlier: the block grows and stays removed",
         [](SplitDocument& doc) { doc.moveBreakPoint(0, 50); },
         {{0, 50}, {200, 300}, {300, 1000}},
         300},
        {"its end dragged later: the removed block grows over the next one's start",
         [](SplitDocument& doc) { doc.moveBreakPoint(1, 250); },
         {{0, 100}, {250, 300}, {300, 1000}},
         300},
        {"its start deleted: merged into the kept block before, so kept",
         [](SplitDocument& doc) { doc.removeBreakPointAt(0); },
         {{0, 200}, {200, 300}, {300, 1000}},
         300},
        {"its end deleted: merged with the kept block after, so kept",
         [](SplitDocument& doc) { doc.removeBreakPointAt(1); },
         {{0, 100}, {100, 300}, {300, 1000}},
         300},
        {"the start of the block with a gain dragged: the gain goes along",
         [](SplitDocument& doc) { doc.moveBreakPoint(2, 320); },
         {{0, 100}, {200, 320}, {320, 1000}},
         320},
        {"its end dropped onto the next break point: merged with a kept block, so kept",
         [](SplitDocument& doc) { doc.moveBreakPoint(1, 300); },
         {{0, 100}, {100, 300}, {300, 1000}},
         300},
        {"all break points replaced: each new block takes the edit of the old one it starts in",
         [](SplitDocument& doc) { doc.replaceBreakPoints({500}); },
         {{0, 500}, {500, 1000}},
         500},
        {"an equal copy of the start stays behind when one is dragged: the block only gains a start",
         [](SplitDocument& doc) {
             doc.appendBreakPoint(100);
             doc.moveBreakPoint(3, 120);
         },
         {{0, 100}, {200, 300}, {300, 1000}},
         300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DocumentHarness h;
        h.pretendLoaded(1000);
        h.doc.replaceBreakPoints({100, 200, 300});
        h.doc.setBlockEdit(1, BlockEdit{true, 0, 0, 0});
        h.doc.setBlockEdit(3, BlockEdit{false, 2, 0, 0});
        c.change(h.doc);
        EXPECT_EQ(rangesOf(h.doc.editedStream()), c.kept);
        for (const auto& [first, edit] : h.doc.m_blockEdits) {
            if (edit.gainSteps != 0) {
                EXPECT_EQ(first, c.gainFrom);
            }
        }
        EXPECT_EQ(blockEditAt(h.doc.m_blockEdits, c.gainFrom).gainSteps, 2);
    }
}

TEST(BlockEdits, CarryingDropsDefaultsAndKeysThatStartNoBlock) {
    // Merging two removed blocks keeps the merged one removed; keys that are no start go.
    const BlockEdits carried = carryBlockEdits(removedAt({100, 200, 777}), {0, 100, 200, 300}, {0, 100, 300});
    EXPECT_EQ(carried, removedAt({100}));
    // Splitting the first block inherits from it; a removed block 0 splits into removed halves.
    EXPECT_EQ(carryBlockEdits(removedAt({0}), {0, 100}, {0, 50, 100}), removedAt({0, 50}));
    EXPECT_TRUE(carryBlockEdits({}, {0, 100}, {0}).empty());
}

TEST(BlockEdits, RemoveKeepOnlyAndRestoreAreOneUndoStepEach) {
    DocumentHarness h;
    h.pretendLoaded(1000);
    SplitDocument& doc = h.doc;
    doc.replaceBreakPoints({100, 200, 300});
    const std::vector<std::pair<int, int>> whole = {{0, 100}, {100, 200}, {200, 300}, {300, 1000}};
    ASSERT_EQ(rangesOf(doc.editedStream()), whole);

    EXPECT_TRUE(doc.removeBlock(1));
    EXPECT_FALSE(doc.removeBlock(1)); // already removed: no step
    EXPECT_TRUE(doc.isBlockRemoved(1));
    EXPECT_EQ(doc.blockAt(150), 1);
    EXPECT_TRUE(doc.keepOnlyBlock(2));
    EXPECT_EQ(rangesOf(doc.editedStream()), (std::vector<std::pair<int, int>>{{200, 300}}));
    EXPECT_TRUE(doc.restoreBlock(0));
    EXPECT_EQ(rangesOf(doc.editedStream()), (std::vector<std::pair<int, int>>{{0, 100}, {200, 300}}));
    EXPECT_TRUE(doc.restoreAllBlocks());
    EXPECT_EQ(rangesOf(doc.editedStream()), whole);

    const std::vector<std::vector<std::pair<int, int>>> backwards = {
        {{0, 100}, {200, 300}}, {{200, 300}}, {{0, 100}, {200, 300}, {300, 1000}}, whole};
    for (const auto& expected : backwards) {
        ASSERT_TRUE(doc.undoEdit());
        EXPECT_EQ(rangesOf(doc.editedStream()), expected);
    }
    ASSERT_TRUE(doc.redoEdit());
    EXPECT_TRUE(doc.isBlockRemoved(1));
    EXPECT_EQ(h.link.logLines(LogLevel::Normal).back(), "Redo: remove block 2");
}

TEST(BlockEdits, RemovingIsRefusedWhileASaveReadsTheList) {
    DocumentHarness h;
    h.pretendLoaded(1000);
    h.doc.replaceBreakPoints({100});
    HeldThread save(h.doc.m_saveAllThread);
    EXPECT_FALSE(h.doc.removeBlock(0));
    EXPECT_TRUE(h.doc.m_blockEdits.empty());
    EXPECT_EQ(h.link.logLines(LogLevel::Error).back(),
              "You can not change break points while separated blocks are saving ...");
}

TEST(BlockEdits, OpeningAFileForgetsTheEdits) {
    DocumentHarness h;
    h.pretendLoaded(1000);
    h.doc.replaceBreakPoints({100});
    h.doc.removeBlock(0);
    h.load(testing_support::fixture("cbr128.mp3"));
    EXPECT_TRUE(h.doc.m_blockEdits.empty());
    EXPECT_EQ(h.doc.editedStream().size(), 1u);
}

TEST(EditedStream, NextKeptFrameSkipsRemovedBlocks) {
    const std::vector<EditedRange> stream = editedStream({0, 10, 20, 30}, 40, removedAt({10, 30}));
    const std::vector<std::pair<int, int>> table = {{0, 0},   {9, 9},   {10, 20}, {19, 20},
                                                    {20, 20}, {29, 29}, {30, 40}, {39, 40}};
    for (const auto& [frame, next] : table) {
        EXPECT_EQ(keptFrameFrom(stream, frame, 40), next) << frame;
    }
    EXPECT_EQ(editedFrameCount(stream), 20);
    EXPECT_EQ(stream[1].block, 2);
}

} // namespace
