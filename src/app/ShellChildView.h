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
    // Called when a load has completed (the frame offers the remembered edits).
    void setLoadedHook(std::function<void()> loaded) { m_loaded = std::move(loaded); }
    void fileLoaded() override {
        if (m_loaded) {
            m_loaded();
        }
    }

private:
    RecentHook m_addToRecent;
    std::function<void()> m_loaded;
};
