#include "app/PreferencesSheet.h"

#include "app/DialogParts.h"
#include "app/PreferencesMemoryPage.h"
#include "app/PreferencesPiecesPage.h"
#include "app/PreferencesSplitPage.h"
#include "app/PreferencesStandardPage.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

CPreferencesSheet::CPreferencesSheet(const Preferences& preferences, ShellPrompts& prompts, QWidget* parent,
                                     const PieceOptions& pieces, std::size_t pcmBudgetBytes)
    : QDialog(parent), m_standard(new CPreferencesStandardPage(preferences, prompts)),
      m_split(new CPreferencesSplitPage(preferences, prompts)), m_pieces(new CPreferencesPiecesPage(pieces)),
      m_memory(new CPreferencesMemoryPage(pcmBudgetBytes)), m_tabs(new QTabWidget(this)) {
    setWindowTitle(QStringLiteral("Preferences"));
    m_tabs->addTab(m_standard, QStringLiteral("Standard"));
    m_tabs->addTab(m_split, QStringLiteral("Split options"));
    m_tabs->addTab(m_pieces, QStringLiteral("Pieces"));
    m_tabs->addTab(m_memory, QStringLiteral("Memory"));
    m_tabs->setCurrentIndex(0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    QDialogButtonBox* buttons = makeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CPreferencesSheet::pageChanged);
    resize(520, 420);
}

void CPreferencesSheet::pageChanged(int index) {
    if (m_returningToPage) {
        return;
    }
    // The split page cannot be left while its seconds are no integer.
    if (m_tabs->widget(m_currentPage) == m_split && !m_split->readControls()) {
        m_returningToPage = true;
        m_tabs->setCurrentIndex(m_currentPage);
        m_returningToPage = false;
        return;
    }
    m_currentPage = index;
}

void CPreferencesSheet::accept() {
    if (m_split->wasShown() && !m_split->readControls()) {
        m_returningToPage = true;
        m_tabs->setCurrentWidget(m_split);
        m_currentPage = m_tabs->currentIndex();
        m_returningToPage = false;
        return;
    }
    QDialog::accept();
}

void CPreferencesSheet::done(int result) {
    // The standard page stores its controls whenever the sheet closes.
    m_standard->storeControls();
    QDialog::done(result);
}

Preferences CPreferencesSheet::assembled() const {
    const Preferences& standard = m_standard->preferences();
    Preferences result = standard;
    result.OverlapSecs = m_split->preferences().OverlapSecs;
    result.Overlap = m_split->preferences().Overlap;
    return result;
}

PieceOptions CPreferencesSheet::pieceOptions() const {
    return m_pieces->options();
}

std::size_t CPreferencesSheet::pcmBudgetBytes() const {
    return m_memory->pcmBudgetBytes();
}
