#pragma once

#include <filesystem>
#include <optional>
#include <string>

enum class MessageIcon { Error, Information, Warning };

// The modal questions and boxes the core needs from a front end: real boxes in the window program,
// stderr in the command-line tool, a recorder in tests.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // A modal box with the text and caption ("Error", "Information").
    virtual void messageBox(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
    // A folder chooser with the given title; nothing when the user cancels.
    virtual std::optional<std::filesystem::path> chooseFolder(const std::string& title) = 0;
    // A save-file dialog: filter in the program's own form ("Wave file(*.wav)|*.wav||"), the default
    // extension without a dot, and the proposed name; nothing when the user cancels.
    virtual std::optional<std::filesystem::path> chooseSaveFile(const std::string& filter,
                                                                const std::string& defaultExtension,
                                                                const std::string& proposedName) = 0;
};
