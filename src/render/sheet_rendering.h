#pragma once

#include "editor/print_paging.h"

#include <QImage>

#include <string>

namespace tonvela {

class SheetViewState;

// Logical resolution of the screen the sheet drawing is made for.
inline constexpr int kScreenDpi = 96;

// Makes sure a QGuiApplication exists (fonts and painting need one). Without a display it
// runs on Qt's offscreen platform.
void ensureGuiApplication();

// Lays the view out and draws it as its window shows it: an image of the client size,
// white, with the sheet drawn from the first visible row.
QImage renderView(SheetViewState& view);

// Writes an image as PNG, atomically.
bool writePng(const QImage& image, const std::string& path, std::string& error);

// Prints the sheet of the view to a PDF file through the print paging.
PrintResult printViewToPdf(SheetViewState& view, const std::string& path);

} // namespace tonvela
