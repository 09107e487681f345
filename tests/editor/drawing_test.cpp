#include "drawing/recording_canvas.h"
#include "editor/engraving_lines.h"
#include "editor/engraving_marks.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tonvela {
namespace {

using testing::addNote;
using testing::addQuarters;
using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

class DrawingTest : public ::testing::Test {
  protected:
    void makeSheet(int tracks, float zoom = 1.0f, int width = 1000, int height = 800)
    {
        sheet = testing::sheetWithTracks(tracks);
        sheet->zoomamount = zoom;
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(width, height);
    }
    void draw(bool printing = false)
    {
        layoutRows(*view);
        canvas.clear();
        drawSheet(*view, canvas, printing);
    }
    Track& track(int i) { return *sheet->trackAt(i); }
    Note& note(int t, int i) { return track(t).noteAt(i); }
    // Where the view's layout put note i of track t.
    const NoteLayout& at(int t, int i) const { return view->noteLayout(t, i); }
    // A laid-out note's glyph box corner in device units, as the window shows it.
    int zx(const NoteLayout& p) const { return view->scaled(p.x); }
    int zy(const NoteLayout& p) const { return view->scaled(p.y - view->scrollTop()); }
    bool hasLine(int x1, int y1, int x2, int y2) const
    {
        for (const Call& c : canvas.callsOf(Kind::Line))
            if (c.v[0] == x1 && c.v[1] == y1 && c.v[2] == x2 && c.v[3] == y2)
                return true;
        return false;
    }
    std::vector<Call> glyphs(int id) const
    {
        std::vector<Call> out;
        for (const Call& c : canvas.callsOf(Kind::Glyph))
            if (c.v[0] == id)
                out.push_back(c);
        return out;
    }
    std::vector<Call> texts(const std::string& text) const
    {
        std::vector<Call> out;
        for (const Call& c : canvas.calls())
            if ((c.kind == Kind::Text || c.kind == Kind::TextInRect) && c.text == text)
                out.push_back(c);
        return out;
    }
    int sc(int v) const { return view->scaled(v); }
    double z() const { return view->zoom(); }
    // Heights of the short level lines drawn with the ledger pen whose middle lies within a
    // head's width of device x `centre`, top first.
    std::vector<int> ledgersAround(double centre) const
    {
        std::vector<int> ys;
        for (const Call& c : canvas.callsOf(Kind::Line)) {
            const double middle = (c.v[0] + c.v[2]) / 2.0;
            if (c.v[1] == c.v[3] && c.pen == DrawTools::forZoom(view->zoom()).ledger &&
                std::abs(middle - centre) < 6 * z())
                ys.push_back(c.v[1]);
        }
        std::sort(ys.begin(), ys.end());
        return ys;
    }
    double headCentreX(const NoteLayout& p) const
    {
        return zx(p) + (p.stemDown == 1 ? kHeadDownX : kHeadUpX) * z();
    }
    std::vector<int> ledgerYs(int t, int i) const { return ledgersAround(headCentreX(at(t, i))); }
    std::vector<Call> polygons(bool ties) const
    {
        std::vector<Call> out;
        for (const Call& c : canvas.callsOf(Kind::Polygon))
            if ((c.points.size() > 4) == ties)
                out.push_back(c);
        return out;
    }

    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    RecordingCanvas canvas{1000, 800};
};

TEST_F(DrawingTest, EmptyTrackGetsStaffLabelClefKeyAndTimeSignature)
{
    makeSheet(2);
    track(1).setKeyIndex(5); // D major
    draw();
    const int top = view->row(1).top;
    for (int k = 0; k < 5; ++k)
        EXPECT_TRUE(hasLine(35, top + 9 * k, 35 + 930, top + 9 * k)) << k;
    EXPECT_EQ(texts("2").size(), 1u);
    const auto label = texts("2").front();
    EXPECT_EQ(label.v[0], 20);
    EXPECT_EQ(label.v[1], top + 27);
    EXPECT_EQ(label.font.height, 20);
    EXPECT_EQ(glyphs(kGlyphGClef).size(), 2u);
    // Two sharps: F at the top line, C in the third space.
    const auto sharps = glyphs(kGlyphSharp);
    ASSERT_EQ(sharps.size(), 2u);
    EXPECT_EQ(sharps[0].v[1], keySignatureLeft());
    EXPECT_EQ(sharps[0].v[2], top - 10);
    EXPECT_EQ(sharps[1].v[1], keySignatureLeft() + kKeyMarkPitch);
    EXPECT_EQ(sharps[1].v[2], top + 3);
    // Time signature after the key signature, denominator 18 units lower.
    const auto fours = glyphs(kGlyphDigit4);
    ASSERT_EQ(fours.size(), 4u);
    EXPECT_TRUE(std::any_of(fours.begin(), fours.end(), [&](const Call& c) {
        return c.v[1] == timeSignatureLeft(2) && c.v[2] == top + 20;
    }));
    // The system's staves are joined at the left.
    EXPECT_TRUE(hasLine(35, 60, 35, top + 36));
}

TEST_F(DrawingTest, FlatKeySignaturePlacesFlatsBelowTheirSteps)
{
    makeSheet(1);
    track(0).setKeyIndex(9); // B flat major
    draw();
    const auto flats = glyphs(kGlyphFlat);
    ASSERT_EQ(flats.size(), 2u);
    EXPECT_EQ(flats[0].v[2], 60 + 5); // B flat: its belly on the middle line
    EXPECT_EQ(flats[1].v[2], 51);     // E flat: 60 - 8.5, truncated
    EXPECT_EQ(view->row(0).keySigWidth, 16);
}

TEST_F(DrawingTest, GeometryScalesWithTheZoomAndTruncates)
{
    for (float zoom : {1.0f, 0.5f, 0.4f}) {
        SCOPED_TRACE(zoom);
        makeSheet(1, zoom);
        addNote(track(0), kTypeQuarter, 9, 0, "la");
        draw();
        const int top = view->row(0).top;
        EXPECT_EQ(top, 60);
        // The staff stops at the track's final bar line.
        const int end = trackEnd(*view, 0).endX;
        for (int k = 0; k < 5; ++k)
            EXPECT_TRUE(hasLine(sc(35), sc(top) + sc(9 * k), sc(end), sc(top) + sc(9 * k))) << k;
        const NoteLayout& n = at(0, 0);
        // Step 9 lies on the second ledger line below: both lines are drawn.
        EXPECT_EQ(ledgerYs(0, 0), (std::vector<int>{sc(top) + sc(45), sc(top) + sc(54)}));
        const auto lyric = texts("la");
        ASSERT_EQ(lyric.size(), 1u);
        EXPECT_EQ(lyric[0].v[0], sc(n.x));
        EXPECT_EQ(lyric[0].v[1], sc(63 + top));
        EXPECT_EQ(lyric[0].v[2], sc(n.x) + 300);
        EXPECT_EQ(lyric[0].v[3], sc(63 + top) + 24);
        EXPECT_EQ(lyric[0].font.height, static_cast<int>((zoom >= 0.8f ? 16.0f : 12.0f) * zoom));
        const auto head = glyphs(kGlyphQuarterUp);
        ASSERT_EQ(head.size(), 1u);
        EXPECT_EQ(head[0].v[1], sc(n.x));
        EXPECT_EQ(head[0].v[2], sc(n.y));
        EXPECT_FLOAT_EQ(static_cast<float>(head[0].scale), zoom);
        EXPECT_EQ(texts("1").front().font.height, static_cast<int>(14.0f * zoom));
    }
}

TEST_F(DrawingTest, PercussionNotesStandAtTheirDrumsPlacesWithoutLedgersAndWithStemsUp)
{
    makeSheet(1);
    track(0).percussive = 1;
    addNote(track(0), kTypeQuarter, 12); // key 40, the electric snare: the third space
    addNote(track(0), kTypeQuarter, -9); // key 76, a wood block with a cross head: the top space
    draw();
    EXPECT_EQ(at(0, 0).y, view->row(0).top - 14); // as a stem-up note in the third space
    EXPECT_EQ(at(0, 1).stemDown, 0);
    EXPECT_EQ(glyphs(kGlyphQuarterUp).size(), 1u);
    EXPECT_EQ(glyphs(kGlyphCrossQuarterUp).size(), 1u);
    EXPECT_EQ(glyphs(kGlyphPercussionClef).size(), 1u);
    const int top = view->row(0).top;
    EXPECT_FALSE(hasLine(at(0, 0).x, top + 45, at(0, 0).x + 10, top + 45));
}

TEST_F(DrawingTest, MeasureNumbersOpenTheSystemAndBarLinesMarkEveryMeasure)
{
    makeSheet(2);
    addQuarters(track(0), 8);
    draw();
    const int top = view->row(0).top;
    const auto first = texts("1");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front().v[0], 35 - 11);
    EXPECT_EQ(first.front().v[1], top - 18);
    EXPECT_EQ(first.front().font, (Font{14, true}));
    // Measure 2 inside the system carries no number (only the staff label "2" is drawn).
    const auto second = texts("2");
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second.front().font.height, 20);
    // The bar line of measure 2 crosses the whole system, and the pointer finds it all along.
    const int bottom = top + 110 + 36;
    EXPECT_TRUE(hasLine(232, top, 232, bottom));
    EXPECT_TRUE(hoverBarLine(*view, 0, 232, top));
    EXPECT_TRUE(hoverBarLine(*view, 0, 232, bottom));
    // The system end line at the staff's end, through the staff that runs on to it: track 0
    // ends after its second measure.
    EXPECT_TRUE(hasLine(35 + 930, top + 110, 35 + 930, bottom));
    EXPECT_FALSE(hasLine(35 + 930, top, 35 + 930, bottom));
}

