#pragma once

// Paper: where the systems of a laid-out sheet go on printed pages. The print job lays the
// sheet out as a view of its own, as wide as the page at the staff size and at zoom 1, and
// these functions measure each system in that layout and place the systems on pages. Nothing
// here draws; printing (print_paging.h) draws what is placed.
//
// Units are sheet units of the print job's layout (zoom 1): a staff is four staff spaces of
// kStaffSpacing units high, so one unit on paper is the staff size / (4 x kStaffSpacing).

#include "editor/sheet_layout.h"

#include <vector>

namespace tonvela {

class SheetDocument;

// Sheet units per millimetre on paper for a staff of `staffSizeMm`.
double unitsPerMm(double staffSizeMm);

// How far one system reaches, from the sheet's top: everything its rows draw (notes far above
// or below the staff, measure numbers, lyrics), as the layout result places them.
struct SystemExtent {
    int firstRow = 0; // the system's first staff row
    int top = 0;      // above its first staff
    int bottom = 0;   // below its last staff
    int height() const { return bottom - top; }
};

// Every system of the layout that holds something, top to bottom.
std::vector<SystemExtent> measureSystems(const SheetDocument& sheet, const SheetLayout& layout);

// One system on a page: where its extent's top goes (units from the page's printable top) and
// the factor it is drawn at (1, or less for a system taller than a page).
struct PlacedSystem {
    int system = 0; // index into the extents
    double y = 0;
    double scale = 1.0;
};

struct PrintedPage {
    std::vector<PlacedSystem> systems;
};

// The room on a page, in units of the print job's layout.
struct PageRoom {
    double height = 0;          // printable height
    double firstPageTop = 0;    // the title block of page 1 (and the tempo mark)
    double laterPageTop = 0;    // the running header of the later pages
    double bottomReserve = 0;   // page number (and copyright on page 1) at the foot
    double firstPageBottom = 0; // the foot of page 1, when taller than the others'
    double minGap = 0;          // least room between two systems
    double maxGap = 0;          // most room a spread page puts between them; 0 for no limit
};

// Places the systems on pages: each page takes whole systems from the top as long as they fit
// with the least gap between them, and spreads them with even gaps over its height (never
// wider than the most gap: two systems that share a page do not drift apart to its edges); the
// last page is spread only when its systems fill at least three quarters of it. A system taller
// than a page is drawn smaller to fit, alone on its page; no system is ever split. An empty
// list gives one empty page.
std::vector<PrintedPage> placeSystems(const std::vector<SystemExtent>& systems, const PageRoom& room);

} // namespace tonvela
