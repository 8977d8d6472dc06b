#include "app/EditStateKeeper.h"

#include "document/DocumentProject.h"
#include "document/SplitDocument.h"
#include "settings/PathText.h"
#include "settings/PreferencesFile.h"

#include <QTimer>

#include <utility>

namespace {

// Often enough that a crash loses seconds of work, rarely enough that a drag writes once.
constexpr int kRememberDelayMs = 2000;

} // namespace

std::filesystem::path EditStateKeeper::defaultFolder() {
    return preferencesPath().parent_path() / "edit-states";
}

EditStateKeeper::EditStateKeeper(SplitDocument& doc, std::filesystem::path folder, QObject* parent)
    : QObject(parent), m_doc(doc), m_store(std::move(folder)), m_timer(new QTimer(this)) {
    m_timer->setInterval(kRememberDelayMs);
    connect(m_timer, &QTimer::timeout, this, [this] { rememberNow(); });
    m_timer->start();
}

void EditStateKeeper::startFile() {
    m_written = projectOf(m_doc);
    m_lastError.clear();
}

std::optional<Project> EditStateKeeper::rememberedForLoadedFile() const {
    const std::optional<Project> loaded = projectOf(m_doc);
    if (!loaded) {
        return std::nullopt;
    }
    return m_store.recall(loaded->source.path, loaded->source.size, loaded->source.modifiedNs);
}

void EditStateKeeper::rememberNow() {
    const std::optional<Project> state = projectOf(m_doc);
    if (!state || !m_written || state->source != m_written->source || *state == *m_written) {
        return;
    }
    // Only emptying a list that had work in it forgets the file; a click on an empty one does not.
    if (!state->holdsEdits() && !m_written->holdsEdits()) {
        m_written = state;
        return;
    }
    const std::string error = m_store.remember(*state);
    // Tried once per change: a full disk is told once, not every few seconds.
    m_written = state;
    if (!error.empty() && error != m_lastError) {
        m_doc.log(LogLevel::Error,
                  "The edits of " + pathText(state->source.path) + " could not be remembered: " + error);
    }
    m_lastError = error;
}

std::optional<Project> EditStateKeeper::takePending() {
    std::optional<Project> pending = std::move(m_pending);
    m_pending.reset();
    return pending;
}
