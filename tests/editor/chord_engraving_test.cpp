// Chords as a player reads them: one stem and one set of flags per chord, the stem the way of
// the head farthest from the middle line, seconds on either side of the stem, accidentals
// stacked leftward without touching, chords of eighths beamed like single notes.

#include "drawing/recording_canvas.h"
#include "editor/chord_engraving.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

namespace tonvela {
namespace {

using testing::addNote;
using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

TEST(ChordRulesTest, StemGoesTheWayOfTheHeadFarthestFromTheMiddleLine)
{
    // Steps: -3 top line, 1 middle line, 5 bottom line.
    EXPECT_FALSE(stemDownForSteps({3, 5}));  // below the middle: up
    EXPECT_TRUE(stemDownForSteps({-3, -1})); // above the middle: down
    EXPECT_TRUE(stemDownForSteps({-5, 3}));  // six steps above beat four below: down
    EXPECT_FALSE(stemDownForSteps({-1, 7})); // eight below beat two above: up
    EXPECT_TRUE(stemDownForSteps({-1, 3}));  // balanced: down
    EXPECT_FALSE(stemDownForSteps({kMiddleLineStep}));
}

TEST(ChordRulesTest, HeadsASecondApartSitOnEitherSideOfTheStem)
{
    // A cluster of three steps in a row, stem up: from the bottom, the middle head goes right
    // and the top one returns to the left, where it carries the stem's tip.
    std::vector<ChordHead> up{{0, 4}, {1, 3}, {2, 2}};
    ChordArrangement a = arrangeChord(up, false);
    EXPECT_EQ(up[0].shift, 0);
    EXPECT_EQ(up[1].shift, 1);
    EXPECT_EQ(up[2].shift, 0);
    EXPECT_EQ(a.stemNote, 2);
    EXPECT_FALSE(a.headsLeft);

    // Stem down: from the top, the lower head of the second goes left; the lowest head on
    // the normal side carries the tip.
    std::vector<ChordHead> down{{0, -4}, {1, -3}, {2, 0}};
    a = arrangeChord(down, true);
    EXPECT_EQ(down[0].shift, 0);
    EXPECT_EQ(down[1].shift, -1);
    EXPECT_EQ(down[2].shift, 0);
    EXPECT_EQ(a.stemNote, 2);
    EXPECT_TRUE(a.headsLeft);

    // A triad in thirds keeps every head on the normal side; the top carries the tip.
    std::vector<ChordHead> triad{{0, 5}, {1, 3}, {2, 1}};
    a = arrangeChord(triad, false);
    for (const ChordHead& h : triad)
        EXPECT_EQ(h.shift, 0);
    EXPECT_EQ(a.stemNote, 2);
}

TEST(ChordRulesTest, AccidentalsCloserThanASixthTakeSeparateColumns)
{
    // C sharp, E flat, G sharp, C sharp an octave up (steps 6, 4, 2, -1): each of the close
    // ones its own column, the octave shares the first.
    std::vector<ChordHead> heads{{0, 6, true}, {1, 4, true}, {2, 2, true}, {3, -1, true}, {4, 0, false}};
    arrangeChord(heads, false);
    EXPECT_EQ(heads[3].accidentalColumn, 0); // the top one next to the heads
    EXPECT_EQ(heads[2].accidentalColumn, 1); // three steps below it
    EXPECT_EQ(heads[1].accidentalColumn, 2); // close to both
    EXPECT_EQ(heads[0].accidentalColumn, 0); // seven steps below the top one
    EXPECT_EQ(heads[4].accidentalColumn, 0);
}

class ChordDrawingTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        sheet = testing::sheetWithTracks(1);
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(1000, 800);
    }
    Track& track() { return *sheet->trackAt(0); }
    // A chord of `type` at the steps given, the first the root; returns the root.
    int chord(int type, std::initializer_list<int> steps, int flags = 0)
    {
        int root = -1;
        for (const int s : steps) {
            const int i = addNote(track(), type, s, flags, nullptr, root);
            if (root < 0)
                root = i;
        }
        return root;
    }
    void draw()
    {
        layoutRows(*view);
        canvas.clear();
        drawSheet(*view, canvas, false);
    }
    const NoteLayout& at(int i) const { return view->noteLayout(0, i); }
    int count(std::initializer_list<int> ids) const
    {
        int c = 0;
        for (const Call& call : canvas.callsOf(Kind::Glyph))
            c += std::find(ids.begin(), ids.end(), call.v[0]) != ids.end() ? 1 : 0;
        return c;
    }
    int flagged() const
    {
        return count({kGlyphEighthUp, kGlyphEighthDown, kGlyphSixteenthUp, kGlyphSixteenthDown,
                      kGlyphThirtySecondUp, kGlyphThirtySecondDown, kGlyphFlagsUp1, kGlyphFlagsUp2,
                      kGlyphFlagsUp3, kGlyphFlagsDown1, kGlyphFlagsDown2, kGlyphFlagsDown3});
    }
    std::vector<Call> glyphsOf(int id) const
    {
        std::vector<Call> out;
        for (const Call& c : canvas.callsOf(Kind::Glyph))
            if (c.v[0] == id)
                out.push_back(c);
        return out;
    }
    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    RecordingCanvas canvas;
};

