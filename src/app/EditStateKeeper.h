#pragma once

#include "document/EditStateStore.h"

#include <QObject>

#include <filesystem>
#include <optional>
#include <string>

class QTimer;
class SplitDocument;

// Keeps the store of remembered edit states up to date with the loaded file: a state that changed is
// written a moment later, and at once before another file opens or the program closes, so neither
// loses work. Also holds a project waiting for its source to load.
class EditStateKeeper final : public QObject {
public:
    // The folder beside the settings file that holds the remembered states.
    static std::filesystem::path defaultFolder();

    EditStateKeeper(SplitDocument& doc, std::filesystem::path folder, QObject* parent);

    EditStateStore& store() { return m_store; }

    // A load completed: what it holds now is what counts as remembered, until the user changes it.
    void startFile();
    // The state the store remembers for the loaded file and which has work in it; nothing otherwise.
    std::optional<Project> rememberedForLoadedFile() const;
    // Writes the loaded file's state now if it changed since it was last written or restored.
    void rememberNow();

    // A project opened before its source was loaded; applied when the load completes.
    void setPending(Project project) { m_pending = std::move(project); }
    std::optional<Project> takePending();

private:
    SplitDocument& m_doc;
    EditStateStore m_store;
    // The state of the loaded file as last written (or as loaded or restored); nothing before a load.
    std::optional<Project> m_written;
    std::optional<Project> m_pending;
    std::string m_lastError;
    QTimer* m_timer = nullptr;
};
