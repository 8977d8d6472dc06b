#pragma once

#include "app/ShellPrompts.h"

#include <QSettings>
#include <QString>

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace app_test {

// The per-process home of the shell's tests (HOME and the XDG folders point into it), so the tests
// never touch the real user's settings.
std::filesystem::path homeDir();
QSettings programSettings();
// Empties the program's settings and removes the preferences file and the remembered edit states.
void resetUserState();

// Runs `action` on the next modal dialog as soon as it is shown (from inside its exec()).
void whenModal(std::function<void(QWidget*)> action);
// Drops the action of whenModal when no dialog came.
void cancelWhenModal();

// Records every box and file dialog and answers them from queues (empty queue = cancel).
class RecordingShellPrompts final : public ShellPrompts {
public:
    struct Box {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };
    struct FileRequest {
        std::string filter;
        std::string defaultExtension;
        std::string proposedName;
        std::optional<Overwrite> overwrite; // empty for an open dialog
    };

    void messageBox(const std::string& text, const std::string& caption, MessageIcon icon) override {
        boxes.push_back({text, caption, icon});
    }
    std::optional<std::filesystem::path> chooseFolder(const std::string& title) override {
        folderTitles.push_back(title);
        return take(folderAnswers);
    }
    std::optional<std::filesystem::path> chooseOpenFile(const std::string& filter,
                                                        const std::string& defaultExtension) override {
        fileRequests.push_back({filter, defaultExtension, "", std::nullopt});
        return take(fileAnswers);
    }
    using ShellPrompts::chooseSaveFile;
    std::optional<std::filesystem::path> chooseSaveFile(const std::string& filter,
                                                        const std::string& defaultExtension,
                                                        const std::string& proposedName,
                                                        Overwrite overwrite) override {
        fileRequests.push_back({filter, defaultExtension, proposedName, overwrite});
        return take(fileAnswers);
    }

    // The dialogs with one filter per format answer from fileAnswers, with the filter from
    // filterAnswers (0 when that queue is empty).
    std::optional<ChosenFile> chooseOpenFileOfKind(const std::string& filter,
                                                   const std::string& defaultExtension) override {
        fileRequests.push_back({filter, defaultExtension, "", std::nullopt});
        return chosen(take(fileAnswers));
    }
    std::optional<ChosenFile> chooseSaveFileOfKind(const std::string& filter,
                                                   const std::string& defaultExtension,
                                                   const std::string& proposedName) override {
        fileRequests.push_back({filter, defaultExtension, proposedName, Overwrite::Ask});
        return chosen(take(fileAnswers));
    }
    Answer askYesNoCancel(const std::string& text, const std::string& caption) override {
        questions.push_back({text, caption, MessageIcon::Information});
        if (questionAnswers.empty()) {
            return Answer::Cancel;
        }
        const Answer answer = questionAnswers.front();
        questionAnswers.pop_front();
        return answer;
    }

    struct Choice {
        std::string text;
        std::string caption;
        std::vector<std::string> buttons;
        std::size_t boxesBefore; // boxes shown before the question
    };
    // Answers from choiceAnswers, the last button when that queue is empty.
    int askChoice(const std::string& text, const std::string& caption,
                  const std::vector<std::string>& buttons) override {
        choices.push_back({text, caption, buttons, boxes.size()});
        if (choiceAnswers.empty()) {
            return static_cast<int>(buttons.size()) - 1;
        }
        const int answer = choiceAnswers.front();
        choiceAnswers.pop_front();
        return answer;
    }

    std::vector<Box> boxes;
    std::vector<Choice> choices;
    std::deque<int> choiceAnswers;
    std::vector<Box> questions;
    std::deque<Answer> questionAnswers;
    std::deque<int> filterAnswers;
    std::vector<std::string> folderTitles;
    std::vector<FileRequest> fileRequests;
    std::deque<std::optional<std::filesystem::path>> folderAnswers;
    std::deque<std::optional<std::filesystem::path>> fileAnswers;

private:
    std::optional<ChosenFile> chosen(const std::optional<std::filesystem::path>& path) {
        int filter = 0;
        if (!filterAnswers.empty()) {
            filter = filterAnswers.front();
            filterAnswers.pop_front();
        }
        return path ? std::optional<ChosenFile>(ChosenFile{*path, filter}) : std::nullopt;
    }
    static std::optional<std::filesystem::path>
    take(std::deque<std::optional<std::filesystem::path>>& answers) {
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace app_test
