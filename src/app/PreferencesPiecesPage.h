#pragma once

#include "settings/PieceOptions.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QSpinBox;

// The page "Pieces": how pieces are made beyond copying their frames.
class CPreferencesPiecesPage : public QWidget {
    Q_OBJECT
public:
    explicit CPreferencesPiecesPage(const PieceOptions& options, QWidget* parent = nullptr);

    // The options as the controls show them.
    PieceOptions options() const;

private:
    QCheckBox* m_gapless;
    QCheckBox* m_copyTags;
    QLineEdit* m_nameTemplate;
    QCheckBox* m_replayGain;
    QSpinBox* m_fadeCutsMs;
};
