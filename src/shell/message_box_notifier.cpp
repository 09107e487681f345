#include "shell/message_box_notifier.h"

#include <QMessageBox>

namespace tonvela {

void MessageBoxNotifier::error(const std::string& text, const std::string& caption)
{
    QMessageBox::critical(m_parent, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
}

Notifier::Answer MessageBoxNotifier::question(const std::string& text, const std::string& caption)
{
    const auto button = QMessageBox::question(m_parent, QString::fromStdString(caption), QString::fromStdString(text),
                                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                              QMessageBox::Yes);
    if (button == QMessageBox::Yes)
        return Answer::Yes;
    if (button == QMessageBox::No)
        return Answer::No;
    return Answer::Cancel;
}

} // namespace tonvela
