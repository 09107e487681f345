#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>

class QMainWindow;
class QMdiArea;
class QMdiSubWindow;

namespace tonvela {

// Keeps the main window's title: the active document's caption (with its "*" while modified)
// followed by " - Tonvela", or "Tonvela" without a document. The document is named once,
// also while its window is maximised (the toolkit would add " - [caption]" of its own).
//
// Thread rules: user-interface thread. A child of the main window.
class WindowTitle : public QObject {
  public:
    WindowTitle(QMainWindow& window, QMdiArea& area);

    // The title for the document window's caption (empty: no document).
    static QString titleFor(const QString& caption);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void follow(QMdiSubWindow* sub);
    void apply();

    QMainWindow& m_window;
    QMdiArea& m_area;
    QMetaObject::Connection m_captionWatch;
    QString m_title;
};

} // namespace tonvela
