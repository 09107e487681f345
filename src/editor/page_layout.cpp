#include "editor/page_layout.h"

#include "editor/chord_symbol_marks.h"
#include "score/sheet_document.h"

#include <algorithm>

namespace tonvela {
namespace {

// Room the furniture of a staff takes beyond its notes: measure numbers above, a little air
// below the lowest line.
constexpr int kStaffHeight = 4 * kStaffSpacing;
constexpr int kRoomAbove = 22;
constexpr int kRoomBelow = 14;
// Where a lyric line's text ends below its row's top, and the lines it may take.
constexpr int kLyricBottom = 7 * kStaffSpacing + 24;
constexpr int kLyricLineHeight = 14;
// A note glyph's box reaches this far above its y (an up stem's tip) and below it (a down
// stem's tip).
constexpr int kGlyphAbove = 5;
constexpr int kGlyphBelow = 40;
// Air above a chord symbol (or its diagram) before the next thing up.
constexpr int kSymbolAir = 4;

} // namespace

double unitsPerMm(double staffSizeMm)
{
    return kStaffHeight / staffSizeMm;
}

std::vector<SystemExtent> measureSystems(const SheetDocument& sheet, const SheetLayout& layout)
{
    std::vector<SystemExtent> out;
    const int tracks = layout.trackCount;
    if (tracks <= 0 || sheet.trackCount() < tracks)
        return out;
    const int systems = std::max(1, (layout.rowsInUse + tracks - 1) / tracks);
    out.reserve(static_cast<std::size_t>(systems));
    for (int s = 0; s < systems; ++s) {
        SystemExtent e;
        e.firstRow = s * tracks;
        e.top = layout.row(e.firstRow).top - kRoomAbove;
        e.bottom = layout.row(e.firstRow + tracks - 1).top + kStaffHeight + kRoomBelow;
        out.push_back(e);
    }
    // Chord symbols, and their diagrams where the sheet shows them, stand above the staff: the
    // system reaches their top, so the tempo mark and the system above keep clear of them.
    const int symbolTop =
        chordSymbolRise(sheet) + (sheet.chordDiagrams ? kSymbolDiagramRise : 0) + kSymbolAir;
    // Notes far off the staff, chord symbols and lyrics widen their system.
    for (int t = 0; t < tracks; ++t) {
        const TrackLayout* lay = layout.track(t);
        const Track& track = *sheet.trackAt(t);
        if (!lay)
            continue;
        const int n = std::min({lay->laidOut, track.count, static_cast<int>(lay->notes.size())});
        for (int i = 0; i < n; ++i) {
            const NoteLayout& p = lay->notes[static_cast<std::size_t>(i)];
            if (p.rowIndex < 0)
                continue;
            const int s = p.rowIndex / tracks;
            if (s >= systems)
                continue;
            SystemExtent& e = out[static_cast<std::size_t>(s)];
            e.top = std::min(e.top, p.y - kGlyphAbove);
            e.bottom = std::max(e.bottom, p.y + kGlyphBelow);
            const Note& note = track.noteAt(i);
            if (note.chordparent == -1 && note.chordSymbol())
                e.top = std::min(e.top, layout.row(p.rowIndex).top - symbolTop);
            const auto& lyric = note.lyrictext();
            if (lyric && !lyric->empty()) {
                const int rowTop = layout.row(p.rowIndex).top;
                e.bottom = std::max(e.bottom, rowTop + kLyricBottom + kLyricLineHeight / 2);
            }
        }
    }
    // Only systems some track reaches are printed.
    while (out.size() > 1) {
        const SystemExtent& last = out.back();
        bool used = false;
        for (int t = 0; t < tracks && !used; ++t) {
            const StaffRow row = layout.row(last.firstRow + t);
            used = row.noteCount > 0 || row.endNote > row.firstNote;
        }
        if (used)
            break;
        out.pop_back();
    }
    return out;
}

std::vector<PrintedPage> placeSystems(const std::vector<SystemExtent>& systems, const PageRoom& room)
{
    std::vector<PrintedPage> pages;
    std::size_t next = 0;
    do {
        const bool first = pages.empty();
        const double top = first ? room.firstPageTop : room.laterPageTop;
        const double bottom =
            room.height - (first ? std::max(room.bottomReserve, room.firstPageBottom) : room.bottomReserve);
        const double available = std::max(bottom - top, 1.0);
        PrintedPage page;
        double used = 0; // heights of the systems taken
        std::size_t end = next;
        while (end < systems.size()) {
            const double h = systems[end].height();
            const double gaps = static_cast<double>(end - next) * room.minGap;
            if (end > next && used + h + gaps > available)
                break;
            used += h;
            ++end;
            if (end - next == 1 && h > available)
                break; // too tall for any page: it goes alone, drawn smaller
        }
        const std::size_t count = end - next;
        const bool lastPage = end >= systems.size();
        double gap = room.minGap;
        if (count > 1) {
            const double spread = (available - used) / static_cast<double>(count - 1);
            if (!lastPage || used + static_cast<double>(count - 1) * room.minGap >= 0.75 * available)
                gap = std::max(spread, room.minGap);
            if (room.maxGap > 0)
                gap = std::min(gap, std::max(room.maxGap, room.minGap));
        }
        double y = top;
        for (std::size_t s = next; s < end; ++s) {
            const double h = systems[s].height();
            const double scale = h > available ? available / h : 1.0;
            page.systems.push_back({static_cast<int>(s), y, scale});
            y += h * scale + gap;
        }
        pages.push_back(std::move(page));
        next = end;
    } while (next < systems.size());
    return pages;
}

} // namespace tonvela
