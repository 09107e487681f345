// The drawn lines of a staff that are not glyphs: staff lines, ledger lines and the pointer's
// guides, ties, beams and the stems that reach a beam. Their weights are in staff spaces, so
// they thicken with the zoom as the glyphs do; every shape is placed from the same anchors as
// the note glyphs (editor/glyphs.h), in device units, so heads, stems and beams meet.

#include "editor/engraving_lines.h"

#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "score/drum_notation.h"
#include "score/note.h"
#include "score/track.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tonvela {
namespace {

// How far a ledger line reaches past either side of its head.
constexpr double kLedgerOverhang = 0.3; // staff spaces
// Ties: the gap between a head's edge and the tie's end, the room left beside a stem, and the
// arch height as a share of the tie's length, within bounds.
constexpr double kTieHeadGap = 0.25;
constexpr double kTieStemGap = 0.25;
constexpr double kTieArch = 0.12;
constexpr double kTieMinArch = 0.4;
constexpr double kTieMaxArch = 1.0;
// A tie to a note on the next row runs this far to the right of its note (sheet units).
constexpr double kOpenTieLength = 55.0;
constexpr int kTieSegments = 16;

bool hasHead(const Note& n)
{
    return n.type >= kTypeWhole && n.type <= kTypeThirtySecond;
}

void uprightBar(Canvas& canvas, double left, double right, double y1, double y2, Color color)
{
    const double top = std::min(y1, y2), bottom = std::max(y1, y2);
    const std::array<PointF, 4> corners{PointF{left, top}, PointF{right, top}, PointF{right, bottom},
                                        PointF{left, bottom}};
    canvas.fillPolygon(corners, color);
}

} // namespace

SheetDrawing::HeadPlace SheetDrawing::headOf(const Note& n, const NoteLayout& p) const
{
    const float z = m_view.zoom();
    const bool whole = n.type == kTypeWhole;
    const bool down = p.stemDown == 1;
    const double hx = whole ? kWholeHeadX : down ? kHeadDownX : kHeadUpX;
    const double hy = whole ? kWholeHeadY : down ? kHeadDownY : kHeadUpY;
    return {deviceX(p) + hx * z, deviceY(p) + hy * z, (whole ? kWholeHeadHalfWidth : kHeadHalfWidth) * z};
}

double SheetDrawing::stemX(const NoteLayout& p) const
{
    return deviceX(p) + (p.stemDown == 1 ? kStemDownX : kStemUpX) * m_view.zoom();
}

double lineWidth(double weight, float zoom)
{
    return weight * kStaffSpacing * static_cast<double>(zoom);
}

int ledgerSteps(int step, std::array<int, kMaxLedgerLines>& out)
{
    int count = 0;
    for (int s = kTopLineStep - 2; s >= step && count < kMaxLedgerLines; s -= 2)
        out[static_cast<std::size_t>(count++)] = s;
    for (int s = kBottomLineStep + 2; s <= step && count < kMaxLedgerLines; s += 2)
        out[static_cast<std::size_t>(count++)] = s;
    return count;
}

void SheetDrawing::drawStaffLines(const StaffRow& row)
{
    pen(m_tools.staffLine);
    const int x1 = sc(kStaffLeft);
    const int x2 = endsTrack(row) ? sc(staffRight(row)) : x1 + row.lengthScaled;
    for (int k = 0; k < 5; ++k) {
        const int y = sc(top(row)) + sc(k * row.spacing);
        m_canvas.drawLine(x1, y, x2, y);
    }
}

void SheetDrawing::drawLedgerBelow(const StaffRow& row, double centreX, double halfWidth, int step)
{
    if (step > kBottomLineStep)
        drawLedgers(row, centreX, halfWidth, step);
}

void SheetDrawing::drawLedgerAbove(const StaffRow& row, double centreX, double halfWidth, int step)
{
    if (step < kTopLineStep)
        drawLedgers(row, centreX, halfWidth, step);
}

void SheetDrawing::drawLedgers(const StaffRow& row, double centreX, double halfWidth, int step)
{
    std::array<int, kMaxLedgerLines> steps{};
    const int count = ledgerSteps(step, steps);
    if (count == 0)
        return;
    pen(m_tools.ledger);
    const float z = m_view.zoom();
    const double reach = halfWidth + kLedgerOverhang * row.spacing * z;
    const int x1 = static_cast<int>(std::lround(centreX - reach));
    const int x2 = static_cast<int>(std::lround(centreX + reach));
    for (int k = 0; k < count; ++k) {
        // Staff line k counts from the top line (step kTopLineStep) in whole spaces.
        const int line = (steps[static_cast<std::size_t>(k)] - kTopLineStep) / 2;
        const int y = sc(top(row)) + sc(line * row.spacing);
        m_canvas.drawLine(x1, y, x2, y);
    }
}