TEST_F(DrawingTest, TablatureShowsStringsAndFrets)
{
    makeSheet(1);
    setStaffKind(track(0), StaffKind::Tablature);
    addNote(track(0), kTypeQuarter, -2); // E above middle C: top string, open
    addNote(track(0), kTypeQuarter, 3);  // G below middle C: the open third string
    addNote(track(0), kTypeQuarter, -6); // above the tablature's range
    draw();
    const int top = view->row(0).top;
    const auto lines = canvas.callsOf(Kind::Line);
    int tabLines = 0;
    for (const Call& c : lines)
        if (c.pen.color == Color{10, 10, 10})
            ++tabLines;
    EXPECT_EQ(tabLines, 6);
    EXPECT_EQ(texts("T").size(), 1u);
    EXPECT_EQ(texts("B").size(), 1u);
    const auto open = texts("0");
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0].v[0], at(0, 0).x);
    EXPECT_EQ(open[1].v[1], top + 2 * 9 - 9);
    EXPECT_EQ(open[0].v[1], top - 9);
    EXPECT_EQ(open[0].font, (Font{16, true}));
    EXPECT_EQ(texts(" ").size(), 1u);
    EXPECT_TRUE(glyphs(kGlyphQuarterUp).empty()); // tablature draws no note glyphs
}

