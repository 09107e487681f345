#pragma once

#include "editor/print_paging.h"
#include "render/qt_canvas.h"
#include "theory/scale.h"

#include <QImage>

#include <string>

namespace tonvela {

// The fretboard picture drawn once and kept for the process: the scale diagram window copies
// it on every paint. User-interface thread (or the command-line tool's only thread).
const QtImagePicture& fretboardPicture();

// The scale diagram as a window of the picture's size shows it unscrolled: the fretboard with
// the marks of `scale`.
QImage renderScaleDiagram(const ScaleSelection& scale);

// Prints the same picture across the width of one A4 page of a PDF file, under the title.
PrintResult printScaleDiagramToPdf(const ScaleSelection& scale, const std::string& title,
                                   const std::string& path);

} // namespace tonvela