void SheetDrawing::drawNoteLedgers(const StaffRow& row, const Note& note, const NoteLayout& place)
{
    if (!hasHead(note) || note.isRest())
        return;
    const HeadPlace head = headOf(note, place);
    const int step = shownStep(note, row.percussive);
    drawLedgerBelow(row, head.x, head.halfWidth, step);
    drawLedgerAbove(row, head.x, head.halfWidth, step);
}

namespace {

// Flags of a note kind: 0 for quarters and halves.
int flagsOf(const Note& note)
{
    switch (note.type) {
    case kTypeEighth:
        return 1;
    case kTypeSixteenth:
        return 2;
    case kTypeThirtySecond:
        return 3;
    default:
        return 0;
    }
}

} // namespace

std::optional<SheetDrawing::StemGrowth> SheetDrawing::stemGrowth(const Note& note,
                                                                 const NoteLayout& place) const
{
    const int flags = flagsOf(note);
    const bool stemmed = note.type == kTypeQuarter || note.type == kTypeHalf || flags > 0;
    // A beamed note's stem already runs to its beam.
    if (!stemmed || note.isRest() || place.beamed || place.rowIndex < 0 ||
        place.rowIndex >= m_layout.rowCount())
        return std::nullopt;
    const StaffRow row = m_layout.row(place.rowIndex);
    const float z = m_view.zoom();
    const bool down = place.stemDown == 1;
    const double longer = std::max(0, flags - 2) * kExtraFlagStem * z;
    StemGrowth g;
    g.flags = flags;
    g.quarterTip = deviceY(place) + (down ? kStemDownTipY : kStemUpTipY) * z;
    g.ownTip = g.quarterTip + (down ? longer : -longer);
    g.middle = sc(top(row)) + sc(2 * row.spacing);
    if (down ? g.ownTip >= g.middle : g.ownTip <= g.middle)
        return std::nullopt;
    return g;
}

void SheetDrawing::drawStemToMiddleLine(const Note& note, const NoteLayout& place, bool hovered)
{
    const std::optional<StemGrowth> g = stemGrowth(note, place);
    if (!g)
        return;
    const float z = m_view.zoom();
    const GlyphColor color = colorOf(note, hovered);
    const double x = stemX(place), half = lineWidth(kStemWeight, z) / 2;
    uprightBar(m_canvas, x - half, x + half, g->quarterTip, g->middle, glyphInk(color));
    if (g->flags == 0)
        return;
    // The flags hang from the new end as the note's glyph hangs them from its own.
    const bool down = place.stemDown == 1;
    const int glyph = (down ? kGlyphFlagsDown1 : kGlyphFlagsUp1) + g->flags - 1;
    const int shift = static_cast<int>(std::lround(g->middle - g->ownTip));
    m_canvas.drawGlyph(glyph, deviceX(place), deviceY(place) + shift, z, color);
}

void SheetDrawing::drawHoverGuides(const StaffRow& row)
{
    // The lines a note placed at the pointer would get, centred on the pointer.
    const SheetViewState::HoverGuide& guide = m_view.guide;
    if (guide.row != row.index)
        return;
    const int x = guide.aboveX >= 0 ? guide.aboveX : guide.belowX;
    if (x < 0)
        return;
    const std::optional<int> step = staffStepAt(row, guide.y);
    if (!step)
        return;
    const float z = m_view.zoom();
    if (guide.aboveX >= 0)
        drawLedgerAbove(row, x * static_cast<double>(z), kHeadHalfWidth * z, *step);
    else
        drawLedgerBelow(row, x * static_cast<double>(z), kHeadHalfWidth * z, *step);
}