// The tablature's frame holds its six lines: the bar lines through the system and the line
// joining its staves at the left reach its sixth line; its frets stand on their lines.
TEST_F(DrawingTest, TablatureBarLinesReachItsSixthLineAndItsFretsStandOnTheirLines)
{
    makeSheet(2);
    setStaffKind(track(1), StaffKind::Tablature);
    for (int t = 0; t < 2; ++t)
        for (int line : {-2, -2, -2, -2, 3, 3})
            addNote(track(t), kTypeQuarter, line);
    draw();
    const int staffTop = view->row(0).top, tabTop = view->row(1).top;
    int through = 0;
    for (const Call& c : canvas.callsOf(Kind::Line)) {
        if (c.v[0] != c.v[2] || c.v[1] != staffTop || c.v[3] <= tabTop)
            continue;
        ++through;
        EXPECT_EQ(c.v[3], tabTop + 5 * 9) << "at x " << c.v[0];
    }
    EXPECT_GE(through, 2); // the system's left line and the bar line between the measures
    const auto open = texts("0");
    ASSERT_EQ(open.size(), 6u);
    for (const Call& c : open) {
        // The digit's middle (the text's top plus half the font's height) on a line.
        const int off = ((c.v[1] + c.font.height / 2 - tabTop) % 9 + 9) % 9;
        EXPECT_LE(std::min(off, 9 - off), 1) << c.v[1];
    }
}

TEST_F(DrawingTest, TablatureFretsFollowTheTracksTuningAndCapo)
{
    makeSheet(1);
    setStaffKind(track(0), StaffKind::Tablature);
    addNote(track(0), kTypeQuarter, 13); // D below the low E: no fret in standard tuning
    addNote(track(0), kTypeQuarter, -2); // E above middle C
    draw();
    EXPECT_EQ(texts(" ").size(), 1u) << "standard tuning cannot hold the low D";

    track(0).tuning = {kNamedTunings[1].strings, 0}; // Drop D
    draw();
    const int top = view->row(0).top;
    const auto open = texts("0");
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0].v[1], top + 5 * 9 - 9) << "the open sixth string";
    EXPECT_TRUE(texts(" ").empty());

    // A capo at 2: the low D is gone again, the E is the second fret of the B string.
    track(0).tuning.capo = 2;
    draw();
    EXPECT_EQ(texts(" ").size(), 1u);
    const auto e = texts("3");
    ASSERT_EQ(e.size(), 1u) << "B + capo 2 + 3 frets is E";
    EXPECT_EQ(e[0].v[1], top + 9 - 9);
}

TEST_F(DrawingTest, RowsAboveTheFirstVisibleRowAreNotDrawn)
{
    makeSheet(1, 1.0f, 1000, 300);
    for (int i = 0; i < 40; ++i)
        addNote(track(0), kTypeWhole, 1, 0, i == 0 ? "first" : nullptr);
    view->firstVisibleRow = 3;
    draw();
    EXPECT_EQ(view->firstVisibleRow, 3);
    EXPECT_TRUE(texts("first").empty());
    for (const Call& c : canvas.calls())
        EXPECT_GE(c.kind == Kind::Line ? std::min(c.v[1], c.v[3]) : 0, 0);
    // Row 3 is drawn at the top: its first measure is measure 13.
    EXPECT_EQ(texts("13").size(), 1u);
    EXPECT_EQ(texts("13").front().v[1], 60 - 18);
    for (const Call& c : canvas.callsOf(Kind::Glyph))
        EXPECT_GE(c.v[2], 0);
}

TEST_F(DrawingTest, PrintingLeavesOutHoverGuidesAndSelectionColours)
{
    makeSheet(1);
    layoutRows(*view);
    trackHover(*view, view->row(0), 200, view->row(0).top - 10);
    drawSheet(*view, canvas, false);
    EXPECT_EQ(ledgersAround(200), (std::vector<int>{60 - 9}));
    EXPECT_EQ(glyphs(kGlyphGClef).front().glyphColor, GlyphColor::Selected);
    canvas.clear();
    drawSheet(*view, canvas, true);
    EXPECT_TRUE(ledgersAround(200).empty());
    EXPECT_EQ(glyphs(kGlyphGClef).front().glyphColor, GlyphColor::Normal);
}

TEST_F(DrawingTest, SelectedAndPlayingNotesTakeTheirColourSets)
{
    makeSheet(1);
    addQuarters(track(0), 3);
    note(0, 0).selected = 1;
    struct SecondNoteSounds : SoundingNotes {
        bool sounding(const SheetDocument&, int track, int note) const override
        {
            return track == 0 && note == 1;
        }
    } playback;
    view->soundingNotes = &playback;
    draw();
    const auto heads = canvas.callsOf(Kind::Glyph);
    std::vector<GlyphColor> colours;
    for (const Call& c : heads)
        if (c.v[0] == kGlyphQuarterUp)
            colours.push_back(c.glyphColor);
    ASSERT_EQ(colours.size(), 3u);
    EXPECT_EQ(colours[0], GlyphColor::Selected);
    EXPECT_EQ(colours[1], GlyphColor::Highlighted);
    EXPECT_EQ(colours[2], GlyphColor::Normal);
}

TEST_F(DrawingTest, TheNoteUnderThePointerIsHighlightedByTheViewAlone)
{
    makeSheet(1);
    addQuarters(track(0), 3);
    view->hoveredNoteTrack = 0;
    view->hoveredNoteIndex = 2;
    draw();
    std::vector<GlyphColor> colours;
    for (const Call& c : canvas.callsOf(Kind::Glyph))
        if (c.v[0] == kGlyphQuarterUp)
            colours.push_back(c.glyphColor);
    ASSERT_EQ(colours.size(), 3u);
    EXPECT_EQ(colours[0], GlyphColor::Normal);
    EXPECT_EQ(colours[2], GlyphColor::Highlighted);
}

