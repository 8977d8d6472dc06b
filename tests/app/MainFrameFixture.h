#pragma once

#include "AppTestSupport.h"

#include "app/MainFrame.h"
#include "support/EventLoopWait.h"
#include "support/PacedSoundOutput.h"
#include "view/ChildView.h"

#include <QString>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace app_test {

// A main window over a paced sound output, on a user state emptied first.
class MainFrameFixture : public ::testing::Test {
protected:
    void SetUp() override {
        resetUserState();
        auto output = std::make_unique<PacedSoundOutput>();
        sound = output.get();
        frame = std::make_unique<CMainFrame>(&prompts, std::move(output));
    }
    // Opens `path` and waits for its load to end.
    void load(const std::filesystem::path& path) {
        frame->openFile(QString::fromStdString(path.string()));
        ASSERT_TRUE(testing_support::processEventsUntil([&] { return !frame->view().m_loadThread.isSet(); }));
        frame->updateCommands();
    }

    RecordingShellPrompts prompts;
    PacedSoundOutput* sound = nullptr;
    std::unique_ptr<CMainFrame> frame;
};

} // namespace app_test
