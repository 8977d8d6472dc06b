#include "DocumentHarness.h"

#include <gtest/gtest.h>

namespace {

struct BusyCase {
    const char* state;
    int frames;
    WorkerSlot SplitDocument::*slot; // the running thread, or none
    bool busy;
    bool ruleA;
    bool ruleB;
};

TEST(DocumentState, BusyRulesInEveryState) {
    const BusyCase cases[] = {
        {"empty", 0, nullptr, false, false, false},
        {"ready", 5, nullptr, false, true, true},
        {"loading (no frames yet)", 0, &SplitDocument::m_loadThread, true, false, false},
        {"loading over a loaded file", 5, &SplitDocument::m_loadThread, true, false, false},
        {"saving all", 5, &SplitDocument::m_saveAllThread, true, false, true},
        {"saving one block", 5, &SplitDocument::m_blockThread, true, false, true},
        {"converting", 5, &SplitDocument::m_wavThread, true, false, true},
    };
    for (const BusyCase& c : cases) {
        SCOPED_TRACE(c.state);
        DocumentHarness h;
        h.pretendLoaded(c.frames);
        std::optional<HeldThread> held;
        if (c.slot != nullptr) {
            held.emplace(h.doc.*c.slot);
        }
        EXPECT_EQ(h.doc.isBusy(), c.busy);
        EXPECT_EQ(h.doc.canEditBreakPoints(), c.ruleA);
        EXPECT_EQ(h.doc.canUseBreakPointList(), c.ruleB);
    }
}

TEST(DocumentState, StartsEmptyWithTheDefaultTag) {
    DocumentHarness h;
    EXPECT_EQ(h.doc.frameCount(), 0);
    EXPECT_FALSE(h.doc.m_loaded);
    EXPECT_EQ(h.doc.m_selectedBreakPoint, -1);
    EXPECT_TRUE(h.doc.m_cursor == mp3::FrameReader());
    EXPECT_EQ(h.doc.m_mainTag, (ID3Info{"", "", "", "", 1979}));
}

TEST(DocumentState, MessageValues) {
    EXPECT_EQ(UM_OUTPUT_LOG, 0x83E8u);
    EXPECT_EQ(UM_BREAKPOINT_BUTTON, 0x83F0u);
    EXPECT_EQ(UM_QUERY_LOADING, 0x844Du);
    EXPECT_EQ(UM_QUERY_VIEW_FOCUS, 0x844Fu);
    EXPECT_EQ(UM_ADD_BREAKPOINT, 0x84B1u);
}

} // namespace