TEST_F(DrawingTest, RowsFarDownAreDrawnWithTheirNotesWhenScrolledTo)
{
    // 1500 rows, each a quarter note ended by a staff break.
    makeSheet(1, 1.0f, 1000, 800);
    for (int i = 0; i < 2999; ++i)
        addNote(track(0), i % 2 ? kTypeStaffBreak : kTypeQuarter, 1, 0, i == 2998 ? "end" : nullptr);
    layoutRows(*view);
    ASSERT_EQ(view->rowsInUse(), 1500);
    setFirstVisibleRow(*view, 1496);
    EXPECT_EQ(view->firstVisibleRow, view->scrollRange);
    canvas.clear();
    drawSheet(*view, canvas, false);
    // The rows from the first visible one down to the last are drawn, each with its note.
    const int shown = 1500 - view->firstVisibleRow;
    int staffLabels = 0;
    for (const Call& c : canvas.callsOf(Kind::Text))
        if (c.text == "1" && c.font.height == 20)
            ++staffLabels;
    EXPECT_EQ(staffLabels, shown);
    EXPECT_EQ(glyphs(kGlyphQuarterUp).size(), static_cast<std::size_t>(shown));
    const NoteLayout& last = at(0, 2998);
    EXPECT_EQ(last.rowIndex, 1499);
    bool found = false;
    for (const Call& c : glyphs(kGlyphQuarterUp))
        found = found || (c.v[1] == zx(last) && c.v[2] == zy(last));
    EXPECT_TRUE(found);
    EXPECT_EQ(texts("end").size(), 1u);
}

TEST_F(DrawingTest, RowsBeyondWhatSixteenBitPlacesReachAreNotDrawnInAHugeWindow)
{
    makeSheet(1, 1.0f, 1000, 100000);
    for (int i = 0; i < 1500; ++i)
        addNote(track(0), i % 2 ? kTypeStaffBreak : kTypeQuarter, 1);
    draw();
    for (const Call& c : canvas.callsOf(Kind::Glyph))
        EXPECT_LE(c.v[2], kMaxDrawnRowTop + 100);
    int staffLabels = 0;
    for (const Call& c : canvas.callsOf(Kind::Text))
        if (c.text == "1" && c.font.height == 20)
            ++staffLabels;
    EXPECT_EQ(staffLabels, (kMaxDrawnRowTop - 60) / kRowPitch + 1);
}

// Drawing reads the layout and writes nothing back: the same layout drawn twice, scrolled away
// and back, or after a paint for paper, gives the same recording call for call.
TEST_F(DrawingTest, DrawingTheSameLayoutTwiceGivesTheSameRecording)
{
    sheet = testing::beamsAndTiesSheet();
    view = std::make_unique<SheetViewState>(*sheet);
    view->setClientSize(1000, 800);
    layoutRows(*view);
    const std::shared_ptr<const SheetLayout> laidOut = view->sharedLayout();
    auto record = [&](bool printing) {
        RecordingCanvas c{1000, 800};
        drawSheet(*view, c, printing);
        return c;
    };
    auto same = [](const RecordingCanvas& a, const RecordingCanvas& b) -> ::testing::AssertionResult {
        if (a.calls().size() != b.calls().size())
            return ::testing::AssertionFailure() << a.calls().size() << " calls against " << b.calls().size();
        for (std::size_t i = 0; i < a.calls().size(); ++i) {
            const Call& x = a.calls()[i];
            const Call& y = b.calls()[i];
            if (x.kind != y.kind || !std::equal(std::begin(x.v), std::end(x.v), std::begin(y.v)) ||
                x.points != y.points || x.text != y.text || x.scale != y.scale ||
                x.glyphColor != y.glyphColor || !(x.pen == y.pen) || x.hasBrush != y.hasBrush ||
                !(x.brush == y.brush) || !(x.fill == y.fill) || !(x.font == y.font) ||
                !(x.textColor == y.textColor))
                return ::testing::AssertionFailure() << "call " << i << " differs";
        }
        return ::testing::AssertionSuccess();
    };
    const RecordingCanvas first = record(false);
    ASSERT_GT(first.callsOf(Kind::Polygon).size(), 2u) << "beams and ties were drawn";
    EXPECT_TRUE(same(first, record(false)));
    record(true);
    setFirstVisibleRow(*view, 1);
    record(false);
    setFirstVisibleRow(*view, 0);
    EXPECT_TRUE(same(first, record(false))) << "after a paint for paper and one scrolled";
    EXPECT_EQ(view->sharedLayout(), laidOut) << "drawing made no new layout";
}

TEST_F(DrawingTest, SheetWithoutTracksDrawsNothing)
{
    makeSheet(1);
    sheet->removeAllTracks();
    draw();
    EXPECT_TRUE(canvas.calls().empty());
}

// Device-unit box of a polygon's corners.
struct Box {
    double left, top, right, bottom;
};
Box boxOf(const Call& c)
{
    Box b{1e9, 1e9, -1e9, -1e9};
    for (const PointF& p : c.points) {
        b.left = std::min(b.left, p.x), b.right = std::max(b.right, p.x);
        b.top = std::min(b.top, p.y), b.bottom = std::max(b.bottom, p.y);
    }
    return b;
}

