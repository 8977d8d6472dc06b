#pragma once

#include "document/UserPrompts.h"

#include <mutex>
#include <vector>

// Records every message box and answers the choosers with preset paths (nothing = cancel).
class RecordingPrompts final : public UserPrompts {
public:
    struct Box {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };

    void messageBox(const std::string& text, const std::string& caption, MessageIcon icon) override {
        const std::lock_guard<std::mutex> lock(m_mutex);
        boxes.push_back({text, caption, icon});
    }
    std::optional<std::filesystem::path> chooseFolder(const std::string& title) override {
        folderTitles.push_back(title);
        return folderAnswer;
    }
    std::optional<std::filesystem::path> chooseSaveFile(const std::string& filter, const std::string&,
                                                        const std::string& proposedName) override {
        saveFilters.push_back(filter);
        proposedNames.push_back(proposedName);
        return saveAnswer;
    }

    std::vector<Box> boxes;
    std::vector<std::string> folderTitles;
    std::vector<std::string> saveFilters;
    std::vector<std::string> proposedNames;
    std::optional<std::filesystem::path> folderAnswer;
    std::optional<std::filesystem::path> saveAnswer;

private:
    std::mutex m_mutex;
};
