#pragma once

#include "app/SilenceOptions.h"

#include <QDialog>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;

// Find Silences: the finder's settings, with the break points they would add shown in the view
// while the user changes them. It is not modal: the user scrolls and zooms the view to look at the
// proposals. The caller adds them on OK; the dialog only finds and shows.
class CSilenceDialog : public QDialog {
    Q_OBJECT
public:
    // What the settings would give for the loaded file, without changing it.
    using Finder = std::function<SilenceResult(const SilenceSettings&)>;
    // Shows the break points as a preview in the view; an empty list clears it.
    using Preview = std::function<void(const std::vector<int>&)>;
    // How many break points the list holds now: ticking "delete" says how many go.
    using ExistingCount = std::function<int()>;
    // Adds what OK found; false keeps the dialog open (the document changed underneath it).
    using Apply = std::function<bool(const SilenceOptions&)>;

    CSilenceDialog(const SilenceOptions& initial, Finder finder, Preview preview, QWidget* parent = nullptr);
    ~CSilenceDialog() override;

    SilenceOptions options() const;
    // What the current settings give: the preview and the texts show this.
    const SilenceResult& found() const { return m_result; }

    void setExistingCount(ExistingCount existing);
    void setApply(Apply apply);

    // Finds again for the document as it is now (another file, or the same file's load ended).
    void refresh();
    // Brings the count line up to date with the list, without finding again.
    void updateCount();

    // OK runs the caller's Apply first and stays open when it refuses.
    void accept() override;
    // Both OK and Cancel leave the view without the preview.
    void done(int result) override;

private:
    void clearPreview();

    Finder m_finder;
    Preview m_preview;
    ExistingCount m_existing;
    Apply m_apply;
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
    QPushButton* m_ok;
};
