#pragma once

#include <QObject>

#include <functional>
#include <vector>

class QMdiArea;
class QMdiSubWindow;
class QRect;

namespace tonvela {

class DocumentWindow;

// The open document windows of the main window's document area (an MDI area), in the order
// they were opened, with the sub-window each sits in. A window's close first asks
// confirmClose; once it may close it leaves the list at once (its deletion follows later).
//
// Thread rules: user-interface thread.
class DocumentArea : public QObject {
  public:
    explicit DocumentArea(QMdiArea& area);

    QMdiArea& area() const { return m_area; }
    // Puts the window into a new sub-window at `geometry` and shows it.
    void add(DocumentWindow& document, const QRect& geometry);
    std::vector<DocumentWindow*> documents() const;
    bool empty() const { return m_open.empty(); }
    // The document in a sub-window, or null.
    DocumentWindow* documentIn(const QObject* sub) const;
    QMdiSubWindow* subWindowOf(const DocumentWindow* document) const;
    // Stops watching the sub-windows (the owner is going away).
    void shutDown() { m_shutDown = true; }

    // Asked before a document window closes; false keeps it open.
    std::function<bool(DocumentWindow&)> confirmClose;
    // A document window left the area (`closed` is null when the sub-window was no longer
    // listed, as when its deletion follows its close).
    std::function<void(const QObject* sub, DocumentWindow* closed)> onClosed;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct OpenDocument {
        QMdiSubWindow* sub;
        DocumentWindow* document;
    };
    void closed(const QObject* sub);

    QMdiArea& m_area;
    std::vector<OpenDocument> m_open;
    bool m_shutDown = false;
};

} // namespace tonvela
