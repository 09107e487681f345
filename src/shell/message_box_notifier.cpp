#include "shell/message_box_notifier.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QWidget>

namespace tonvela {

namespace {
bool onGuiThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}
} // namespace

void MessageBoxNotifier::error(const std::string& text, const std::string& caption)
{
    const QString title = QString::fromStdString(caption);
    const QString message = QString::fromStdString(text);
    if (!onGuiThread()) {
        // Stream and playback threads report through here; the box is shown by the
        // user-interface thread and the reporting thread goes on at once.
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QPointer<QWidget> parent(m_parent);
            QMetaObject::invokeMethod(
                app,
                [parent, title, message] { QMessageBox::critical(parent, title, message, QMessageBox::Ok); },
                Qt::QueuedConnection);
        }
        return;
    }
    QMessageBox::critical(m_parent, title, message, QMessageBox::Ok);
}

Notifier::Answer MessageBoxNotifier::question(const std::string& text, const std::string& caption)
{
    // A question needs the user; no other thread may wait on one.
    if (!onGuiThread())
        return Answer::Cancel;
    const auto button =
        QMessageBox::question(m_parent, QString::fromStdString(caption), QString::fromStdString(text),
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (button == QMessageBox::Yes)
        return Answer::Yes;
    if (button == QMessageBox::No)
        return Answer::No;
    return Answer::Cancel;
}

} // namespace tonvela