TEST_F(DrawingTest, LedgerLinesReachFromTheStaffToEveryHeadOnEveryStaffKind)
{
    // Step -3 is the top line, 5 the bottom one; every line position out to the head gets a
    // line, the head's own when it sits on one.
    const std::pair<int, std::vector<int>> cases[] = {
        {6, {}},    {7, {5}},   {8, {5}},           {11, {5, 6, 7}},     {12, {5, 6, 7}}, {-4, {}},
        {-5, {-1}}, {-6, {-1}}, {-9, {-3, -2, -1}}, {-10, {-3, -2, -1}}, {2, {}},
    };
    for (float zoom : {1.0f, 2.0f}) {
        for (StaffKind kind : {StaffKind::GClef, StaffKind::G2Clef, StaffKind::FClef}) {
            SCOPED_TRACE(::testing::Message()
                         << "zoom " << zoom << " staff kind " << staffKindInfo(kind).name);
            makeSheet(1, zoom, 2000, 1600);
            setStaffKind(track(0), kind);
            for (const auto& c : cases)
                addNote(track(0), kTypeQuarter, c.first);
            addNote(track(0), kTypeWhole, 9);
            draw();
            const int top = view->row(0).top;
            for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
                std::vector<int> expected;
                for (int line : cases[i].second)
                    expected.push_back(sc(top) + sc(9 * line));
                EXPECT_EQ(ledgerYs(0, i), expected) << "step " << cases[i].first;
            }
            // A little wider than the head on both sides, whole notes too.
            for (int i : {1, 7, static_cast<int>(std::size(cases))}) {
                const Note& n = note(0, i);
                const NoteLayout& p = at(0, i);
                const bool whole = n.type == kTypeWhole;
                const double half = (whole ? kWholeHeadHalfWidth : kHeadHalfWidth) * zoom;
                const double centre = zx(p) + (whole        ? kWholeHeadX
                                               : p.stemDown ? kHeadDownX
                                                            : kHeadUpX) *
                                                  zoom;
                bool seen = false;
                for (const Call& c : canvas.callsOf(Kind::Line)) {
                    if (c.v[1] != c.v[3] || std::abs((c.v[0] + c.v[2]) / 2.0 - centre) > 2 * zoom ||
                        c.v[2] - c.v[0] > 40 * zoom)
                        continue;
                    seen = true;
                    EXPECT_LT(c.v[0], centre - half - 1) << i;
                    EXPECT_GT(c.v[2], centre + half + 1) << i;
                    EXPECT_LT(c.v[2] - c.v[0], 2 * half + 9 * zoom) << i;
                }
                EXPECT_TRUE(seen) << i;
            }
        }
    }
}

TEST_F(DrawingTest, RestsPercussionAndTablatureGetNoLedgerLines)
{
    makeSheet(3);
    addNote(track(0), kTypeQuarter, 11, kFlagRest);
    addNote(track(0), kTypeQuarter, -9, kFlagRest);
    track(1).percussive = 1;
    addNote(track(1), kTypeQuarter, 11);
    addNote(track(1), kTypeQuarter, -9);
    setStaffKind(track(2), StaffKind::Tablature);
    addNote(track(2), kTypeQuarter, 11);
    draw();
    for (int t = 0; t < 3; ++t)
        for (int i = 0; i < track(t).count; ++i)
            EXPECT_TRUE(ledgerYs(t, i).empty()) << t << " " << i;
}

TEST_F(DrawingTest, ANoteFarOffTheStaffDrawsABoundedNumberOfLedgerLines)
{
    // A damaged file can put a note thousands of steps away: it gets the first lines out from
    // the staff, never thousands of them.
    makeSheet(1);
    addNote(track(0), kTypeQuarter, 30000);
    addNote(track(0), kTypeQuarter, -30000);
    draw();
    const int top = view->row(0).top;
    for (int i = 0; i < 2; ++i) {
        const std::vector<int> ys = ledgerYs(0, i);
        ASSERT_EQ(ys.size(), static_cast<std::size_t>(kMaxLedgerLines)) << i;
        EXPECT_EQ(i == 0 ? ys.front() : ys.back(), i == 0 ? top + 45 : top - 9) << "nearest the staff first";
    }
}

TEST_F(DrawingTest, HoverGuidesShowTheLedgerLinesOfANotePlacedAtThePointer)
{
    makeSheet(1);
    layoutRows(*view);
    const int top = view->row(0).top;
    // 20 above the top line: step -7, two lines; 60 below it: step 10, two lines below.
    trackHover(*view, view->row(0), 300, top - 20);
    drawSheet(*view, canvas, false);
    EXPECT_EQ(ledgersAround(300), (std::vector<int>{top - 18, top - 9}));
    trackHover(*view, view->row(0), 300, top + 60);
    canvas.clear();
    drawSheet(*view, canvas, false);
    EXPECT_EQ(ledgersAround(300), (std::vector<int>{top + 45, top + 54}));
    // Further out, further lines.
    trackHover(*view, view->row(0), 300, top + 74);
    canvas.clear();
    drawSheet(*view, canvas, false);
    EXPECT_EQ(ledgersAround(300).size(), 4u);
}

TEST_F(DrawingTest, LineWeightsAreStaffSpacesAndGrowWithTheZoom)
{
    double staff[2] = {}, ledger[2] = {}, bar[2] = {}, beam[2] = {}, stem[2] = {}, tie[2] = {};
    const float zooms[2] = {1.0f, 2.0f};
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(zooms[k]);
        makeSheet(1, zooms[k], 2000, 1600);
        for (int line : {4, 6, 2, 4}) // a group whose middle stems are carried on to the beam
            addNote(track(0), kTypeSixteenth, line);
        addNote(track(0), kTypeQuarter, 1, kFlagTie);
        addNote(track(0), kTypeQuarter, 1, kFlagTie);
        addNote(track(0), kTypeQuarter, 11);
        addQuarters(track(0), 2);
        draw();
        const int top = view->row(0).top;
        for (const Call& c : canvas.callsOf(Kind::Line)) {
            if (c.v[1] == c.v[3] && c.v[1] == sc(top))
                staff[k] = c.pen.width;
            if (c.v[0] == c.v[2] && c.v[0] > sc(100) && c.v[0] < sc(900))
                bar[k] = c.pen.width;
        }
        ledger[k] = DrawTools::forZoom(zooms[k]).ledger.width;
        ASSERT_FALSE(ledgerYs(0, 6).empty());
        const auto shapes = polygons(false);
        ASSERT_GE(shapes.size(), 2u);
        for (const Call& c : shapes) {
            const Box b = boxOf(c);
            if (b.right - b.left > 20 * zooms[k])
                beam[k] = b.bottom - b.top; // a level beam
            else
                stem[k] = b.right - b.left;
        }
        const auto ties = polygons(true);
        ASSERT_EQ(ties.size(), 1u);
        // The tie is thickest in its middle: the two arcs' middle points.
        const auto& p = ties[0].points;
        tie[k] = std::abs(p[p.size() / 4].y - p[p.size() - 1 - p.size() / 4].y);
    }
    const double space = 9;
    EXPECT_NEAR(staff[0], 0.12 * space, 0.01);
    EXPECT_NEAR(ledger[0], 0.16 * space, 0.01);
    EXPECT_NEAR(bar[0], 0.16 * space, 0.01);
    EXPECT_NEAR(beam[0], 0.5 * space, 0.01);
    EXPECT_NEAR(stem[0], 0.12 * space, 0.01);
    EXPECT_GT(ledger[0], staff[0]) << "ledger lines are a little heavier than staff lines";
    for (double* w : {staff, ledger, bar, beam, stem, tie})
        EXPECT_NEAR(w[1], 2 * w[0], 0.02 * w[0] + 1e-9) << "twice the zoom, twice the weight";
    EXPECT_GT(tie[0], 1.0);
}

