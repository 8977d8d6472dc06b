#include "DocumentHarness.h"

#include "document/DocumentProject.h"
#include "document/EditStateStore.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

namespace {

using testing_support::scratchDir;

Project stateOf(const std::filesystem::path& source, std::int64_t size, std::int64_t modifiedNs) {
    Project state;
    state.source = {source, size, modifiedNs, 500};
    state.breakPoints = {100, 200};
    state.blockEdits[100] = BlockEdit{true, 0, 0, 0};
    return state;
}

TEST(EditStateStoreTest, AnswersOnlyForTheSamePathSizeAndTime) {
    const auto folder = scratchDir("state-keys");
    EditStateStore store(folder / "states");
    // The spelling the store keeps: absolute (on Windows with a drive) and normal.
    const std::filesystem::path source = std::filesystem::absolute("/music/show.mp3").lexically_normal();
    const Project state = stateOf(source, 4000, 77);
    ASSERT_EQ(store.remember(state), "");

    const auto hit = store.recall(source, 4000, 77);
    ASSERT_TRUE(hit);
    EXPECT_EQ(*hit, state);
    // Another spelling of the same path finds it too.
    EXPECT_TRUE(store.recall("/music/./other/../show.mp3", 4000, 77));

    struct Miss {
        const char* name;
        std::filesystem::path path;
        std::int64_t size;
        std::int64_t modifiedNs;
    };
    for (const Miss& miss : {Miss{"other size", source, 4001, 77}, Miss{"other time", source, 4000, 78},
                             Miss{"other path", "/music/show2.mp3", 4000, 77}}) {
        EXPECT_FALSE(store.recall(miss.path, miss.size, miss.modifiedNs)) << miss.name;
    }

    // The file changed: its new state replaces the old one, which no longer answers.
    ASSERT_EQ(store.remember(stateOf(source, 4100, 90)), "");
    EXPECT_FALSE(store.recall(source, 4000, 77));
    EXPECT_TRUE(store.recall(source, 4100, 90));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "states"), {}), 1);

    // A state with nothing in it forgets the file rather than offering nothing later.
    Project empty = stateOf(source, 4100, 90);
    empty.breakPoints.clear();
    empty.blockEdits.clear();
    ASSERT_EQ(store.remember(empty), "");
    EXPECT_FALSE(store.recall(source, 4100, 90));
    EXPECT_FALSE(std::filesystem::exists(store.recordPath(source)));
}

TEST(EditStateStoreTest, KeepsOnlyTheNewestRecords) {
    const auto folder = scratchDir("state-bound");
    EditStateStore store(folder, 3);
    const auto start = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    for (int i = 0; i < 5; ++i) {
        const std::filesystem::path source = "/music/" + std::to_string(i) + ".mp3";
        ASSERT_EQ(store.remember(stateOf(source, 1000 + i, i)), "");
        // Written a minute apart, whatever the clock's grain.
        std::filesystem::last_write_time(store.recordPath(source), start + std::chrono::minutes(i));
    }
    for (int i = 0; i < 5; ++i) {
        const std::filesystem::path source = "/music/" + std::to_string(i) + ".mp3";
        EXPECT_EQ(store.recall(source, 1000 + i, i).has_value(), i >= 2) << i;
    }

    // A file reopened becomes the newest: remembering it again keeps it over the older ones.
    ASSERT_EQ(store.remember(stateOf("/music/2.mp3", 1002, 2)), "");
    ASSERT_EQ(store.remember(stateOf("/music/9.mp3", 1009, 9)), "");
    EXPECT_TRUE(store.recall("/music/2.mp3", 1002, 2));
    EXPECT_FALSE(store.recall("/music/3.mp3", 1003, 3));
}

TEST(EditStateStoreTest, DamagedRecordsAreIgnoredAndReplaced) {
    const auto folder = scratchDir("state-damaged");
    EditStateStore store(folder);
    const std::filesystem::path source = "/music/show.mp3";
    ASSERT_EQ(store.remember(stateOf(source, 10, 20)), "");
    for (const std::string& damage :
         {std::string(), std::string("{\"format\": \"Kerfline project\""), std::string(5000, '\xFF')}) {
        std::ofstream(store.recordPath(source), std::ios::binary | std::ios::trunc) << damage;
        EXPECT_FALSE(store.recall(source, 10, 20));
    }
    ASSERT_EQ(store.remember(stateOf(source, 10, 20)), "");
    EXPECT_TRUE(store.recall(source, 10, 20));

    // A record under the name of another path (a collision of the short names) does not answer.
    Project other = stateOf("/music/other.mp3", 10, 20);
    std::ofstream(store.recordPath(source), std::ios::binary | std::ios::trunc) << projectText(other);
    EXPECT_FALSE(store.recall(source, 10, 20));
}

TEST(EditStateStoreTest, AFolderThatCannotBeMadeIsAnError) {
    const auto folder = scratchDir("state-no-folder");
    std::ofstream(folder / "file") << "x";
    EditStateStore store(folder / "file" / "states");
    EXPECT_NE(store.remember(stateOf("/music/a.mp3", 1, 2)), "");
}

TEST(DocumentProjectTest, ApplyingIsOneUndoStepAndLeavesOutWhatTheFileLacks) {
    DocumentHarness h;
    h.pretendLoaded(500);
    h.doc.addBreakPointAt(50);
    h.doc.m_sourceStatus = platform::FileStatus{platform::FileStatus::Kind::Regular, 4000, 77, 1, 2};
    h.doc.m_filePath = "/music/show.mp3";

    Project project;
    project.source = {"/music/show.mp3", 4000, 77, 800};
    project.breakPoints = {100, 700, 300, 500};
    project.selectedBreakPoint = 300;
    project.blockTags = {{1, {"A", "B", "C", "D", 2000}}};
    project.blockEdits = {
        {100, BlockEdit{true, 0, 0, 0}}, {300, BlockEdit{false, 3, 10, 20}}, {700, BlockEdit{true, 0, 0, 0}}};
    project.settings = {false, true};
    const ProjectApplied applied = applyProject(h.doc, project, "open project");
    EXPECT_EQ(applied.droppedBreakPoints, 1); // 700 is past the end of 500 frames; 500 is F itself
    EXPECT_EQ(applied.droppedEdits, 1);
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{100, 300, 500}));
    EXPECT_EQ(h.doc.m_selectedBreakPoint, 300);
    EXPECT_EQ(h.doc.m_blockTags, project.blockTags);
    EXPECT_EQ(h.doc.m_blockEdits,
              (BlockEdits{{100, BlockEdit{true, 0, 0, 0}}, {300, BlockEdit{false, 3, 10, 20}}}));
    EXPECT_EQ(h.doc.m_editSettings, (EditSettings{false, true}));

    const auto saved = projectOf(h.doc);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->source, (ProjectSource{"/music/show.mp3", 4000, 77, 500}));
    EXPECT_EQ(saved->breakPoints, h.doc.m_breakPoints);
    EXPECT_EQ(saved->blockEdits, h.doc.m_blockEdits);

    ASSERT_TRUE(h.doc.undoEdit());
    EXPECT_EQ(h.doc.m_breakPoints, (BreakPointList{50}));
    EXPECT_TRUE(h.doc.m_blockEdits.empty());
    EXPECT_TRUE(h.doc.m_blockTags.empty());
    EXPECT_EQ(h.doc.m_selectedBreakPoint, 50);
    EXPECT_FALSE(h.doc.m_history.canUndo() && h.doc.m_history.undoDescription() == "open project");
}

} // namespace
