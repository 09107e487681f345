// Sheets far longer than a window, as long MIDI imports make them: every note gets a row and
// an x, the window draws the rows wherever it is scrolled to, and printing pages through every
// row with every note on it.

#include "drawing/recording_canvas.h"
#include "editor/engraving_marks.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/print_paging.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "score/measure_division.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <string>
#include <utility>

namespace tonvela {
namespace {

using testing::addNote;
using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

bool isNoteGlyph(int id)
{
    return id >= kGlyphWholeNote && id <= kGlyphAudioClip;
}

// Counts what the pages of a print run show: note glyphs and staff labels (the track number
// at the start of every row, the only plain text drawn at full label height).
class CountingPrinter : public Printer {
  public:
    class Surface : public PrintSurface {
      public:
        Surface(int w, int h) : m_canvas(w, h) {}
        Canvas& canvas() override { return m_canvas; }
        std::unique_ptr<Picture> takePicture() override
        {
            m_canvas.clear(); // the scratch drawing before the first page
            return nullptr;
        }

      private:
        RecordingCanvas m_canvas;
    };

    int dpiX() const override { return 600; }
    int dpiY() const override { return 600; }
    int pageWidth() const override { return 4800; }
    int pageHeight() const override { return 6400; }
    bool startDocument(const std::string&, std::string&) override { return true; }
    void startPage() override { ++pages; }
    Canvas& pageCanvas() override { return m_page; }
    void endPage() override
    {
        count(m_page);
        m_page.clear();
    }
    bool endDocument(std::string&) override { return true; }
    std::unique_ptr<PrintSurface> createScreenSurface(int w, int h) override
    {
        return std::make_unique<Surface>(w, h);
    }

    int labelHeight = 0; // a staff label's height on the page, device units

    void count(const RecordingCanvas& canvas)
    {
        for (const Call& c : canvas.calls()) {
            if (c.kind == Kind::Glyph && isNoteGlyph(c.v[0]))
                ++noteGlyphs;
            if (c.kind == Kind::Text && c.font.height == labelHeight && !c.font.bold)
                labels.push_back(c.text);
        }
    }

    int pages = 0;
    long long noteGlyphs = 0;
    std::vector<std::string> labels;

  private:
    RecordingCanvas m_page{4800, 6400};
};

class LongSheetTest : public ::testing::Test {
  protected:
    // Tracks of mixed lengths as an import leaves them: chords of a root and two members,
    // dotted notes, rests, accidentals, lyrics, a bar line now and then and a staff break
    // every few hundred notes.
    void makeSheet(int tracks, int notesPerTrack)
    {
        sheet = testing::sheetWithTracks(tracks);
        static constexpr int kTypes[] = {kTypeQuarter,   kTypeEighth,    kTypeEighth,  kTypeHalf,
                                         kTypeSixteenth, kTypeSixteenth, kTypeQuarter, kTypeWhole};
        for (int t = 0; t < tracks; ++t) {
            Track& track = *sheet->trackAt(t);
            int root = -1;
            for (int i = 0, k = 0; i < notesPerTrack; ++i) {
                if (i % 487 == 486) {
                    addNote(track, kTypeStaffBreak, 0);
                    continue;
                }
                if (i % 41 == 40) {
                    addNote(track, kTypeBar, 0);
                    continue;
                }
                const int type = kTypes[(k + t) % 8];
                const int line = (k * 5 + t) % 14 - 6;
                const bool member = k % 9 != 0 && k % 9 <= 2 && root >= 0 && i - root <= 2;
                int flags = 0;
                if (!member && k % 13 == 12)
                    flags |= kFlagRest;
                else if (k % 7 == 3)
                    flags |= kFlagDot;
                if (k % 11 == 5 && !(flags & kFlagRest))
                    flags |= kFlagSharp;
                const int index =
                    addNote(track, type, line, flags, k % 6 == 0 ? "la" : nullptr, member ? root : -1);
                if (k % 9 == 0)
                    root = (flags & kFlagRest) ? -1 : index;
                ++k;
            }
        }
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(1000, 800);
    }

