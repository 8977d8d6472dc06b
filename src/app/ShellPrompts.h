#pragma once

#include "document/UserPrompts.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The window program's modal questions: the core's boxes and choosers plus the file dialogs of the
// shell's own commands. Filters are in the program's form ("MP3 files(*.mp3)|*.mp3||"). Tests
// replace it with a recorder.
class ShellPrompts : public UserPrompts {
public:
    enum class Overwrite { Ask, DontAsk };

    // An open-file dialog; nothing when the user cancels.
    virtual std::optional<std::filesystem::path> chooseOpenFile(const std::string& filter,
                                                                const std::string& defaultExtension) = 0;
    // A save-file dialog that asks before an existing file is chosen, or not.
    virtual std::optional<std::filesystem::path> chooseSaveFile(const std::string& filter,
                                                                const std::string& defaultExtension,
                                                                const std::string& proposedName,
                                                                Overwrite overwrite) = 0;

    // A chosen file and the 0-based filter that was selected when it was chosen.
    struct ChosenFile {
        std::filesystem::path path;
        int filter = 0;
    };
    // File dialogs with one filter per format; the caller reads the format from the chosen filter.
    // The defaults report the first filter.
    virtual std::optional<ChosenFile> chooseOpenFileOfKind(const std::string& filter,
                                                           const std::string& defaultExtension) {
        const auto path = chooseOpenFile(filter, defaultExtension);
        return path ? std::optional<ChosenFile>(ChosenFile{*path, 0}) : std::nullopt;
    }
    virtual std::optional<ChosenFile> chooseSaveFileOfKind(const std::string& filter,
                                                           const std::string& defaultExtension,
                                                           const std::string& proposedName) {
        const auto path = chooseSaveFile(filter, defaultExtension, proposedName, Overwrite::Ask);
        return path ? std::optional<ChosenFile>(ChosenFile{*path, 0}) : std::nullopt;
    }

    enum class Answer { Yes, No, Cancel };
    // A question box with Yes, No and Cancel; the default answers Cancel.
    virtual Answer askYesNoCancel(const std::string& /*text*/, const std::string& /*caption*/) {
        return Answer::Cancel;
    }

    // A question box with buttons of the caller's texts, the first the default and the last taking
    // Escape; the index of the button pressed. The default answers the last.
    virtual int askChoice(const std::string& /*text*/, const std::string& /*caption*/,
                          const std::vector<std::string>& buttons) {
        return static_cast<int>(buttons.size()) - 1;
    }

    // The core's save dialog (one block from a break point) asks before overwriting.
    std::optional<std::filesystem::path> chooseSaveFile(const std::string& filter,
                                                        const std::string& defaultExtension,
                                                        const std::string& proposedName) override {
        return chooseSaveFile(filter, defaultExtension, proposedName, Overwrite::Ask);
    }
};