void SheetDrawing::drawTie(const Note& a, const NoteLayout& pa, const Note& b, const NoteLayout& pb,
                           int forcedSide)
{
    const bool rests = a.isRest() && b.isRest();
    const float z = m_view.zoom();
    const double space = kStaffSpacing * static_cast<double>(z);
    const bool upA = pa.stemDown != 1 || rests;
    const bool upB = pb.stemDown != 1 || rests;
    // Away from the stems: below stems that rise, above stems that fall; where they point
    // both ways the tie goes above and starts clear of the first note's stem.
    const double side = forcedSide != 0 ? (forcedSide > 0 ? 1.0 : -1.0) : (upA && upB) ? 1.0 : -1.0;
    const HeadPlace ha = headOf(a, pa);
    const double stemHalf = lineWidth(kStemWeight, z) / 2;
    double x0 = ha.x + kTieHeadGap * space;
    const double y0 = ha.y + side * 0.6 * space;
    if (side < 0 && upA && !a.isRest())
        x0 = std::max(x0, stemX(pa) + stemHalf + kTieStemGap * space);
    double x1, y1;
    if (pa.rowIndex == pb.rowIndex) {
        const HeadPlace hb = headOf(b, pb);
        x1 = hb.x - kTieHeadGap * space;
        y1 = hb.y + side * 0.6 * space;
        if (side > 0 && !upB && !b.isRest())
            x1 = std::min(x1, stemX(pb) - stemHalf - kTieStemGap * space);
    } else {
        // The tie leaves the row: it runs on to the right of its note only.
        x1 = x0 + kOpenTieLength * z;
        y1 = y0;
    }
    if (x1 < x0 + space * 0.5)
        x1 = x0 + space * 0.5;
    const double length = x1 - x0;
    const double arch = std::clamp(kTieArch * length, kTieMinArch * space, kTieMaxArch * space);
    const double mid = lineWidth(kTieMidWeight, z) / 2;
    const double end = lineWidth(kTieEndWeight, z) / 2;
    // A crescent between two cubic arcs over the same ends: the outer arch higher by the
    // middle thickness. A cubic with both handles raised 4/3 h peaks at h.
    std::array<PointF, 2 * (kTieSegments + 1)> points{};
    auto arc = [&](double height, double endShift, std::size_t at, bool forward) {
        for (int k = 0; k <= kTieSegments; ++k) {
            const double t = static_cast<double>(forward ? k : kTieSegments - k) / kTieSegments;
            const double u = 1 - t;
            const double bx = u * u * u * x0 + 3 * u * u * t * (x0 + length / 4) +
                              3 * u * t * t * (x1 - length / 4) + t * t * t * x1;
            const double by = u * u * u * y0 + 3 * u * u * t * y0 + 3 * u * t * t * y1 + t * t * t * y1;
            const double lift = (3 * u * u * t + 3 * u * t * t) * height * 4.0 / 3.0;
            points[at + static_cast<std::size_t>(k)] = PointF{bx, by + side * (lift + endShift)};
        }
    };
    arc(arch + mid, end, 0, true);
    arc(arch - mid, -end, kTieSegments + 1, false);
    m_canvas.fillPolygon(points, kBlack);
}

void SheetDrawing::drawBeams(const Track& t, int track, int head, int n)
{
    const Note& first = t.noteAt(head);
    const NoteLayout& pf = place(track, head);
    const int followers = std::clamp<int>(pf.beamCount, 0, 3);
    if (followers == 0 || !pf.beamed)
        return;
    // The chord roots under the beam: members stand with their roots wherever they lie.
    std::array<int, 4> roots{head, -1, -1, -1};
    int found = 0;
    for (int i = head + 1; i < n && found < followers; ++i)
        if (t.rootOf(i, n) == -1 && t.noteAt(i).type != kTypeStaffBreak)
            roots[static_cast<std::size_t>(++found)] = i;
    if (found < followers)
        return;
    const NoteLayout& pl = place(track, roots[static_cast<std::size_t>(followers)]);
    if (pl.rowIndex != pf.rowIndex)
        return;
    const float z = m_view.zoom();
    const double space = kStaffSpacing * static_cast<double>(z);
    const bool up = pf.stemDown == 0;
    const double inward = up ? 1.0 : -1.0; // from the beam's outer edge towards the heads
    const double stemHalf = lineWidth(kStemWeight, z) / 2;
    const int32_t* b = pf.beamLine;
    // The beam's outer edge runs through the layout's beam line, from the first stem's outer
    // side to the last stem's.
    const double xl = stemX(pf) - stemHalf, xr = stemX(pl) + stemHalf;
    const double yl = shown(b[1]) * static_cast<double>(z), yr = shown(b[3]) * static_cast<double>(z);
    auto edgeAt = [&](double x) { return xr > xl ? yl + (yr - yl) * (x - xl) / (xr - xl) : yl; };

    // Stems that stop short of the beam are carried on to its outer edge, from the head at
    // each chord's far end.
    for (int g = 0; g <= followers; ++g) {
        const NoteLayout& root = place(track, roots[static_cast<std::size_t>(g)]);
        const NoteLayout& p = root.stemNote >= 0 && root.stemNote < n ? place(track, root.stemNote) : root;
        const double sx = stemX(p);
        const double tip = deviceY(p) + (up ? kStemUpTipY : kStemDownTipY) * z;
        const double edge = edgeAt(sx);
        if ((edge - tip) * inward < 0)
            uprightBar(m_canvas, sx - stemHalf, sx + stemHalf, tip, edge, kBlack);
    }
    const int beams = first.type == kTypeSixteenth ? 2 : first.type == kTypeThirtySecond ? 3 : 1;
    for (int k = 0; k < beams; ++k) {
        const double shift = inward * kBeamDistance * space * k;
        const double thick = inward * kBeamThickness * space;
        const std::array<PointF, 4> beam{PointF{xl, yl + shift}, PointF{xr, yr + shift},
                                         PointF{xr, yr + shift + thick}, PointF{xl, yl + shift + thick}};
        m_canvas.fillPolygon(beam, kBlack);
    }
}

} // namespace tonvela
