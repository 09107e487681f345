#pragma once

#include <QWidget>

#include <functional>
#include <vector>

class QButtonGroup;
class QKeyEvent;
class QPushButton;

namespace tonvela {

// A grid of checkable buttons of which at most one is chosen, such as the root and quality
// buttons of the chord panel. It is one stop of the Tab chain (the chosen button, or the first
// while none is chosen), and the arrow keys move the choice through the grid row by row, as
// in a group of radio buttons. A click or an arrow key reports through onChosen; choose()
// does not report.
class ChoiceGrid : public QWidget {
  public:
    ChoiceGrid(const std::vector<QString>& texts, int columns, QWidget* parent = nullptr);

    int count() const { return static_cast<int>(m_buttons.size()); }
    QPushButton* button(int index) const;
    // The chosen button's index, -1 while none is chosen.
    int chosen() const { return m_chosen; }
    void choose(int index);
    // The button that takes the focus when the Tab key reaches the grid.
    QPushButton* focusButton() const;

    std::function<void(int index)> onChosen;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void clicked(int index);
    int target(int from, const QKeyEvent& key) const;
    void updateTabStop();

    std::vector<QPushButton*> m_buttons;
    QButtonGroup* m_group;
    int m_columns;
    int m_chosen = -1;
};

} // namespace tonvela
