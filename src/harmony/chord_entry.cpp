#include "harmony/chord_entry.h"

#include "harmony/chord_document.h"
#include "platform/notifier.h"
#include "platform/sheet_lock.h"
#include "score/note.h"
#include "score/note_pitch.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "score/track.h"
#include "theory/chord_formula.h"
#include "theory/pitch.h"

#include <algorithm>
#include <vector>

namespace tonvela {

namespace {

void notify(const ChordEntryContext& ctx, const char* text)
{
    if (ctx.notifier)
        ctx.notifier->error(text, "Error");
}

// The track the commands act on: the current one, made track 0 when none is current.
Track* currentTrack(SheetDocument& sheet, ChordEntryContext& ctx)
{
    if (ctx.currentTrack < 0 || ctx.currentTrack >= sheet.trackCount())
        ctx.currentTrack = 0;
    Track* t = sheet.trackAt(ctx.currentTrack);
    if (!t)
        notify(ctx, kNoTrackMessage);
    return t;
}

bool hasRoom(const Track& t, std::size_t notes, const ChordEntryContext& ctx)
{
    if (static_cast<std::size_t>(t.count) + notes > static_cast<std::size_t>(Track::kMaxNotes)) {
        notify(ctx, kTrackFullMessage);
        return false;
    }
    return true;
}

void clearSelection(SheetDocument& sheet)
{
    SheetLockGuard lock(sheetLock());
    for (int i = 0; i < sheet.trackCount(); ++i)
        sheet.trackAt(i)->deselectAll();
}

int trackIndexOf(const SheetDocument& sheet, const Track& t)
{
    for (int i = 0; i < sheet.trackCount(); ++i)
        if (sheet.trackAt(i) == &t)
            return i;
    return 0;
}

void finishNotes(std::vector<Note>& notes, const Track& t, const ChordEntryContext& ctx)
{
    // Notes are built at their G clef staff positions in C major; on the track they must sound
    // the chosen pitches whatever its clef and key signature.
    for (Note& n : notes) {
        placeOnTrack(n, t);
        n.iid = t.iid;
        if (ctx.markButton)
            n.dwFlag |= kFlagChordEntry;
    }
}

// Runs the append of notes to `t` as one edit: through the context's commit when it has one,
// else holding the sheet lock from the snapshot to the last note, so the painter and playback
// threads see the sheet before the entry or after it, never in between.
void commitAppend(SheetDocument& sheet, Track& t, const ChordEntryContext& ctx,
                  const std::function<void()>& append)
{
    const int track = trackIndexOf(sheet, t);
    if (ctx.commit) {
        ctx.commit(track, append);
        return;
    }
    SheetLockGuard lock(sheetLock());
    sheet.snapshot(SnapshotKind::Insert, track);
    append();
}

// Appends the notes as one chord: the first is the root, every further note names it as its
// chord parent and takes its duration type.
void appendChord(SheetDocument& sheet, Track& t, std::vector<Note> notes, const ChordEntryContext& ctx)
{
    commitAppend(sheet, t, ctx, [&t, &notes] {
        const int root = t.count;
        for (std::size_t i = 0; i < notes.size(); ++i) {
            Note& n = notes[i];
            n.chordparent = static_cast<int16_t>(i == 0 ? -1 : root);
            if (i > 0)
                n.type = notes[0].type;
            t.insertNote(n, t.count);
        }
        t.rebuildChordLists();
        t.freshTrack = t.count > 0 ? 0 : 1;
    });
}

void appendSeparately(SheetDocument& sheet, Track& t, const std::vector<Note>& notes,
                      const ChordEntryContext& ctx)
{
    commitAppend(sheet, t, ctx, [&t, &notes] {
        for (Note n : notes) {
            n.chordparent = -1;
            t.insertNote(n, t.count);
        }
        t.freshTrack = t.count > 0 ? 0 : 1;
    });
}

// Lays the sheet out after a command, unless the notes went in through the context's commit,
// which laid it out already.
void relayout(SheetDocument& sheet, const ChordEntryContext& ctx, int added)
{
    if (added > 0 && ctx.commit)
        return;
    if (ctx.relayout)
        ctx.relayout();
    else
        sheet.notesChanged();
}

Note noteOfPitch(char pitch, int octave, int toolbarType)
{
    Note n;
    noteFromPitch(n, pitch, octave, toolbarType);
    return n;
}

// Notes of one guitar shape. A triple that is muted, malformed or lands outside the frets of
// a guitar makes no note.
std::vector<Note> shapeNotes(std::string_view fingering, int startFret, const ChordEntryContext& ctx)
{
    // Open strings from the highest: letter and staff position.
    static constexpr struct {
        char letter;
        int line;
    } kOpen[] = {{'E', -2}, {'B', 1}, {'G', 3}, {'D', 6}, {'A', 9}, {'E', 12}};
    // Chromatic walk from A; a digit stands for the sharp of the letter before it.
    static constexpr std::string_view kWalk = "A1BC3D4EF5G6";
    constexpr int kHighestFret = 24;

    const int type =
        (ctx.toolbarType >= kTypeWhole && ctx.toolbarType <= kTypeSixteenth) ? ctx.toolbarType : kTypeQuarter;
    std::vector<Note> notes;
    for (std::size_t i = 0;
         i + 2 < fingering.size() && notes.size() < static_cast<std::size_t>(kMaxShapeNotes); i += 3) {
        const char s = fingering[i];
        const char row = fingering[i + 1];
        const char finger = fingering[i + 2];
        if (finger == 'X' || s < '1' || s > '6' || row < '1' || row > '6')
            continue;
        const long long fret = static_cast<long long>(startFret) + (row - '0') - 2;
        if (fret < 0 || fret > kHighestFret)
            continue;
        const auto& open = kOpen[s - '1'];
        std::size_t at = kWalk.find(open.letter);
        int line = open.line;
        int flags = 0;
        for (long long k = 0; k < fret; ++k) {
            at = (at + 1) % kWalk.size();
            if (isNaturalPitch(kWalk[at])) {
                flags &= ~(kFlagFlat | kFlagSharp | kFlagNatural);
                --line;
            } else {
                flags |= kFlagSharp;
            }
        }
        Note n;
        n.type = type;
        n.dwFlag = flags;
        if (ctx.tie)
            n.dwFlag |= kFlagTie;
        if (ctx.dot)
            n.dwFlag |= kFlagDot;
        n.setStaffPosition(line);
        notes.push_back(std::move(n));
    }
    return notes;
}

int shapeToSheet(SheetDocument& sheet, std::string_view fingering, int startFret, ChordEntryContext& ctx)
{
    clearSelection(sheet);
    Track* t = currentTrack(sheet, ctx);
    if (!t)
        return 0;
    std::vector<Note> notes = shapeNotes(fingering, startFret, ctx);
    if (notes.empty() || !hasRoom(*t, notes.size(), ctx))
        return 0;
    finishNotes(notes, *t, ctx);
    const int type = notes[0].type;
    const int added = static_cast<int>(notes.size());
    appendChord(sheet, *t, std::move(notes), ctx);
    if (ctx.currentRow)
        ctx.currentRow->x += cursorAdvance(type, kTypeThirtySecond);
    return added;
}

} // namespace

int cursorAdvance(int type, int shortest)
{
    if (type == kTypeWhole || type == kTypeHalf)
        return 40;
    if (type == kTypeQuarter)
        return 35;
    if (type >= kTypeEighth && type <= shortest)
        return 22;
    return 0;
}

int addChordToSheet(SheetDocument* sheet, const ChordSelection& selection, bool arpeggio,
                    ChordEntryContext& ctx)
{
    if (!selection.complete())
        return 0;
    if (!sheet) {
        notify(ctx, kNoDocumentForChordMessage);
        return 0;
    }
    Track* t = currentTrack(*sheet, ctx);
    if (!t)
        return 0;
    const std::string pitches = chordPitches(selection.rootIndex(), selection.qualityIndex());
    if (pitches.empty())
        return 0;
    std::vector<Note> notes;
    for (char p : pitches)
        if (notes.size() < static_cast<std::size_t>(kChordNoteCount))
            notes.push_back(noteOfPitch(p, 3, ctx.toolbarType));
    for (std::size_t i = 0; i < pitches.size() && notes.size() < static_cast<std::size_t>(kChordNoteCount);
         ++i)
        notes.push_back(noteOfPitch(pitches[i], 2, ctx.toolbarType));
    if (!hasRoom(*t, notes.size(), ctx))
        return 0;
    notes[0].setLyric(selection.lyricText());
    finishNotes(notes, *t, ctx);
    const int added = static_cast<int>(notes.size());
    if (arpeggio) {
        // The lyric names the whole chord, so it stays on the first note that is played.
        const std::string lyric = *notes[0].lyrictext();
        notes[0].clearLyric();
        std::stable_sort(notes.begin(), notes.end(),
                         [](const Note& a, const Note& b) { return a.effectiveKey() < b.effectiveKey(); });
        notes[0].setLyric(lyric);
        appendSeparately(*sheet, *t, notes, ctx);
    } else {
        appendChord(*sheet, *t, std::move(notes), ctx);
    }
    relayout(*sheet, ctx, added);
    return added;
}

int addGuitarChordToSheet(SheetDocument* sheet, std::string_view fingering, int startFret,
                          ChordEntryContext& ctx)
{
    if (!sheet) {
        notify(ctx, kNoDocumentForChordMessage);
        return 0;
    }
    const int added = shapeToSheet(*sheet, fingering, startFret, ctx);
    relayout(*sheet, ctx, added);
    return added;
}

namespace {

bool scaleReady(SheetDocument* sheet, const ScaleSelection& scale, const ChordEntryContext& ctx)
{
    if (!sheet) {
        notify(ctx, kNoDocumentForScaleMessage);
        return false;
    }
    if (!scale.pattern || pitchClassIndex(scale.root) < 0) {
        notify(ctx, kNoScaleChosenMessage);
        return false;
    }
    return true;
}

std::vector<Note> scaleNotes(const ScaleSelection& scale, int startOctave, int toolbarType)
{
    const BuiltScale built = buildScaleFromPattern(scale.root, scale.pattern, startOctave);
    std::vector<Note> notes;
    for (std::size_t i = 0; i < built.pitches.size(); ++i)
        notes.push_back(noteOfPitch(built.pitches[i], built.octaves[i], toolbarType));
    return notes;
}

} // namespace

int addScaleAsChord(SheetDocument* sheet, const ScaleSelection& scale, ChordEntryContext& ctx)
{
    if (!scaleReady(sheet, scale, ctx))
        return 0;
    clearSelection(*sheet);
    Track* t = nullptr;
    if (ctx.lastRow)
        t = sheet->trackAt(ctx.lastRow->track);
    if (!t)
        t = currentTrack(*sheet, ctx);
    if (!t)
        return 0;
    std::vector<Note> notes = scaleNotes(scale, 3, ctx.toolbarType);
    if (!hasRoom(*t, notes.size(), ctx))
        return 0;
    finishNotes(notes, *t, ctx);
    if (StaffRowCursor* row = ctx.lastRow; row && row->x >= row->right - 50) {
        row->top += 130;
        row->x = row->left;
    }
    const int type = notes[0].type;
    const int added = static_cast<int>(notes.size());
    appendChord(*sheet, *t, std::move(notes), ctx);
    if (ctx.lastRow)
        ctx.lastRow->x += cursorAdvance(type, kTypeSixteenth);
    relayout(*sheet, ctx, added);
    return added;
}

int addScaleAsMelody(SheetDocument* sheet, const ScaleSelection& scale, ChordEntryContext& ctx)
{
    if (!scaleReady(sheet, scale, ctx))
        return 0;
    clearSelection(*sheet);
    Track* t = currentTrack(*sheet, ctx);
    if (!t)
        return 0;
    const int k = std::clamp(ctx.rootOctaveEntry, 0, 2);
    std::vector<Note> notes = scaleNotes(scale, 3 - k, ctx.toolbarType);
    if (!hasRoom(*t, notes.size(), ctx))
        return 0;
    finishNotes(notes, *t, ctx);
    const int added = static_cast<int>(notes.size());
    appendSeparately(*sheet, *t, notes, ctx);
    relayout(*sheet, ctx, added);
    return added;
}

int addDiagramsToSheet(const ChordDocument& doc, bool selectedOnly, SheetDocument* sheet,
                       ChordEntryContext& ctx)
{
    if (!sheet) {
        notify(ctx, kNoDocumentForChordMessage);
        return 0;
    }
    int added = 0;
    for (const ChordDiagram& d : doc.diagrams())
        if (!selectedOnly || d.selected)
            added += shapeToSheet(*sheet, d.fingering, d.startFret, ctx);
    relayout(*sheet, ctx, added);
    return added;
}

} // namespace tonvela
