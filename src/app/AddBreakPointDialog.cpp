#include "app/AddBreakPointDialog.h"

#include "app/DialogParts.h"
#include "app/IntegerEdit.h"
#include "cli/BreakPointPositions.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr char kEnterAPosition[] = "Enter a frame number or a time, such as 45962, 1:02:03.5 or 62.5s.";

} // namespace

CAddBreakPointDialog::CAddBreakPointDialog(int initialFrame, int maxFrame, ShellPrompts& prompts,
                                           QWidget* parent, std::optional<FrameTimeline> timeline)
    : QDialog(parent), m_prompts(prompts), m_edit(new IntegerEdit(1006, 1007)), m_timeline(timeline),
      m_frame(initialFrame) {
    setWindowTitle(QStringLiteral("Add break point"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Please enter the break point frame position:")));
    m_edit->setRange(0, maxFrame);
    m_edit->setValue(initialFrame);
    layout->addWidget(m_edit);
    auto* hint = new QLabel(QStringLiteral("or a time: 1:02:03.5, 62.5s (45962f is a frame)"));
    hint->setObjectName(QStringLiteral("TimeHint"));
    layout->addWidget(hint);
    QDialogButtonBox* buttons = makeOkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_edit->edit().selectAll();
    m_edit->setFocus();
}

void CAddBreakPointDialog::accept() {
    const std::optional<BreakPointPosition> position = parsePosition(m_edit->text().trimmed().toStdString());
    // A time needs the file's timeline to become a frame.
    if (!position || (!position->frame && !m_timeline)) {
        refuseFieldValue(m_prompts, &m_edit->edit(), kEnterAPosition);
        return;
    }
    m_frame = position->frame ? *position->frame : m_timeline->nearestFrame(position->seconds);
    QDialog::accept();
}
