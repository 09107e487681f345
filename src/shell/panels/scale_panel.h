#pragma once

#include <QWidget>

namespace tonvela {

// The scale panel of the container: the scale choice and scale entry. In this build it says only what the
// panel will hold; its controls come with the scale tools.
class ScalePanel : public QWidget {
  public:
    explicit ScalePanel(QWidget* parent = nullptr);
};

} // namespace tonvela
