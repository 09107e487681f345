#pragma once

class QWidget;

namespace tonvela {

// The width of the docked panel container.
inline constexpr int kPanelWidth = 268;

// Panels are dark grey (34, 34, 34) with white text.
void darkenPanel(QWidget* widget);

} // namespace tonvela
