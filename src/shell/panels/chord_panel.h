#pragma once

#include <QWidget>

namespace tonvela {

// The chord panel of the container: the chord library and chord construction. In this build it says only what
// the panel will hold; its controls come with the chord tools.
class ChordPanel : public QWidget {
  public:
    explicit ChordPanel(QWidget* parent = nullptr);
};

} // namespace tonvela
