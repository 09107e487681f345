#pragma once

#include "editor/print_paging.h"
#include "harmony/fretboard.h"
#include "render/qt_canvas.h"
#include "theory/scale.h"

#include <QImage>

#include <string>
#include <string_view>

namespace tonvela {

// The fretboard picture for open strings (fretboard.h), drawn once for each tuning asked for and
// kept for the process: the scale diagram window copies it on every paint. User-interface
// thread (or the command-line tool's only thread).
const QtImagePicture& fretboardPicture(std::string_view openStrings = kOpenStrings);

// The scale diagram as a window of the picture's size shows it unscrolled: the fretboard with
// the marks of `scale`.
QImage renderScaleDiagram(const ScaleSelection& scale, std::string_view openStrings = kOpenStrings);

// Prints the same picture across the width of one A4 page of a PDF file, under the title.
PrintResult printScaleDiagramToPdf(const ScaleSelection& scale, const std::string& title,
                                   const std::string& path);

} // namespace tonvela
