#pragma once

#include "app/ShellPrompts.h"

#include <filesystem>
#include <functional>

class QWidget;

// Message boxes and file dialogs of the toolkit, owned by a window of the program.
class QtPrompts final : public ShellPrompts {
public:
    explicit QtPrompts(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }
    // The loaded file, beside which the file dialogs open (see FileDialogFolders.h).
    void setLoadedFile(std::function<std::filesystem::path()> loadedFile) {
        m_loadedFile = std::move(loadedFile);
    }

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
    int askChoice(const std::string& text, const std::string& caption,
                  const std::vector<std::string>& buttons) override;

private:
    std::filesystem::path loadedFile() const {
        return m_loadedFile ? m_loadedFile() : std::filesystem::path();
    }
    // Runs a file dialog of `kind` in its folder and remembers the folder of the choice.
    std::optional<std::filesystem::path> runInFolder(class QFileDialog& dialog, const std::string& kind);

    QWidget* m_owner;
    std::function<std::filesystem::path()> m_loadedFile;
};
