#pragma once

#include <QWidget>

#include <functional>

class QDockWidget;
class QToolButton;

namespace tonvela {

// The caption bar of the panel dock: the dock's title in white on dark grey, shortened in the
// middle when it does not fit (so both the document's name and the track number stay in view),
// the whole title as its tooltip, and a close button. Presses elsewhere on the bar drag the
// dock as its own caption would.
//
// Thread rules: user-interface thread.
class DockCaption : public QWidget {
  public:
    explicit DockCaption(QDockWidget& dock);

    // The text as it shows at the present width.
    QString shownText() const;
    QToolButton* closeButton() const { return m_close; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    std::function<void()> onClose;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QRect textBox() const;

    QDockWidget& m_dock;
    QToolButton* m_close;
};

} // namespace tonvela
