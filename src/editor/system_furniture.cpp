// What opens each system of a sheet: the number of its first measure above the top staff, the
// brackets of the endings of repeated passages (repeat_sign.cpp), a bracket joining the staves of
// an ensemble, and a brace joining the two staves of a piano part. Measure numbers stand only here, so a
// player finds them where the eye starts a line.

#include "editor/glyphs.h"
#include "editor/sheet_drawing.h"
#include "score/sheet_document.h"
#include "score/track.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace tonvela {
namespace {

// Left of the staff numbers, which stand at kStaffLeft - 15.
constexpr double kBracketLeft = 12.0;
constexpr double kBracketWidth = 4.5; // half a space, as engravers draw it
constexpr double kBraceLeft = 6.0;
constexpr double kBraceRight = 17.0;
constexpr int kSystemNumberY = 18; // the number's top above the top staff line

// A cubic Bezier point.
PointF bezier(const PointF& a, const PointF& b, const PointF& c, const PointF& d, double t)
{
    const double u = 1 - t;
    return {u * u * u * a.x + 3 * u * u * t * b.x + 3 * u * t * t * c.x + t * t * t * d.x,
            u * u * u * a.y + 3 * u * u * t * b.y + 3 * u * t * t * c.y + t * t * t * d.y};
}

} // namespace

int SheetDrawing::systemOpeningMeasure(int systemFirstRow) const
{
    const int k = systemFirstRow / std::max(1, m_trackCount);
    for (int j = 0; j < m_trackCount; ++j) {
        const TrackLayout* lay = m_layout.track(j);
        if (!lay || k >= static_cast<int>(lay->rows.size()))
            continue;
        const RowSpan& span = lay->rows[static_cast<std::size_t>(k)];
        if (span.noteCount <= 0 || span.firstNote < 0 || span.firstNote >= lay->laidOut)
            continue;
        return lay->notes[static_cast<std::size_t>(span.firstNote)].measureIndex + 1;
    }
    return 0;
}

void SheetDrawing::drawSystemFurniture(int systemFirstRow)
{
    const StaffRow first = m_layout.row(systemFirstRow);
    const int m = systemOpeningMeasure(systemFirstRow);
    if (m > 0)
        drawMeasureNumber(first, m - 1, true);
    drawVoltaBrackets(systemFirstRow);
    if (m_trackCount < 2)
        return;

    const double z = m_view.zoom();
    auto staffTop = [&](int j) { return static_cast<double>(top(m_layout.row(systemFirstRow + j))); };
    auto staffBottom = [&](int j) {
        const StaffRow row = m_layout.row(systemFirstRow + j);
        const Track* t = m_sheet.trackAt(j);
        const int lines = t && staffOf(*t).isTablature() ? 5 : 4;
        return static_cast<double>(top(row) + lines * row.spacing);
    };

    // Braces for piano parts; the other staves, where two or more stand together, share a
    // bracket.
    std::vector<bool> braced(static_cast<std::size_t>(m_trackCount), false);
    for (int j = 0; j + 1 < m_trackCount; ++j) {
        const Track* t = m_sheet.trackAt(j);
        if (!t || !t->braceWithNext || braced[static_cast<std::size_t>(j)])
            continue;
        braced[static_cast<std::size_t>(j)] = braced[static_cast<std::size_t>(j + 1)] = true;
        drawBrace(staffTop(j), staffBottom(j + 1));
    }
    for (int j = 0; j < m_trackCount;) {
        if (braced[static_cast<std::size_t>(j)]) {
            ++j;
            continue;
        }
        int last = j;
        while (last + 1 < m_trackCount && !braced[static_cast<std::size_t>(last + 1)])
            ++last;
        if (last > j) {
            // A thick line with a short wing curving out at each end.
            const double y1 = staffTop(j) - 3, y2 = staffBottom(last) + 3;
            const double l = kBracketLeft * z, r = (kBracketLeft + kBracketWidth) * z;
            const std::array<PointF, 4> bar{PointF{l, y1 * z}, PointF{r, y1 * z}, PointF{r, y2 * z},
                                            PointF{l, y2 * z}};
            m_canvas.fillPolygon(bar, kBlack);
            for (const int end : {-1, 1}) {
                const double y = (end < 0 ? y1 : y2) * z;
                // Outwards from the staves, ending short of the system's measure number.
                const double reach = 6.0 * z * end;
                const std::array<PointF, 5> wing{
                    PointF{l, y}, PointF{l + 8.0 * z, y + reach}, PointF{l + 9.0 * z, y + reach * 0.8},
                    PointF{l + 7.0 * z, y - 1.5 * z * end}, PointF{r, y - 1.5 * z * end}};
                m_canvas.fillPolygon(wing, kBlack);
            }
        }
        j = last + 1;
    }
}

void SheetDrawing::drawBrace(double y1, double y2)
{
    // Two mirrored halves, each an S curve from an end to the point in the middle, thickest
    // halfway along, as a filled outline.
    const double z = m_view.zoom();
    const double l = kBraceLeft, r = kBraceRight, mid = (y1 + y2) / 2, mx = (l + r) / 2;
    const double half = mid - y1;
    constexpr int kSteps = 24;
    const double thick = 1.8;
    std::vector<PointF> outline;
    auto edge = [&](double sign, double shift, bool forwards) {
        // sign -1: the upper half from y1 down to the middle; 1: the lower half from y2 up.
        const double end = sign < 0 ? y1 : y2;
        const PointF a{r, end};
        const PointF b{mx - 3.0 + shift, end - sign * 0.45 * half};
        const PointF c{mx + 3.0 + shift, mid + sign * 0.45 * half};
        const PointF d{l, mid};
        for (int k = 0; k <= kSteps; ++k) {
            const double t =
                forwards ? static_cast<double>(k) / kSteps : 1.0 - static_cast<double>(k) / kSteps;
            const PointF p = bezier(a, b, c, d, t);
            outline.push_back({p.x * z, p.y * z});
        }
    };
    edge(-1, -thick, true); // upper half, its left edge down to the point
    edge(1, -thick, false); // lower half, its left edge from the point down
    edge(1, thick, true);   // lower half, its right edge back up to the point
    edge(-1, thick, false); // upper half, its right edge up to the top
    m_canvas.fillPolygon(outline, kBlack);
}

} // namespace tonvela
