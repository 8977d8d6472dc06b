#pragma once

#include "cli/ErrorOutput.h"
#include "document/UserPrompts.h"

#include <cstdio>

// The command-line tool has no boxes: their texts go to stderr and choosers are answered up front.
class CliPrompts final : public UserPrompts {
public:
    void messageBox(const std::string& text, const std::string& caption, MessageIcon) override {
        if (caption == "Error") {
            // Its text is mostly a level-2 line as well: printed once.
            printError(text);
            ++errorBoxes;
        } else {
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        }
    }
    std::optional<std::filesystem::path> chooseFolder(const std::string&) override { return folder; }
    std::optional<std::filesystem::path> chooseSaveFile(const std::string&, const std::string&,
                                                        const std::string&) override {
        return saveFile;
    }

    std::optional<std::filesystem::path> folder;
    std::optional<std::filesystem::path> saveFile;
    int errorBoxes = 0;
};
