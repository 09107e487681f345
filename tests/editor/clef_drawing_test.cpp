// The clef sign and key signature of each staff kind, as drawn on screen and on paper.

#include "drawing/recording_canvas.h"
#include "editor/engraving_marks.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"

#include <gtest/gtest.h>

#include <vector>

namespace tonvela {
namespace {

using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

class ClefDrawingTest : public ::testing::Test {
  protected:
    void makeSheet(int tracks, float zoom = 1.0f)
    {
        sheet = testing::sheetWithTracks(tracks);
        sheet->zoomamount = zoom;
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(1000, 800);
    }
    void draw(bool printing = false)
    {
        layoutRows(*view);
        canvas.clear();
        drawSheet(*view, canvas, printing);
    }
    Track& track(int i) { return *sheet->trackAt(i); }
    std::vector<Call> glyphs(int id) const
    {
        std::vector<Call> out;
        for (const Call& c : canvas.callsOf(Kind::Glyph))
            if (c.v[0] == id)
                out.push_back(c);
        return out;
    }
    // The glyphs of one id drawn between two heights (device units).
    std::vector<Call> glyphsBetween(int id, int top, int bottom) const
    {
        std::vector<Call> out;
        for (const Call& c : glyphs(id))
            if (c.v[2] >= top && c.v[2] < bottom)
                out.push_back(c);
        return out;
    }

    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    RecordingCanvas canvas{1000, 800};
};

TEST_F(ClefDrawingTest, TheFClefKeySignatureSitsOnTheBassClefsLetters)
{
    makeSheet(3);
    setStaffKind(track(0), StaffKind::FClef);
    track(0).setKeyIndex(5); // D major: F and C sharp
    setStaffKind(track(1), StaffKind::FClef);
    track(1).setKeyIndex(9); // B flat major: B and E flat
    track(2).setKeyIndex(9);
    draw();
    const int top0 = view->row(0).top, top1 = view->row(1).top, top2 = view->row(2).top;
    // F sharp on the fourth line (top + 9), C sharp in the second space (top + 22); a sharp
    // is centred 10 below its glyph's y.
    const auto sharps = glyphsBetween(kGlyphSharp, top0 - 20, top0 + 60);
    ASSERT_EQ(sharps.size(), 2u);
    EXPECT_EQ(sharps[0].v[1], keySignatureLeft());
    EXPECT_EQ(sharps[0].v[2], top0 - 1);
    EXPECT_EQ(sharps[1].v[1], keySignatureLeft() + kKeyMarkPitch);
    EXPECT_EQ(sharps[1].v[2], top0 + 12);
    // B flat with its belly on the second line (top + 27), E flat in the third space
    // (top + 13); a flat's belly is 13 below its glyph's y.
    const auto flats = glyphsBetween(kGlyphFlat, top1 - 20, top1 + 60);
    ASSERT_EQ(flats.size(), 2u);
    EXPECT_EQ(flats[0].v[2], top1 + 14);
    EXPECT_EQ(flats[1].v[2], top1 + 0);
    // The G clef keeps its own places: B on the middle line, E in the top space.
    const auto gFlats = glyphsBetween(kGlyphFlat, top2 - 20, top2 + 60);
    ASSERT_EQ(gFlats.size(), 2u);
    EXPECT_EQ(gFlats[0].v[2], top2 + 5);
    EXPECT_EQ(gFlats[1].v[2], top2 - 9);
    // The width of a signature does not depend on the clef, so the notes keep their places.
    EXPECT_EQ(view->row(0).keySigWidth, 16);
    EXPECT_EQ(view->row(1).keySigWidth, 16);
}

TEST_F(ClefDrawingTest, EveryKeyOnTheFClefDrawsTheBassClefSignature)
{
    // Staff positions of the standard bass clef signatures (middle line = 1, larger = lower):
    // sharps F3 C3 G3 D3 A2 E3 B2, flats B2 E3 A2 D3 G2 C3 F2. A flat's step is reported one
    // position below the note it flattens.
    const int sharps[7] = {-1, 2, -2, 1, 4, 0, 3};
    const int flats[7] = {3, 0, 4, 1, 5, 2, 6};
    Track t;
    setStaffKind(t, StaffKind::FClef);
    for (int k = 0; k < 15; ++k) {
        t.setKeyIndex(k);
        const KeySignatureMarks marks = keySignatureMarks(t);
        const int count = k <= 7 ? 7 - k : k - 7;
        ASSERT_EQ(marks.count, count) << k;
        for (int i = 0; i < count; ++i) {
            const KeyMark& m = marks.marks[static_cast<std::size_t>(i)];
            EXPECT_EQ(m.accidental, k <= 7 ? 1 : -1) << k;
            EXPECT_EQ(m.step, k <= 7 ? sharps[i] : flats[i] + 1) << "key " << k << ", mark " << i;
        }
    }
}

TEST_F(ClefDrawingTest, TheGClefCarriesASmallEightUnderItAndTheOtherClefsDoNot)
{
    makeSheet(5);
    setStaffKind(track(1), StaffKind::FClef);
    setStaffKind(track(2), StaffKind::G2Clef);
    track(3).percussive = 1;
    setStaffKind(track(4), StaffKind::Tablature);
    sheet->selectedTrack = 0;
    draw();
    const auto eights = glyphs(kGlyphClefOctave);
    ASSERT_EQ(eights.size(), 1u);
    const int top = view->row(0).top;
    EXPECT_EQ(eights[0].v[1], 35 + 11);
    EXPECT_EQ(eights[0].v[2], top + 53);
    // Below the G clef's tail (its box starts 10 above the top line and is 62 high) and
    // above the next staff's measure numbers.
    EXPECT_GT(eights[0].v[2], top - 10 + 51);
    EXPECT_LT(eights[0].v[2] + 9, view->row(1).top - 18);
    // It takes the clef's colour: the selected track's clef is red on screen.
    const auto clef = glyphs(kGlyphGClef);
    ASSERT_EQ(clef.size(), 2u); // the G clef and the G(2) clef
    EXPECT_EQ(eights[0].glyphColor, GlyphColor::Selected);
    EXPECT_EQ(clef[0].glyphColor, GlyphColor::Selected);

    // On paper it is drawn too, in black, and it scales with the zoom.
    makeSheet(1, 0.5f);
    draw(true);
    const auto printed = glyphs(kGlyphClefOctave);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].glyphColor, GlyphColor::Normal);
    EXPECT_EQ(printed[0].v[1], static_cast<int>((35 + 11) * 0.5f));
    EXPECT_EQ(printed[0].v[2], static_cast<int>((view->row(0).top + 53) * 0.5f));
    EXPECT_DOUBLE_EQ(printed[0].scale, 0.5);
}

} // namespace
} // namespace tonvela