TEST_F(ChordDrawingTest, AnEighthChordDrawsOneFlagFromTheHeadAtTheStemsEnd)
{
    for (const bool high : {false, true}) {
        SCOPED_TRACE(high ? "above the middle: stem down" : "below the middle: stem up");
        SetUp();
        // GIVEN a lone eighth triad (then a rest so nothing beams)
        const int root = high ? chord(kTypeEighth, {-2, -4, -6}) : chord(kTypeEighth, {5, 3, 1});
        addNote(track(), kTypeQuarter, 1, kFlagRest);
        draw();
        // THEN one flagged glyph, drawn by the head farthest along the stem
        EXPECT_EQ(flagged(), 1);
        EXPECT_EQ(count({kGlyphQuarterUp, kGlyphQuarterDown}), 2);
        const int tip = at(root).stemNote;
        ASSERT_GE(tip, 0);
        EXPECT_EQ(track().noteAt(tip).line, high ? -2 : 1);
        const auto flags = glyphsOf(high ? kGlyphEighthDown : kGlyphEighthUp);
        ASSERT_EQ(flags.size(), 1u);
        EXPECT_EQ(flags.front().v[2], view->scaled(at(tip).y - view->scrollTop()));
        // AND every head of the chord points its stem the same way
        for (int i = root; i < root + 3; ++i)
            EXPECT_EQ(at(i).stemDown, high ? 1 : 0) << i;
    }
}

TEST_F(ChordDrawingTest, AChordMostlyBelowTheMiddleTurnsItsStemUpEvenWithAHeadAbove)
{
    // G4 B4 D5 G5 on a G clef: the lowest head is farther from the middle line than the top.
    const int root = chord(kTypeQuarter, {5, 2, 1, -2});
    draw();
    EXPECT_EQ(at(root).stemDown, 0);
    // The top of a chord reaching far above: stem down.
    const int next = chord(kTypeQuarter, {3, -4, -6});
    draw();
    EXPECT_EQ(at(next).stemDown, 1);
}

TEST_F(ChordDrawingTest, ASecondPutsOneHeadOnTheOtherSideOfTheStemWithoutAStemOfItsOwn)
{
    const int root = chord(kTypeQuarter, {5, 4});
    draw();
    ASSERT_EQ(at(root).stemDown, 0);
    EXPECT_EQ(at(root).headShift, 0);
    EXPECT_EQ(at(root + 1).headShift, 1);
    const auto heads = glyphsOf(kGlyphBlackHeadUp);
    ASSERT_EQ(heads.size(), 1u);
    // Right of the stem by one head.
    EXPECT_EQ(heads.front().v[1], view->scaled(at(root).x + kSecondHeadShift));
    EXPECT_EQ(count({kGlyphQuarterUp}), 1);
}

