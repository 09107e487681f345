#pragma once

#include "drawing/canvas.h"

#include <array>
#include <cstddef>

namespace tonvela {

// The geometry and the painting of the fretboard picture's necks (fretboard.h draws the
// whole picture with them).

// The labelled neck of the upper half is the marked neck moved up by this many pixels.
inline constexpr int kUpperNeckOffset = -156;

// The neck the marks go on, in picture coordinates: every string passes through the centres
// of the marks of the fret table, the frets lie half-way between neighbouring marks, and the
// neck grows wider towards the higher frets as it comes nearer. Columns past the table
// continue the last frets' spacing to the picture's right edge.
class NeckGeometry {
  public:
    // Columns of mark centres: the twelve of the fret table and two more to the right.
    static constexpr std::size_t kColumns = 14;
    // Fret wires drawn: the nut (0) up to the twelfth fret.
    static constexpr int kWires = 13;

    NeckGeometry();

    // Centre of the mark of fret `j` (0..13) on string `s`.
    double markCentreX(int j) const { return m_x[static_cast<std::size_t>(j)]; }
    double markCentreY(int j, int s) const
    {
        return m_string[static_cast<std::size_t>(j)][static_cast<std::size_t>(s)];
    }
    // The centre line of string `s`, the distance between strings, and the fretboard's top
    // and bottom edges at x; the neck's side shows below the bottom edge, sideAt(x) high.
    double stringAt(int s, double x) const;
    double spacingAt(double x) const;
    double topAt(double x) const;
    double bottomAt(double x) const;
    double sideAt(double x) const;
    // Middle of fret wire `w` (the nut is wire 0).
    double wireX(int w) const;
    double nutLeft() const { return wireX(0) - 3; }
    double nutRight() const { return wireX(0) + 3; }

  private:
    // Index of the column segment that holds x, and the fraction of the way through it.
    void segment(double x, std::size_t& k, double& t) const;

    std::array<double, kColumns> m_x{};
    std::array<double, kColumns> m_spacing{};
    std::array<std::array<double, 6>, kColumns> m_string{};
};

// Paints the background, both necks with their headstock, nut, frets and strings, pixel row
// by pixel row in runs of one colour, so the edges and strings come out smooth.
void shadeFretboard(Canvas& canvas, const NeckGeometry& neck, int left, int top);

// The pearl dots between the strings at frets 3, 5, 7, 9 and the two at 12 of the marked
// neck, the picture's top-left corner at (left, top).
void drawInlays(Canvas& canvas, const NeckGeometry& neck, int left, int top);

} // namespace tonvela