TEST_F(DrawingTest, BeamsAreSolidAndStemsReachThem)
{
    for (bool up : {true, false}) {
        SCOPED_TRACE(up ? "stems up" : "stems down");
        makeSheet(1, 2.0f, 2000, 1600);
        const int lines[4] = {2, 4, 6, 8};
        for (int line : lines)
            addNote(track(0), kTypeSixteenth, up ? line : -line);
        draw();
        ASSERT_EQ(at(0, 0).stemDown, up ? 0 : 1);
        const double s = 9 * z();
        std::vector<Call> beams, stems;
        for (const Call& c : polygons(false))
            (boxOf(c).right - boxOf(c).left > 4 * s ? beams : stems).push_back(c);
        ASSERT_EQ(beams.size(), 2u) << "a sixteenth group has two beams";
        const Box outer = boxOf(beams[0]), inner = boxOf(beams[1]);
        EXPECT_NEAR(outer.bottom - outer.top, 0.5 * s, 1e-6);
        // The second beam lies towards the heads, three quarters of a space on.
        EXPECT_NEAR(up ? inner.top - outer.top : outer.top - inner.top, 0.75 * s, 1e-6);
        // The beam spans the first stem to the last.
        const double stemFirst = zx(at(0, 0)) + (up ? kStemUpX : kStemDownX) * z();
        const double stemLast = zx(at(0, 3)) + (up ? kStemUpX : kStemDownX) * z();
        EXPECT_NEAR(outer.left, stemFirst - 0.06 * s, 0.01);
        EXPECT_NEAR(outer.right, stemLast + 0.06 * s, 0.01);
        // The level beam lies at the most outlying stem's tip, rounded outwards; every stem is
        // carried on from its own tip to the beam's outer edge.
        const double edge = up ? outer.top : outer.bottom;
        ASSERT_EQ(stems.size(), 4u);
        for (const Call& c : stems) {
            const Box b = boxOf(c);
            const double centre = (b.left + b.right) / 2;
            int i = 0;
            while (i < 4 && std::abs(zx(at(0, i)) + (up ? kStemUpX : kStemDownX) * z() - centre) > 0.01)
                ++i;
            ASSERT_LT(i, 4) << "an extension off every stem";
            const double tip = zy(at(0, i)) + (up ? kStemUpTipY : kStemDownTipY) * z();
            EXPECT_NEAR(up ? b.top : b.bottom, edge, 1e-6);
            EXPECT_NEAR(up ? b.bottom : b.top, tip, 1e-6);
        }
        EXPECT_EQ(glyphs(up ? kGlyphQuarterUp : kGlyphQuarterDown).size(),
                  4u); // beamed notes draw as quarters
    }
}

// The stems of two tied notes as device boxes, from head centre to tip.
struct TieCase {
    Box tie;
    double headA, headB; // head centres' y
    double ax, bx;       // head centres' x
};

class TieTest : public DrawingTest {
  protected:
    TieCase tieBetween(int line, bool stemDownA, bool stemDownB, float zoom = 1.0f)
    {
        makeSheet(1, zoom);
        addNote(track(0), kTypeQuarter, line, kFlagTie);
        addNote(track(0), kTypeQuarter, line, kFlagTie);
        layoutRows(*view);
        const Note& a = note(0, 0);
        const Note& b = note(0, 1);
        NoteLayout pa = at(0, 0);
        NoteLayout pb = at(0, 1);
        // Turned stems move the heads within their glyph boxes: the notes take their heights
        // again.
        for (NoteLayout* p : {&pa, &pb}) {
            p->stemDown = (p == &pa ? stemDownA : stemDownB) ? 1 : 0;
            p->y = noteY(view->row(0), a, *p);
        }
        canvas.clear();
        SheetDrawing(*view, canvas, false).drawTie(a, pa, b, pb);
        const auto ties = polygons(true);
        EXPECT_EQ(ties.size(), 1u);
        TieCase c{};
        if (ties.empty())
            return c;
        c.tie = boxOf(ties[0]);
        c.headA = zy(pa) + (stemDownA ? kHeadDownY : kHeadUpY) * zoom;
        c.headB = zy(pb) + (stemDownB ? kHeadDownY : kHeadUpY) * zoom;
        c.ax = headCentreX(pa);
        c.bx = headCentreX(pb);
        // Neither stem crosses the tie: each stem's box, from its head to its tip, stays clear.
        for (const NoteLayout* p : {&pa, &pb}) {
            const bool down = p->stemDown == 1;
            const double x = zx(*p) + (down ? kStemDownX : kStemUpX) * zoom;
            const double half = 0.06 * 9 * zoom;
            const double from = zy(*p) + (down ? kHeadDownY : kHeadUpY) * zoom;
            const double to = zy(*p) + (down ? kStemDownTipY : kStemUpTipY) * zoom;
            const bool apartX = c.tie.right < x - half || c.tie.left > x + half;
            const bool apartY = c.tie.bottom < std::min(from, to) || c.tie.top > std::max(from, to);
            EXPECT_TRUE(apartX || apartY) << "the tie crosses a stem";
        }
        return c;
    }
};

