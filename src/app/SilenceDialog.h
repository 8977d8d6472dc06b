#pragma once

#include "app/SilenceOptions.h"

#include <QDialog>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

// Find Silences: the finder's settings, with the break points they would add shown in the view
// while the user changes them. The caller adds them on OK; the dialog only finds and shows.
class CSilenceDialog : public QDialog {
    Q_OBJECT
public:
    // What the settings would give for the loaded file, without changing it.
    using Finder = std::function<SilenceResult(const SilenceSettings&)>;
    // Shows the break points as a preview in the view; an empty list clears it.
    using Preview = std::function<void(const std::vector<int>&)>;

    CSilenceDialog(const SilenceOptions& initial, Finder finder, Preview preview, QWidget* parent = nullptr);
    ~CSilenceDialog() override;

    SilenceOptions options() const;
    // What the current settings give: the preview and the texts show this.
    const SilenceResult& found() const { return m_result; }

    // Both OK and Cancel leave the view without the preview.
    void done(int result) override;

private:
    void refresh();
    void clearPreview();

    Finder m_finder;
    Preview m_preview;
    bool m_previewShown = false;
    SilenceResult m_result;
    QDoubleSpinBox* m_threshold;
    QDoubleSpinBox* m_minSilence;
    QComboBox* m_cut;
    QDoubleSpinBox* m_minPiece;
    QCheckBox* m_tracksCheck;
    QSpinBox* m_tracks;
    QCheckBox* m_deleteCheck;
    QLabel* m_count;
    QLabel* m_report;
};