    // Every note of every track has a row of its track, a measure of the score's division and
    // a place on its row; chord members stand at their root.
    void expectEveryNoteLaidOut(int notesPerTrack)
    {
        const int tracks = sheet->trackCount();
        for (int j = 0; j < tracks; ++j) {
            Track& t = *sheet->trackAt(j);
            ASSERT_EQ(view->laidOutCount(j), notesPerTrack) << "track " << j;
            int lastRow = -1;
            MeasureDivision division;
            division.divide(t);
            for (int i = 0; i < notesPerTrack; ++i) {
                const Note& n = t.noteAt(i);
                const NoteLayout& p = view->noteLayout(j, i);
                ASSERT_GE(p.rowIndex, lastRow) << "track " << j << " note " << i;
                ASSERT_LT(p.rowIndex, view->rowsInUse()) << "track " << j << " note " << i;
                ASSERT_EQ(p.rowIndex % tracks, j) << "track " << j << " note " << i;
                ASSERT_EQ(p.measureIndex + 1, division.measureOf(i)) << i;
                lastRow = p.rowIndex;
                if (n.type == kTypeStaffBreak)
                    continue;
                const int root = t.rootOf(i);
                if (root >= 0) {
                    ASSERT_EQ(p.x, view->noteLayout(j, root).x) << "track " << j << " member " << i;
                } else {
                    ASSERT_GT(p.x, kStaffLeft) << "track " << j << " note " << i;
                }
            }
        }
    }

    // Notes whose kind draws a glyph of its own.
    long long notesWithGlyphs() const
    {
        long long count = 0;
        for (int j = 0; j < sheet->trackCount(); ++j) {
            const Track& t = *sheet->trackAt(j);
            for (int i = 0; i < t.count; ++i)
                count += noteGlyph(t.noteAt(i), view->noteLayout(j, i)) != 0 ? 1 : 0;
        }
        return count;
    }

