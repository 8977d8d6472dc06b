#include "DocumentHarness.h"

#include "document/BreakPointLists.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using testing_support::scratchDir;

EditSnapshot stateOf(const SplitDocument& doc) {
    return EditSnapshot{doc.m_breakPoints, doc.m_blockTags, doc.m_selectedBreakPoint, doc.m_blockEdits};
}

ID3Info titled(const std::string& title) {
    ID3Info tag;
    tag.title = title;
    return tag;
}

TEST(Undo, EveryKindOfChangeIsOneStepBackAndForth) {
    const auto dir = scratchDir("undo-walk");
    testing_support::writeBytes(dir / "two.bps", {50, 0, 0, 0, 60, 0, 0, 0});
    DocumentHarness h;
    h.pretendLoaded(500);
    SplitDocument& doc = h.doc;

    std::vector<EditSnapshot> states = {stateOf(doc)};
    std::vector<std::string> names;
    const auto step = [&](const std::string& name, const std::function<void()>& change) {
        change();
        ASSERT_NE(stateOf(doc), states.back()) << name << " changed nothing";
        states.push_back(stateOf(doc));
        names.push_back(name);
    };
    step("add break point at 100 F", [&] { doc.addBreakPointAt(100); });
    step("add break point at 300 F", [&] { doc.addBreakPointByDialog(300); });
    step("move break point from 100 F", [&] {
        doc.selectBreakPoint(100);
        const auto dragged = doc.beginDrag();
        ASSERT_TRUE(dragged);
        for (const int frame : {105, 110, 120}) {
            doc.trackDrag(*dragged, frame);
        }
        doc.endDrag(*dragged);
    });
    step("move break point from 120 F", [&] {
        for (int i = 0; i < 3; ++i) {
            doc.nudgeSelected(+1);
        }
    });
    step("delete break point at 123 F", [&] { doc.deleteSelected(); });
    step("delete break point at 300 F", [&] { doc.removeBreakPoint(300); });
    step("add more break points", [&] { doc.placeAutomaticBreakPoints(AutoMethod::EqualCount, 4, false); });
    step("load break points from file " + (dir / "two.bps").string(),
         [&] { doc.loadBreakPointFile(dir / "two.bps"); });
    step("import break points from a list", [&] {
        TimedList list;
        list.entries = {{1.0, "One", "", 1}, {2.0, "Two", "", 2}};
        ASSERT_TRUE(importTimedList(doc, list, true, "a list"));
    });
    step("edit the block tags", [&] { doc.replaceBlockTags({{0, titled("First")}}); });
    step("set the tag of block 3", [&] { doc.setBlockTag(2, titled("Third")); });
    step("clear break points", [&] { doc.clearBreakPoints(); });

    // Back to the start, one step at a time, then no further.
    for (std::size_t i = names.size(); i-- > 0;) {
        ASSERT_EQ(doc.m_history.undoDescription(), names[i]);
        ASSERT_TRUE(doc.undoEdit());
        EXPECT_EQ(stateOf(doc), states[i]) << "after undoing " << names[i];
    }
    EXPECT_FALSE(doc.undoEdit());
    EXPECT_EQ(h.link.logLines(LogLevel::Normal).back(), "Undo: " + names.front());
    // And forward again to the end.
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ(doc.m_history.redoDescription(), names[i]);
        ASSERT_TRUE(doc.redoEdit());
        EXPECT_EQ(stateOf(doc), states[i + 1]) << "after redoing " << names[i];
    }
    EXPECT_FALSE(doc.redoEdit());
    EXPECT_TRUE(h.link.logLines(LogLevel::Error).empty());
}

TEST(Undo, StopsWhereTheMemoryBoundForgotTheOldestSteps) {
    DocumentHarness h;
    h.pretendLoaded(100000);
    SplitDocument& doc = h.doc;
    doc.m_history = EditHistory(64 * 1024);
    for (int frame = 1; frame <= 2000; ++frame) {
        doc.addBreakPointByDialog(frame);
    }
    ASSERT_LE(doc.m_history.memoryUsed(), doc.m_history.memoryBound());
    int undone = 0;
    while (doc.undoEdit()) {
        ++undone;
    }
    EXPECT_GT(undone, 3);
    EXPECT_LT(undone, 2000);
    EXPECT_EQ(doc.m_breakPoints.size(), static_cast<std::size_t>(2000 - undone));
    EXPECT_EQ(doc.m_breakPoints.back(), 2000 - undone);
}

TEST(Undo, RefusedWhileASaveReadsTheListAndForgottenByANewLoad) {
    DocumentHarness h;
    h.load(testing_support::fixture("cbr128.mp3"));
    SplitDocument& doc = h.doc;
    doc.addBreakPointAt(10);
    doc.addBreakPointAt(20);
    {
        HeldThread saving(doc.m_saveAllThread);
        EXPECT_FALSE(doc.undoEdit());
        EXPECT_EQ(doc.m_breakPoints, (BreakPointList{10, 20}));
        EXPECT_EQ(h.link.logLines(LogLevel::Error).back(),
                  "You can not change break points while separated blocks are saving ...");
    }
    ASSERT_TRUE(doc.undoEdit());
    EXPECT_EQ(doc.m_breakPoints, (BreakPointList{10}));

    h.load(testing_support::fixture("cbr128.mp3"));
    EXPECT_FALSE(doc.m_history.canUndo());
    EXPECT_FALSE(doc.m_history.canRedo());
}

} // namespace