TEST_F(ChordDrawingTest, AccidentalsOfAChordStackLeftWithoutTouching)
{
    // A clustered chord with three sharps close together.
    const int root = chord(kTypeQuarter, {5, 3, 2}, kFlagSharp);
    draw();
    const auto sharps = glyphsOf(kGlyphSharp);
    ASSERT_EQ(sharps.size(), 3u);
    // Glyph boxes of a sharp: about 8 wide and 20 tall. No two overlap.
    for (std::size_t a = 0; a < sharps.size(); ++a)
        for (std::size_t b = a + 1; b < sharps.size(); ++b) {
            const bool apartAcross = std::abs(sharps[a].v[1] - sharps[b].v[1]) >= 9;
            const bool apartDown = std::abs(sharps[a].v[2] - sharps[b].v[2]) >= 21;
            EXPECT_TRUE(apartAcross || apartDown) << a << " and " << b;
        }
    // AND all lie left of the heads on the stem's normal side.
    for (const Call& c : sharps)
        EXPECT_LT(c.v[1] + 8, view->scaled(at(root).x + 3));
}

TEST_F(ChordDrawingTest, ChordsOfSixteenthsAreBeamedLikeSingleNotes)
{
    // GIVEN four sixteenth triads filling one beat, the members right after their roots as an
    // import stores them
    std::vector<int> roots;
    for (int k = 0; k < 4; ++k)
        roots.push_back(chord(kTypeSixteenth, {5 - k, 3 - k, 1 - k}));
    draw();
    // THEN no flag is drawn, one group of two beams joins the four chords, all stems go one way
    EXPECT_EQ(flagged(), 0);
    EXPECT_EQ(at(roots[0]).beamCount, 3);
    std::vector<Call> beams;
    for (const Call& c : canvas.callsOf(Kind::Polygon)) {
        double left = 1e9, right = -1e9;
        for (const PointF& p : c.points)
            left = std::min(left, p.x), right = std::max(right, p.x);
        if (right - left > 40)
            beams.push_back(c);
    }
    ASSERT_EQ(beams.size(), 2u);
    for (const int r : roots)
        for (int i = r; i < r + 3; ++i) {
            EXPECT_EQ(at(i).stemDown, at(roots[0]).stemDown) << i;
            EXPECT_TRUE(at(i).beamed) << i;
        }
    // AND the beam lies beyond every head: above the highest head of each chord (stems up)
    const bool up = at(roots[0]).stemDown == 0;
    ASSERT_TRUE(up);
    double beamBottom = -1e9;
    for (const PointF& p : beams.front().points)
        beamBottom = std::max(beamBottom, p.y);
    for (const int r : roots) {
        const int tip = at(r).stemNote;
        const double head = view->scaled(at(tip).y - view->scrollTop()) + kHeadUpY * view->zoom();
        EXPECT_LT(beamBottom, head - 2 * kStaffSpacing) << r;
    }
}

TEST_F(ChordDrawingTest, ChordMembersAppendedAtTheTrackEndStillBeamWithTheirRoots)
{
    // Chord building appends members after every root.
    const int a = addNote(track(), kTypeEighth, 3);
    const int b = addNote(track(), kTypeEighth, 2);
    addNote(track(), kTypeEighth, 5, 0, nullptr, a);
    addNote(track(), kTypeEighth, 4, 0, nullptr, b);
    draw();
    EXPECT_EQ(flagged(), 0);
    EXPECT_EQ(at(a).beamCount, 1);
    EXPECT_TRUE(at(a + 2).beamed);
}

} // namespace
} // namespace tonvela
