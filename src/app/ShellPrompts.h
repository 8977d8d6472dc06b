#pragma once

#include "document/UserPrompts.h"

#include <filesystem>
#include <optional>
#include <string>

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

    // The core's save dialog (one block from a break point) asks before overwriting.
    std::optional<std::filesystem::path> chooseSaveFile(const std::string& filter,
                                                        const std::string& defaultExtension,
                                                        const std::string& proposedName) override {
        return chooseSaveFile(filter, defaultExtension, proposedName, Overwrite::Ask);
    }
};