    // Prints the sheet and checks that every row is on a page once, with every note.
    void expectEveryRowPrinted()
    {
        const long long expected = notesWithGlyphs();
        // The page is narrower than the window: the rows of the page's width, spaced as paper spaces them.
        CountingPrinter printer;
        const PaperScale scale = paperScale(*sheet, printer);
        printer.labelHeight =
            static_cast<int>(std::lround(DrawTools::forZoom(1.0f).label.height * scale.devicePerUnit));
        SheetViewState paper(*sheet);
        paper.fixedZoom = 1.0f;
        paper.layoutWidth = scale.layoutWidth;
        LayoutOptions paperSpacing;
        paperSpacing.naturalSpacing = true;
        paper.setLayout(layOutSheet(*sheet, scale.layoutWidth, 1.0f, nullptr, paperSpacing));
        const int rows = paper.rowsInUse();
        ASSERT_GT(rows, kRowCount);
        // Rows after a track's last measure show no staff of it (found before printing, which
        // lays the notes out for the window again).
        const int tracks = sheet->trackCount();
        std::vector<std::string> shown;
        for (int r = 0; r < rows; ++r) {
            const TrackEnd end = trackEnd(paper, r % tracks);
            if (end.row < 0 || r <= end.row)
                shown.push_back(std::to_string(r % tracks + 1));
        }
        const PrintResult result = printSheet(*view, printer);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.pages, printer.pages);
        ASSERT_GT(static_cast<int>(shown.size()), kRowCount);
        ASSERT_EQ(printer.labels.size(), shown.size());
        for (std::size_t r = 0; r < shown.size(); ++r)
            ASSERT_EQ(printer.labels[r], shown[r]) << r;
        // Every note once, and the quarter note of the metronome mark over page 1.
        EXPECT_EQ(printer.noteGlyphs, expected + 1);
    }

    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
};

TEST_F(LongSheetTest, SixTracksOfTenThousandNotesAreLaidOutDrawnAndPrintedWhole)
{
    makeSheet(6, 10000);
    layoutRows(*view);
    ASSERT_GT(view->rowsInUse(), kRowCount) << "the sheet needs more rows than a view keeps ready";
    EXPECT_EQ(view->rowsInUse() % 6, 0);
    EXPECT_GE(view->rowCount(), view->rowsInUse());
    expectEveryNoteLaidOut(10000);

    // Scrolled to the system of a track's last note, the window draws that note at its place.
    for (int j = 0; j < 6; ++j) {
        const Track& t = *sheet->trackAt(j);
        int last = t.count - 1;
        while (noteGlyph(t.noteAt(last), view->noteLayout(j, last)) == 0)
            --last;
        const int row = view->noteLayout(j, last).rowIndex;
        setFirstVisibleRow(*view, row - row % 6);
        ASSERT_LE(view->rowTopInWindow(row) + 50, view->layoutHeight) << "track " << j + 1;
        RecordingCanvas canvas(1000, 800);
        drawSheet(*view, canvas, false);
        std::set<std::pair<int, int>> drawn;
        for (const Call& c : canvas.callsOf(Kind::Glyph))
            if (isNoteGlyph(c.v[0]))
                drawn.emplace(c.v[1], c.v[2]);
        const NoteLayout& n = view->noteLayout(j, last);
        EXPECT_TRUE(drawn.count({view->scaled(n.x), view->scaled(n.y - view->scrollTop())}))
            << "last note of track " << j + 1;
    }
    setFirstVisibleRow(*view, view->rowsInUse());
    EXPECT_EQ(view->firstVisibleRow, view->scrollRange);

    expectEveryRowPrinted();
}

TEST_F(LongSheetTest, ATrackOfThirtyTwoThousandNotesIsLaidOutAndPrintedWhole)
{
    makeSheet(1, Track::kMaxNotes);
    layoutRows(*view);
    ASSERT_GT(view->rowsInUse(), kRowCount);
    expectEveryNoteLaidOut(Track::kMaxNotes);
    EXPECT_GT(view->measuresInUse(0), kMeasureCount);
    expectEveryRowPrinted();
}

TEST_F(LongSheetTest, ScrollingKeepsTheLayoutAndShowsWhatAWholeLayoutGives)
{
    // A window scrolled anywhere shows the notes where a layout made afresh puts them: heights,
    // marks, stems and beams do not depend on the scroll position, and scrolling lays nothing
    // out again.
    makeSheet(3, 3000);
    layoutRows(*view);
    const std::shared_ptr<const SheetLayout> whole =
        layOutSheet(*sheet, view->layoutWidth, view->zoom(), nullptr);
    struct Shown {
        int track, index, y, x, stemDown, beamCount, accidentalY, dotY, flags;
        std::array<int, 4> beam;
        bool operator==(const Shown&) const = default;
    };
    auto shown = [&](const SheetLayout& layout) {
        std::vector<Shown> out;
        for (int j = 0; j < 3; ++j) {
            const Track& t = *sheet->trackAt(j);
            for (int i = 0; i < layout.laidOutCount(j); ++i) {
                const NoteLayout& n = layout.note(j, i);
                const int r = n.rowIndex;
                if (r < view->firstVisibleRow || view->rowTopInWindow(r) > view->layoutHeight)
                    continue;
                Shown s{j, i, n.y, n.x, n.stemDown, n.beamCount, n.accidentalY, n.dotY, t.noteAt(i).dwFlag,
                        {}};
                for (int k = 0; k < 4; ++k)
                    s.beam[static_cast<std::size_t>(k)] = n.beamLine[k];
                out.push_back(s);
            }
        }
        return out;
    };
    int beamed = 0;
    const std::shared_ptr<const SheetLayout> laidOut = view->sharedLayout();
    for (const int first : {0, 7, 300, 301, view->rowsInUse() - 2, 5}) {
        setFirstVisibleRow(*view, first);
        EXPECT_EQ(view->sharedLayout(), laidOut) << first;
        const std::vector<Shown> afterMove = shown(view->layout());
        ASSERT_FALSE(afterMove.empty()) << first;
        EXPECT_TRUE(afterMove == shown(*whole)) << "rows from " << first;
        for (const Shown& s : afterMove)
            beamed += s.beamCount > 0 ? 1 : 0;
    }
    EXPECT_GT(beamed, 0) << "the rows shown hold beams";
}

} // namespace
} // namespace tonvela
