#include "document/EditHistory.h"

#include <gtest/gtest.h>

namespace {

EditSnapshot state(BreakPointList breakPoints, int selected = -1,
                   decltype(EditSnapshot::blockTags) tags = {}) {
    return EditSnapshot{std::move(breakPoints), std::move(tags), selected, {}};
}

TEST(EditHistory, UndoAndRedoWalkTheStepsBothWays) {
    EditHistory history;
    EXPECT_FALSE(history.canUndo());
    EXPECT_FALSE(history.undo(state({})).has_value());

    // Each change records the state before it.
    std::vector<EditSnapshot> states = {state({}), state({100}, 100), state({100, 200}, 200),
                                        state({100, 200}, 200, {{1, ID3Info{"a", "b", "c", "", 2000}}})};
    const char* names[] = {"add 100", "add 200", "tag block 1"};
    for (std::size_t i = 0; i + 1 < states.size(); ++i) {
        history.record(states[i], names[i]);
    }
    EXPECT_EQ(history.undoDescription(), "tag block 1");

    EditSnapshot current = states.back();
    for (std::size_t i = states.size() - 1; i-- > 0;) {
        ASSERT_TRUE(history.canUndo());
        EXPECT_EQ(history.undoDescription(), names[i]);
        current = *history.undo(current);
        EXPECT_EQ(current, states[i]);
    }
    EXPECT_FALSE(history.canUndo());
    for (std::size_t i = 1; i < states.size(); ++i) {
        EXPECT_EQ(history.redoDescription(), names[i - 1]);
        current = *history.redo(current);
        EXPECT_EQ(current, states[i]);
    }
    EXPECT_FALSE(history.canRedo());

    // A new change after an undo forgets what could have been redone.
    current = *history.undo(current);
    history.record(current, "clear");
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(history.undoDescription(), "clear");
}

TEST(EditHistory, ADragOrARunOfNudgesIsOneStep) {
    EditHistory history;
    history.record(state({}), "add 50");
    // A drag records before every move; the run keeps the state before the first one.
    history.record(state({50}, 50), "move 50 to 51", "drag");
    history.record(state({51}, 50), "move 50 to 52", "drag");
    history.record(state({52}, 50), "move 50 to 60", "drag");
    history.closeRun();
    // The same kind of run after the close is a step of its own.
    history.record(state({60}, 60), "nudge 60 to 61", "drag");
    history.record(state({61}, 61), "nudge 61 to 62", "nudge");
    history.record(state({62}, 62), "nudge 62 to 63", "nudge");
    EXPECT_EQ(history.undoSteps(), 4u);

    EditSnapshot current = state({63}, 63);
    EXPECT_EQ(history.undoDescription(), "nudge 61 to 62");
    current = *history.undo(current);
    EXPECT_EQ(current, state({61}, 61));
    current = *history.undo(current);
    EXPECT_EQ(current, state({60}, 60));
    EXPECT_EQ(history.undoDescription(), "move 50 to 51");
    current = *history.undo(current);
    EXPECT_EQ(current, state({50}, 50));
    // An undo ends the run: the next change is not folded into an old step.
    history.record(current, "move again", "drag");
    EXPECT_EQ(history.undoSteps(), 2u);
}

TEST(EditHistory, ForgetsTheOldestStepsAtTheMemoryBound) {
    const BreakPointList big(1000, 7); // about 4 KB a snapshot
    EditHistory history(64 * 1024);
    for (int i = 0; i < 200; ++i) {
        BreakPointList list = big;
        list.push_back(i);
        history.record(state(list), "step " + std::to_string(i));
        ASSERT_LE(history.memoryUsed(), history.memoryBound()) << i;
    }
    EXPECT_GT(history.undoSteps(), 5u);
    EXPECT_LT(history.undoSteps(), 20u);
    // The steps kept are the newest ones, and undo stops where they end.
    EditSnapshot current = state({});
    std::size_t undone = 0;
    std::string last;
    while (history.canUndo()) {
        last = history.undoDescription();
        current = *history.undo(current);
        ++undone;
        ASSERT_LE(undone, 200u);
    }
    EXPECT_EQ(last, "step " + std::to_string(200 - undone));
    EXPECT_EQ(current.breakPoints.back(), static_cast<int>(200 - undone));
    EXPECT_LE(history.memoryUsed(), history.memoryBound());

    // One step larger than the whole bound is still kept: the latest change can always be undone.
    EditHistory tiny(16);
    tiny.record(state(big), "huge");
    EXPECT_TRUE(tiny.canUndo());
    tiny.record(state(big), "huge again");
    EXPECT_EQ(tiny.undoSteps(), 1u);
    EXPECT_EQ(tiny.undoDescription(), "huge again");
}

// A run of nudges on one element, closed, then another: Undo takes back the second run and must end
// it, so the next nudge is a step of its own and not folded into the first run.
TEST(EditHistory, UndoEndsTheRunSoTheNextNudgeIsANewStep) {
    EditHistory history;
    history.record(state({100}, 100), "nudge 100", "move 0");
    history.record(state({101}, 101), "nudge 101", "move 0");
    history.closeRun();
    history.record(state({102}, 102), "nudge 102", "move 0");
    EditSnapshot current = *history.undo(state({103}, 103));
    EXPECT_EQ(current, state({102}, 102));

    history.record(current, "nudge 102 again", "move 0");
    EXPECT_EQ(history.undoSteps(), 2u);
    EXPECT_EQ(history.undoDescription(), "nudge 102 again");
    EXPECT_EQ(*history.undo(state({103}, 103)), state({102}, 102));
    EXPECT_EQ(*history.undo(state({102}, 102)), state({100}, 100));
}

// Block tags are part of every snapshot and count towards the bound like break points do: steps
// that each hold a 4 KB title are forgotten as steps holding 4 KB of break points are.
TEST(EditHistory, TheMemoryBoundCountsBlockTagTexts) {
    const std::size_t bound = 64 * 1024;
    const std::string longText(4096, 'x');
    for (const auto part : {&ID3Info::album, &ID3Info::artist, &ID3Info::title, &ID3Info::comment}) {
        EditHistory history(bound);
        for (int i = 0; i < 200; ++i) {
            ID3Info tag;
            tag.*part = longText;
            history.record(state({i}, -1, {{i, tag}}), "tag " + std::to_string(i));
            ASSERT_GE(history.memoryUsed(), 4096u);
            ASSERT_LE(history.memoryUsed(), bound);
        }
        EXPECT_GT(history.undoSteps(), 5u);
        EXPECT_LT(history.undoSteps(), 20u);
    }
    // Many small tags count too: 500 records a snapshot.
    EditHistory history(bound);
    for (int i = 0; i < 200; ++i) {
        decltype(EditSnapshot::blockTags) tags;
        for (int block = 0; block < 500; ++block) {
            tags.insert(tags.end(), {block, ID3Info{}});
        }
        history.record(state({}, -1, std::move(tags)), "tags " + std::to_string(i));
    }
    EXPECT_LT(history.undoSteps(), 20u);
}

} // namespace
