#include "shell/frame/window_title.h"

#include <QEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace tonvela {

WindowTitle::WindowTitle(QMainWindow& window, QMdiArea& area)
    : QObject(&window), m_window(window), m_area(area)
{
    m_window.installEventFilter(this);
    connect(&m_area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) { follow(sub); });
    follow(m_area.currentSubWindow());
}

QString WindowTitle::titleFor(const QString& caption)
{
    return caption.isEmpty() ? QStringLiteral("Tonvela") : caption + QStringLiteral(" - Tonvela");
}

void WindowTitle::follow(QMdiSubWindow* sub)
{
    disconnect(m_captionWatch);
    // While the main window is inactive the area reports no active window; the current one
    // is still the document the user works on.
    if (!sub)
        sub = m_area.currentSubWindow();
    if (sub)
        m_captionWatch = connect(sub, &QWidget::windowTitleChanged, this, [this] { apply(); });
    apply();
}

void WindowTitle::apply()
{
    const QMdiSubWindow* sub = m_area.currentSubWindow();
    m_title = titleFor(sub ? sub->windowTitle() : QString());
    if (m_window.windowTitle() != m_title)
        m_window.setWindowTitle(m_title);
}

bool WindowTitle::eventFilter(QObject* watched, QEvent* event)
{
    // A maximised document window writes its caption into the main window's title; the title
    // stays ours.
    if (watched == &m_window && event->type() == QEvent::WindowTitleChange && !m_title.isEmpty() &&
        m_window.windowTitle() != m_title)
        m_window.setWindowTitle(m_title);
    return QObject::eventFilter(watched, event);
}

} // namespace tonvela
