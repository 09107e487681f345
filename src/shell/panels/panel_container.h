#pragma once

#include <QWidget>

#include <functional>

class QPushButton;
class QScrollArea;
class QStackedWidget;

namespace tonvela {

class ChordPanel;
class ScalePanel;
class SheetOptionsPanel;

// The docked container on the left: three tab buttons ("Sheet", "Chords", "Scale") over the
// panel shown, scrolled when the panel is taller than the room. showPanel() switches without
// reporting; a click on a tab reports through onPanelChosen.
class PanelContainer : public QWidget {
  public:
    enum class Panel { Sheet = 0, Chord = 1, Scale = 2 };
    explicit PanelContainer(QWidget* parent = nullptr);

    SheetOptionsPanel* sheetPanel() const { return m_sheetPanel; }
    ChordPanel* chordPanel() const { return m_chordPanel; }
    ScalePanel* scalePanel() const { return m_scalePanel; }
    void showPanel(Panel panel);
    Panel currentPanel() const { return m_current; }
    QPushButton* tabButton(Panel panel) const;

    std::function<void(Panel)> onPanelChosen;

  private:
    SheetOptionsPanel* m_sheetPanel;
    ChordPanel* m_chordPanel;
    ScalePanel* m_scalePanel;
    QStackedWidget* m_stack;
    QScrollArea* m_scroll;
    QPushButton* m_tabs[3];
    Panel m_current = Panel::Sheet;
};

} // namespace tonvela
