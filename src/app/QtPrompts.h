#pragma once

#include "app/ShellPrompts.h"

class QWidget;

// Message boxes and file dialogs of the toolkit, owned by a window of the program.
class QtPrompts final : public ShellPrompts {
public:
    explicit QtPrompts(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }

    void messageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
    std::optional<std::filesystem::path> chooseFolder(const std::string& title) override;
    std::optional<std::filesystem::path> chooseOpenFile(const std::string& filter,
                                                        const std::string& defaultExtension) override;
    using ShellPrompts::chooseSaveFile;
    std::optional<std::filesystem::path> chooseSaveFile(const std::string& filter,
                                                        const std::string& defaultExtension,
                                                        const std::string& proposedName,
                                                        Overwrite overwrite) override;

    std::optional<ChosenFile> chooseOpenFileOfKind(const std::string& filter,
                                                   const std::string& defaultExtension) override;
    std::optional<ChosenFile> chooseSaveFileOfKind(const std::string& filter,
                                                   const std::string& defaultExtension,
                                                   const std::string& proposedName) override;
    Answer askYesNoCancel(const std::string& text, const std::string& caption) override;

private:
    QWidget* m_owner;
};
