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
    show(QMessageBox::Critical, caption, text);
}

void MessageBoxNotifier::warning(const std::string& text, const std::string& caption)
{
    show(QMessageBox::Warning, caption, text);
}

void MessageBoxNotifier::show(QMessageBox::Icon icon, const std::string& caption, const std::string& text)
{
    const QString title = QString::fromStdString(caption);
    const QString message = QString::fromStdString(boundedMessage(text));
    const auto box = [icon, title, message](QWidget* parent) {
        if (icon == QMessageBox::Warning)
            QMessageBox::warning(parent, title, message, QMessageBox::Ok);
        else
            QMessageBox::critical(parent, title, message, QMessageBox::Ok);
    };
    if (!onGuiThread()) {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QPointer<QWidget> parent(m_parent);
            QMetaObject::invokeMethod(
                app, [parent, box] { box(parent); }, Qt::QueuedConnection);
        }
        return;
    }
    box(m_parent);
}

Notifier::Answer MessageBoxNotifier::question(const std::string& text, const std::string& caption)
{
    // A question needs the user; no other thread may wait on one.
    if (!onGuiThread())
        return Answer::Cancel;
    const auto button = QMessageBox::question(
        m_parent, QString::fromStdString(caption), QString::fromStdString(boundedMessage(text)),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (button == QMessageBox::Yes)
        return Answer::Yes;
    if (button == QMessageBox::No)
        return Answer::No;
    return Answer::Cancel;
}

} // namespace tonvela