TEST_F(TieTest, StemsUpTieBelowAndStemsDownTieAboveFromHeadToHead)
{
    for (float zoom : {1.0f, 2.0f}) {
        SCOPED_TRACE(zoom);
        const TieCase below = tieBetween(1, false, false, zoom);
        EXPECT_GT(below.tie.top, std::max(below.headA, below.headB)) << "below the heads";
        EXPECT_LT(below.tie.bottom, below.headA + 2.5 * 9 * zoom) << "close under them";
        const TieCase above = tieBetween(-2, true, true, zoom);
        EXPECT_LT(above.tie.bottom, std::min(above.headA, above.headB)) << "above the heads";
        EXPECT_GT(above.tie.top, above.headA - 2.5 * 9 * zoom);
        for (const TieCase& c : {below, above}) {
            // From the first head to the second: it starts and ends within a head's width of
            // their centres, between them.
            EXPECT_GT(c.tie.left, c.ax);
            EXPECT_LT(c.tie.left, c.ax + kHeadHalfWidth * zoom);
            EXPECT_LT(c.tie.right, c.bx);
            EXPECT_GT(c.tie.right, c.bx - kHeadHalfWidth * zoom);
        }
    }
}

TEST_F(TieTest, StemsPointingBothWaysNeverCrossTheTie)
{
    // Checked inside tieBetween for each: the stems stay clear of the tie.
    const TieCase upDown = tieBetween(1, false, true);
    EXPECT_LT(upDown.tie.bottom, upDown.headA) << "above, clear of the first stem";
    const TieCase downUp = tieBetween(1, true, false);
    EXPECT_LT(downUp.tie.bottom, downUp.headA);
}

TEST_F(DrawingTest, TiesOfATiedChordCurveOutwardsFromItsMiddle)
{
    for (const bool stemsDown : {false, true}) {
        SCOPED_TRACE(stemsDown);
        // GIVEN a chord of three notes tied to the same chord (low on the staff: stems up; high:
        // stems down)
        makeSheet(1);
        const int base = stemsDown ? -4 : 2;
        const int root = addNote(track(0), kTypeHalf, base, kFlagTie);
        addNote(track(0), kTypeHalf, base + 2, 0, nullptr, root);
        addNote(track(0), kTypeHalf, base + 4, 0, nullptr, root);
        const int next = addNote(track(0), kTypeHalf, base, kFlagTie);
        addNote(track(0), kTypeHalf, base + 2, 0, nullptr, next);
        addNote(track(0), kTypeHalf, base + 4, 0, nullptr, next);
        track(0).rebuildChordLists();
        draw();
        const auto ties = polygons(true);
        ASSERT_EQ(ties.size(), 3u);
        // THEN, paired top to bottom with the heads, the highest head's tie bows above it, the
        // lowest one's below it, and the middle one's away from the stems
        std::vector<double> heads;
        for (int k = 0; k < 3; ++k) {
            const NoteLayout& n = at(0, k);
            heads.push_back(zy(n) + (n.stemDown == 1 ? kHeadDownY : kHeadUpY) * z());
        }
        std::sort(heads.begin(), heads.end());
        std::vector<Box> boxes;
        for (const Call& t : ties)
            boxes.push_back(boxOf(t));
        std::sort(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.top < b.top; });
        std::vector<std::pair<double, Box>> byHead;
        for (int k = 0; k < 3; ++k)
            byHead.emplace_back(heads[static_cast<std::size_t>(k)], boxes[static_cast<std::size_t>(k)]);
        EXPECT_LT(byHead[0].second.bottom, byHead[0].first) << "the top tie bows above its head";
        EXPECT_GT(byHead[2].second.top, byHead[2].first) << "the bottom tie bows below its head";
        if (at(0, 0).stemDown == 1)
            EXPECT_LT(byHead[1].second.bottom, byHead[1].first) << "the middle one away from the stems";
        else
            EXPECT_GT(byHead[1].second.top, byHead[1].first) << "the middle one away from the stems";
        // AND no two ties touch: across their middle part each lies wholly above the next
        std::vector<Call> sorted = ties;
        std::sort(sorted.begin(), sorted.end(),
                  [](const Call& a, const Call& b) { return boxOf(a).top < boxOf(b).top; });
        const auto middleSpan = [](const Call& c) {
            const Box b = boxOf(c);
            const double centre = (b.left + b.right) / 2, reach = (b.right - b.left) * 0.3;
            std::pair<double, double> span{1e9, -1e9};
            for (const PointF& p : c.points)
                if (std::abs(p.x - centre) <= reach)
                    span = {std::min(span.first, p.y), std::max(span.second, p.y)};
            return span;
        };
        for (std::size_t k = 0; k + 1 < sorted.size(); ++k)
            EXPECT_LT(middleSpan(sorted[k]).second, middleSpan(sorted[k + 1]).first) << k;
    }
}

