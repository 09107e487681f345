#pragma once

#include "editor/print_paging.h"

#include <QImage>
#include <QPageLayout>

#include <vector>

namespace tonvela {

class SheetViewState;

// The pages a sheet prints on, as pictures: each the whole sheet of paper at `dpi` (white, the
// margins included), drawn by the print job exactly as it draws onto a printer or a PDF. What
// the print preview shows.
struct PageImages {
    PrintResult result;
    std::vector<QImage> pages;
};
PageImages printToImages(SheetViewState& view, const QPageLayout& page, int dpi);

} // namespace tonvela
