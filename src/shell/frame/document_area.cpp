#include "shell/frame/document_area.h"

#include "shell/documents/document_window.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

namespace tonvela {

DocumentArea::DocumentArea(QMdiArea& area) : QObject(&area), m_area(area) {}

void DocumentArea::add(DocumentWindow& document, const QRect& geometry)
{
    QMdiSubWindow* sub = m_area.addSubWindow(&document.widget());
    m_open.push_back({sub, &document});
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->installEventFilter(this);
    sub->setGeometry(geometry);
    connect(sub, &QObject::destroyed, this, [this, sub] { closed(sub); });
    sub->show();
}

std::vector<DocumentWindow*> DocumentArea::documents() const
{
    std::vector<DocumentWindow*> out;
    for (const OpenDocument& open : m_open)
        out.push_back(open.document);
    return out;
}

DocumentWindow* DocumentArea::documentIn(const QObject* sub) const
{
    const auto open =
        std::find_if(m_open.begin(), m_open.end(), [sub](const OpenDocument& o) { return o.sub == sub; });
    return open == m_open.end() ? nullptr : open->document;
}

QMdiSubWindow* DocumentArea::subWindowOf(const DocumentWindow* document) const
{
    const auto open = std::find_if(m_open.begin(), m_open.end(),
                                   [document](const OpenDocument& o) { return o.document == document; });
    return open == m_open.end() ? nullptr : open->sub;
}

bool DocumentArea::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && !m_shutDown) {
        if (DocumentWindow* document = documentIn(watched)) {
            if (confirmClose && !confirmClose(*document)) {
                event->ignore();
                return true;
            }
            // The window goes now; its deletion follows later from the event loop.
            closed(watched);
        }
    }
    return QObject::eventFilter(watched, event);
}

void DocumentArea::closed(const QObject* sub)
{
    if (m_shutDown)
        return;
    DocumentWindow* document = documentIn(sub);
    std::erase_if(m_open, [sub](const OpenDocument& o) { return o.sub == sub; });
    if (onClosed)
        onClosed(sub, document);
}

} // namespace tonvela
