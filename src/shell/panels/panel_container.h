#pragma once

#include <QWidget>

#include <array>
#include <functional>

class QPushButton;
class QScrollBar;

namespace tonvela {

class ChordPanel;
class ScalePanel;
class SheetOptionsPanel;

// The docked container on the left: three tab buttons ("Sheet", "Chords", "Scale") in a row
// kTabHeight high over the panel shown, which is always kPanelWidth wide.
//
// Width rule: when the panel fits the height below the tabs, the container is kPanelWidth wide
// and its vertical scroll bar hidden; when the panel is taller, the scroll bar is shown beside
// it and the container is kPanelWidth + kPanelScrollBarWidth wide. The scroll range is the
// height the panel lacks; the bar steps 10 pixels a line and 55 a page, the mouse wheel 20 a
// notch. The rule is applied again whenever the container's height or the panel's height
// changes. A wheel over a list or field without the keyboard focus scrolls the container
// instead of changing the value, and a control that takes the focus is scrolled into view.
//
// showPanel() switches without reporting; a click on a tab reports through onPanelChosen.
//
// Thread rules: user-interface thread.
class PanelContainer : public QWidget {
  public:
    enum class Panel { Sheet = 0, Chord = 1, Scale = 2 };
    static constexpr int kTabHeight = 22;
    static constexpr int kPanelScrollBarWidth = 15;
    static constexpr int kScrollLine = 10;
    static constexpr int kScrollPage = 55;
    static constexpr int kScrollWheel = 20;

    explicit PanelContainer(QWidget* parent = nullptr);

    SheetOptionsPanel* sheetPanel() const { return m_sheetPanel; }
    ChordPanel* chordPanel() const { return m_chordPanel; }
    ScalePanel* scalePanel() const { return m_scalePanel; }
    QWidget* panelWidget(Panel panel) const { return m_panels[static_cast<size_t>(panel)]; }
    void showPanel(Panel panel);
    Panel currentPanel() const { return m_current; }
    QPushButton* tabButton(Panel panel) const;

    QScrollBar* scrollBar() const { return m_scrollBar; }
    // How far the panel is scrolled up, in pixels.
    int scrollPosition() const;
    // The height the shown panel asks for at kPanelWidth.
    int panelHeight() const;
    // The height below the tabs.
    int room() const;

    std::function<void(Panel)> onPanelChosen;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Applies the width rule and places the tabs, the panel and the scroll bar.
    void arrange();
    void placePanel();
    void scrollBy(int pixels);
    void scrollIntoView(QWidget* focused);
    void keepWheelFromFields(QWidget* panel);

    SheetOptionsPanel* m_sheetPanel;
    ChordPanel* m_chordPanel;
    ScalePanel* m_scalePanel;
    std::array<QWidget*, 3> m_panels;
    QWidget* m_viewport;
    QScrollBar* m_scrollBar;
    std::array<QPushButton*, 3> m_tabs;
    Panel m_current = Panel::Sheet;
    int m_wheelRemainder = 0;
    bool m_arranging = false;
};

} // namespace tonvela
