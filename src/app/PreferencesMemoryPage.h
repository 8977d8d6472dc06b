#pragma once

#include <QWidget>

#include <cstddef>

class QSpinBox;

// The page "Memory": how much decoded sound the program keeps, in MiB, with the default shown.
class CPreferencesMemoryPage : public QWidget {
    Q_OBJECT
public:
    explicit CPreferencesMemoryPage(std::size_t pcmBudgetBytes, QWidget* parent = nullptr);

    // The budget as the control shows it, in bytes.
    std::size_t pcmBudgetBytes() const;

private:
    QSpinBox* m_memory;
};
