#pragma once

#include "engine/PcmBudget.h"
#include "settings/PieceOptions.h"
#include "settings/Preferences.h"

#include <QDialog>

class CPreferencesMemoryPage;
class CPreferencesPiecesPage;
class CPreferencesSplitPage;
class CPreferencesStandardPage;
class QTabWidget;
class ShellPrompts;

// The "Preferences" sheet with the pages "Standard", "Split options", "Pieces" and "Memory", each on
// its own copy of the settings. OK assembles a new record from the two copies; a page never shown keeps its
// copy.
class CPreferencesSheet : public QDialog {
    Q_OBJECT
public:
    CPreferencesSheet(const Preferences& preferences, ShellPrompts& prompts, QWidget* parent = nullptr,
                      const PieceOptions& pieces = {}, std::size_t pcmBudgetBytes = mp3::kDefaultPcmBudget);

    // The record assembled from the pages' copies (meaningful after OK).
    Preferences assembled() const;
    // The options of the page "Pieces".
    PieceOptions pieceOptions() const;
    // The memory budget of the page "Memory", in bytes.
    std::size_t pcmBudgetBytes() const;

    QTabWidget& tabs() const { return *m_tabs; }
    CPreferencesStandardPage& standardPage() const { return *m_standard; }
    CPreferencesSplitPage& splitPage() const { return *m_split; }
    CPreferencesPiecesPage& piecesPage() const { return *m_pieces; }
    CPreferencesMemoryPage& memoryPage() const { return *m_memory; }

    void accept() override;
    void done(int result) override;

private:
    void pageChanged(int index);

    CPreferencesStandardPage* m_standard;
    CPreferencesSplitPage* m_split;
    CPreferencesPiecesPage* m_pieces;
    CPreferencesMemoryPage* m_memory;
    QTabWidget* m_tabs;
    int m_currentPage = 0;
    bool m_returningToPage = false;
};
