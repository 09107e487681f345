#pragma once

#include <QRect>

class QMainWindow;

namespace tonvela {

class SettingsStore;

// The main window's geometry on a first start (no placement stored): four fifths of the free
// area of the screen in each direction, centred on it, and at least 650 x 550 where the screen
// has room for that. The height leaves room for the window's title bar.
QRect firstStartGeometry(const QRect& available);

// Moves the window to the stored placement and shows it (maximised when stored so); on a first
// start it opens at firstStartGeometry of its screen.
void showAtPlacement(QMainWindow& window, const SettingsStore& store);

// Writes the window's placement (see writeWindowPlacement).
void savePlacement(const QMainWindow& window, SettingsStore& store);

} // namespace tonvela
