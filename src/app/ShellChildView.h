#pragma once

#include "view/ChildView.h"

#include <functional>

// The view as the main frame hosts it: the open routine's recent-file step reaches the frame's list.
class ShellChildView final : public CChildView {
public:
    using RecentHook = std::function<void(const std::filesystem::path&)>;

    ShellChildView(WindowLink& frame, UserPrompts& prompts, std::unique_ptr<SoundOutput> output,
                   RecentHook addToRecent, QWidget* parent)
        : CChildView(frame, prompts, std::move(output), parent), m_addToRecent(std::move(addToRecent)) {}

    void addToRecentFiles(const std::filesystem::path& path) override { m_addToRecent(path); }

private:
    RecentHook m_addToRecent;
};
