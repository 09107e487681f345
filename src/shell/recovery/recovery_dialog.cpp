#include "shell/recovery/recovery_dialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tonvela {

QString recoveryFileLine(const RecoveryFile& file)
{
    if (file.damaged()) {
        const QString name = QString::fromStdString(file.file).section(QLatin1Char('/'), -1);
        return QStringLiteral("%1: cannot be read (%2)").arg(name, QString::fromStdString(file.damage));
    }
    const RecoveryEntry& e = file.entry;
    const QString where =
        e.originalPath.empty() ? QStringLiteral("never saved") : QString::fromStdString(e.originalPath);
    const QString when =
        QDateTime::fromSecsSinceEpoch(e.savedAt).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QString line =
        QStringLiteral("%1 (%2), changes kept %3").arg(QString::fromStdString(e.title), where, when);
    const QString recovered = QString::fromStdString(recoveredTitle(e));
    switch (file.original) {
    case OriginalState::Untitled:
    case OriginalState::Unchanged:
        break;
    case OriginalState::Missing:
        line += QStringLiteral("\n    The file is gone; Save writes it again.");
        break;
    case OriginalState::Changed:
        line +=
            QStringLiteral("\n    The file was changed since, so it opens as \"%1\" and Save asks where to.")
                .arg(recovered);
        break;
    case OriginalState::WrongKind:
        line +=
            QStringLiteral("\n    The file there is no document of this kind, so it opens as \"%1\" and Save "
                           "asks where to.")
                .arg(recovered);
        break;
    case OriginalState::Unknown:
        line += QStringLiteral(
                    "\n    Whether the file changed since is not known, so it opens as \"%1\" and Save "
                    "asks where to.")
                    .arg(recovered);
        break;
    }
    return line;
}

RecoveryDialog::RecoveryDialog(const std::vector<RecoveryFile>& files, QWidget* parent)
    : QDialog(parent), m_list(new QListWidget), m_recover(new QPushButton(QStringLiteral("Recover"))),
      m_discard(new QPushButton(QStringLiteral("Discard"))), m_later(new QPushButton(QStringLiteral("Later")))
{
    setWindowTitle(QString::fromUtf8(kRecoveryDialogTitle));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Tonvela did not close properly. These documents had changes "
                                           "that were not saved:"));
    text->setWordWrap(true);
    layout->addWidget(text);
    for (const RecoveryFile& f : files)
        m_list->addItem(recoveryFileLine(f));
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setWordWrap(true);
    m_list->setTextElideMode(Qt::ElideMiddle);
    layout->addWidget(m_list);
    auto* hint =
        new QLabel(QStringLiteral("Recover opens them with their changes. Discard throws the changes "
                                  "away. Later keeps them for the next start."));
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(m_recover, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_discard, QDialogButtonBox::DestructiveRole);
    buttons->addButton(m_later, QDialogButtonBox::RejectRole);
    m_recover->setDefault(true);
    m_recover->setAutoDefault(true);
    layout->addWidget(buttons);
    connect(m_recover, &QPushButton::clicked, this, [this] { answerWith(RecoveryAnswer::Recover); });
    connect(m_discard, &QPushButton::clicked, this, [this] { answerWith(RecoveryAnswer::Discard); });
    connect(m_later, &QPushButton::clicked, this, [this] { answerWith(RecoveryAnswer::Later); });
    resize(640, 320);
}

QPushButton* RecoveryDialog::button(RecoveryAnswer answer) const
{
    switch (answer) {
    case RecoveryAnswer::Recover:
        return m_recover;
    case RecoveryAnswer::Discard:
        return m_discard;
    case RecoveryAnswer::Later:
        return m_later;
    }
    return nullptr;
}

void RecoveryDialog::answerWith(RecoveryAnswer answer)
{
    m_answer = answer;
    if (answer == RecoveryAnswer::Later)
        reject();
    else
        accept();
}

RecoveryAnswer askRecoveryDialog(QWidget* parent, const std::vector<RecoveryFile>& files)
{
    RecoveryDialog dialog(files, parent);
    dialog.exec();
    return dialog.answer();
}

} // namespace tonvela
