#pragma once

#include "harmony/scale_diagram.h"
#include "shell/documents/document_window.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QTimer>

namespace tonvela {

class Clock;

inline constexpr const char* kScaleDiagramTitle = "Scale Diagram";

// The "Scale Diagram" window: the fretboard picture with the marks of the scale the scale
// panel chose, scrolled by its two scroll bars (a line is 10 pixels, a page 55). It paints
// into a back buffer of its client size at most once per 11 ms; a paint asked for sooner is
// done when the interval ends, so the window always ends up showing the current scale and
// position. A resize recreates the buffer and paints it at once.
//
// It has nothing to save or print and answers no commands; while it is active the panel
// container keeps the panel it shows.
//
// Thread rules: user-interface thread.
class ScaleDiagramWindow : public QAbstractScrollArea, public DocumentWindow {
  public:
    explicit ScaleDiagramWindow(Clock& clock, const ScaleSelection& scale, QWidget* parent = nullptr);

    const ScaleDiagramView& view() const { return m_view; }
    // Shows another scale (the scale panel changed).
    void setScale(const ScaleSelection& scale);
    // The open strings the board shows: the tuning of the tablature the user works on.
    void setOpenStrings(const std::string& openStrings);
    // Paints the back buffer now or, within 11 ms of the last paint, when they have passed.
    void requestPaint();

    // Paints of the back buffer so far, and the buffer itself (what the window shows).
    int paintsDone() const { return m_paintsDone; }
    const QImage& backBuffer() const { return m_buffer; }

    // DocumentWindow
    QWidget& widget() override { return *this; }
    std::string title() const override { return kScaleDiagramTitle; }
    bool isModified() const override { return false; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void paintBuffer();
    void updateScrollBars();

    Clock& m_clock;
    ScaleDiagramView m_view;
    PaintThrottle m_throttle;
    QTimer m_owedPaint;
    QImage m_buffer;
    int m_paintsDone = 0;
};

} // namespace tonvela
