#include "app/PreferencesMemoryPage.h"

#include "app/MemorySettings.h"
#include "engine/PcmBudget.h"

#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

} // namespace

CPreferencesMemoryPage::CPreferencesMemoryPage(std::size_t pcmBudgetBytes, QWidget* parent)
    : QWidget(parent), m_memory(new QSpinBox(this)) {
    m_memory->setObjectName(QStringLiteral("memoryMiB"));
    m_memory->setRange(memory_limits::kMinMiB, memory_limits::kMaxMiB);
    m_memory->setSuffix(QStringLiteral(" MiB"));
    m_memory->setSingleStep(16);
    // A budget set by hand in the settings file to no whole MiB shows rounded up.
    const auto mib = static_cast<long long>((pcmBudgetBytes + kMiB - 1) / kMiB);
    m_memory->setValue(
        static_cast<int>(std::clamp<long long>(mib, memory_limits::kMinMiB, memory_limits::kMaxMiB)));

    auto* hint = new QLabel(QStringLiteral("Default: %1 MiB. Decoded sound of the loaded file is kept in "
                                           "memory up to this size; a longer file is decoded again "
                                           "where it is played.")
                                .arg(mp3::kDefaultPcmBudget / kMiB),
                            this);
    hint->setObjectName(QStringLiteral("memoryDefault"));
    hint->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Memory:"), m_memory);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addStretch();
}

std::size_t CPreferencesMemoryPage::pcmBudgetBytes() const {
    return static_cast<std::size_t>(m_memory->value()) * kMiB;
}