TEST_F(DrawingTest, StemsOfNotesFarOffTheStaffReachTheMiddleLine)
{
    for (const float zoom : {1.0f, 2.0f}) {
        SCOPED_TRACE(zoom);
        // GIVEN a quarter and a half high above and low below the staff, a quarter just outside
        // it, an eighth and a thirty-second far above and below, a note on the middle line and
        // a chord far above
        makeSheet(1, zoom);
        addNote(track(0), kTypeQuarter, -12);
        addNote(track(0), kTypeHalf, 13);
        addNote(track(0), kTypeQuarter, -4);
        addNote(track(0), kTypeEighth, -12);
        addNote(track(0), kTypeQuarter, 1);
        const int root = addNote(track(0), kTypeQuarter, -12);
        addNote(track(0), kTypeQuarter, -10, 0, nullptr, root);
        addNote(track(0), kTypeThirtySecond, 14);
        track(0).rebuildChordLists();
        draw();
        // Upright bars (four corners) around each note's stem x that start at a quarter's tip.
        const auto barsAt = [&](const NoteLayout& n) {
            const bool down = n.stemDown == 1;
            const double x = zx(n) + (down ? kStemDownX : kStemUpX) * z();
            const double tip = zy(n) + (down ? kStemDownTipY : kStemUpTipY) * z();
            std::vector<Box> out;
            for (const Call& c : polygons(false)) {
                const Box b = boxOf(c);
                if (b.left <= x + 1 && b.right >= x - 1 && b.right - b.left < 3 * z() &&
                    (std::abs(b.top - tip) < 2 || std::abs(b.bottom - tip) < 2))
                    out.push_back(b);
            }
            return out;
        };
        // Glyphs at a note's x, within a few spaces of it (a row further down may hold a note
        // at the same x).
        const auto glyphsAt = [&](int id, const NoteLayout& n) {
            std::vector<int> ys;
            for (const Call& c : glyphs(id))
                if (c.v[1] == zx(n) && std::abs(c.v[2] - zy(n)) < 6 * 9 * z())
                    ys.push_back(c.v[2]);
            return ys;
        };
        // THEN the far notes' stems run on from a quarter's tip to the middle line
        for (const int i : {0, 1, 3, 7}) {
            const NoteLayout& n = at(0, i);
            const bool down = n.stemDown == 1;
            EXPECT_EQ(down, i == 0 || i == 3) << i;
            const std::vector<Box> bars = barsAt(n);
            ASSERT_EQ(bars.size(), 1u) << i;
            const StaffRow row = view->row(n.rowIndex);
            const double middle = sc(row.top) + sc(2 * row.spacing);
            const double tip = zy(n) + (down ? kStemDownTipY : kStemUpTipY) * z();
            EXPECT_NEAR(down ? bars[0].top : bars[0].bottom, tip, 1.0) << i;
            EXPECT_NEAR(down ? bars[0].bottom : bars[0].top, middle, 1.0) << i;
        }
        // AND the flagged ones are drawn as quarters, their flags hanging from the new end:
        // moved by as much as the stem grew past where the note's own glyph ends it
        const NoteLayout& eighth = at(0, 3);
        EXPECT_TRUE(glyphsAt(kGlyphEighthDown, eighth).empty());
        EXPECT_EQ(glyphsAt(kGlyphQuarterDown, eighth).size(), 1u);
        const double middle3 =
            sc(view->row(eighth.rowIndex).top) + sc(2 * view->row(eighth.rowIndex).spacing);
        const std::vector<int> flag = glyphsAt(kGlyphFlagsDown1, eighth);
        ASSERT_EQ(flag.size(), 1u);
        EXPECT_NEAR(flag[0] - zy(eighth), middle3 - (zy(eighth) + kStemDownTipY * z()), 1.0);
        const NoteLayout& thirtySecond = at(0, 7);
        EXPECT_TRUE(glyphsAt(kGlyphThirtySecondUp, thirtySecond).empty());
        const std::vector<int> flags = glyphsAt(kGlyphFlagsUp3, thirtySecond);
        ASSERT_EQ(flags.size(), 1u);
        const StaffRow row7 = view->row(thirtySecond.rowIndex);
        const double ownTip = zy(thirtySecond) + (kStemUpTipY - kExtraFlagStem) * z();
        EXPECT_NEAR(flags[0] - zy(thirtySecond), sc(row7.top) + sc(2 * row7.spacing) - ownTip, 1.0);
        // AND a note whose stem already passes the middle line, a note on it and the chord keep
        // their stems as their glyphs draw them
        for (const int i : {2, 4, 5})
            EXPECT_TRUE(barsAt(at(0, i)).empty()) << i;
    }
}

TEST_F(DrawingTest, TieLeavingTheRowRunsToTheRightOfItsNote)
{
    makeSheet(1);
    addNote(track(0), kTypeQuarter, 1, kFlagTie);
    addNote(track(0), kTypeStaffBreak, 0);
    addNote(track(0), kTypeQuarter, 1, kFlagTie);
    draw();
    const auto ties = polygons(true);
    ASSERT_EQ(ties.size(), 1u);
    const Box b = boxOf(ties[0]);
    const NoteLayout& a = at(0, 0);
    EXPECT_GT(b.left, headCentreX(a));
    EXPECT_NEAR(b.right - b.left, 55, 1);
    EXPECT_GT(b.top, zy(a) + kHeadUpY) << "below a stem-up note";
}

TEST_F(DrawingTest, TieBetweenDifferentPitchesDrawsNothingButRestsAlwaysTie)
{
    makeSheet(1);
    addNote(track(0), kTypeQuarter, 1, kFlagTie);
    addNote(track(0), kTypeQuarter, 2, kFlagTie);
    addNote(track(0), kTypeQuarter, 0, kFlagTie | kFlagRest);
    addNote(track(0), kTypeQuarter, 0, kFlagTie | kFlagRest);
    draw();
    // The layout ties the rests alone, and the drawing draws that one tie.
    const std::vector<TieLayout>& ties = view->layout().track(0)->ties;
    ASSERT_EQ(ties.size(), 1u);
    EXPECT_EQ(ties[0].from, 2);
    EXPECT_EQ(ties[0].to, 3);
    EXPECT_EQ(polygons(true).size(), 1u);
}

} // namespace
} // namespace tonvela
