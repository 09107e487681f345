#include "editor/editing/pointer_editing.h"

#include "editor/editing/sheet_editor.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "platform/sheet_lock.h"
#include "score/sounding_pitch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tonvela {
namespace {

// The octave, middle C being C 4, of the natural LETTER that KEY raises or lowers by its
// accidentals: B sharp sounding key 72 is B 4 and C flat sounding key 59 is C 4.
int octaveOfNatural(char letter, int key)
{
    static constexpr std::string_view kLetters = "CDEFGAB";
    static constexpr int kClasses[] = {0, 2, 4, 5, 7, 9, 11};
    const auto at = kLetters.find(letter);
    if (at == std::string_view::npos)
        return key / 12 - 1;
    const int pitchClass = kClasses[at];
    // The key of that letter nearest to KEY (accidentals move a natural by two semitones at most).
    int natural = key - ((key - pitchClass) % 12 + 12) % 12;
    if (key - natural > 6)
        natural += 12;
    return (natural - (natural < 0 ? 11 : 0)) / 12 - 1;
}

// The note whose head (with a margin of two units) the point (sheet units) lies on, among the
// notes [begin, end) of track t on row r and their chord members; a member's root stands for
// it, as a click in the note's column finds the root. -1 when no head is there.
int noteHeadAt(const SheetViewState& view, int r, int t, std::pair<int, int> notes, int px, int py)
{
    const Track* track = view.sheet().trackAt(t);
    if (!track)
        return -1;
    auto hit = [&](int i) {
        const Note& n = track->noteAt(i);
        const NoteLayout& at = view.noteLayout(t, i);
        if (at.rowIndex != r || !isDurationType(n.type) || n.isRest())
            return false;
        const bool whole = n.type == kTypeWhole;
        const bool down = at.stemDown == 1;
        const double cx = at.x + (whole ? kWholeHeadX : down ? kHeadDownX : kHeadUpX);
        const double cy = at.y + (whole ? kWholeHeadY : down ? kHeadDownY : kHeadUpY);
        const double halfWidth = whole ? kWholeHeadHalfWidth : kHeadHalfWidth;
        return std::abs(px - cx) <= halfWidth + 2 && std::abs(py - cy) <= kStaffSpacing / 2.0 + 2;
    };
    for (int i = notes.first; i < notes.second; ++i) {
        const Note& n = track->noteAt(i);
        if (hit(i))
            return i;
        for (int k = 0; k < n.childCount && k < kMaxChordMembers; ++k)
            if (const int m = n.children[k]; m >= 0 && m < track->count && hit(m))
                return i;
    }
    return -1;
}

bool onNoteHead(const SheetViewState& view, int r, int t, std::pair<int, int> notes, int px, int py)
{
    return noteHeadAt(view, r, t, notes, px, py) >= 0;
}

// The point by which a note is hit: near the head of a note glyph, further right on the
// wider audio clip symbol.
int anchorX(const Note& n, const NoteLayout& p)
{
    return p.x + (n.type == kTypeAudioClip ? 15 : 5);
}

int anchorY(const NoteLayout& p)
{
    return p.y + 20;
}

bool anchorInside(const Note& n, const NoteLayout& p, int left, int top, int right, int bottom)
{
    const int x = anchorX(n, p);
    const int y = anchorY(p);
    return left < x && x < right && top < y && y < bottom;
}

// Staff breaks and the 1737 marks are never drawn, so the pointer never finds them.
bool invisible(const Note& n)
{
    return n.type == kTypeStaffBreak || n.type == kTypeMark1737;
}

} // namespace

PointerEditing::PointerEditing(SheetEditor& editor) : m_editor(editor) {}

bool PointerEditing::editingOff() const
{
    return sharedToolGroups().edit.currentId == kTypeMark1740;
}

PointerEditing::Shown PointerEditing::shown() const
{
    const SheetViewState& view = m_editor.view();
    Shown s;
    s.preview = view.previewVisible;
    if (s.preview) {
        s.x = view.previewLayout.x;
        s.y = view.previewLayout.y;
        s.type = view.previewNote.type;
        s.flags = view.previewNote.dwFlag;
    }
    s.hoveredTrack = view.hoveredTrack;
    s.hoveredNoteTrack = view.hoveredNoteTrack;
    s.hoveredNote = view.hoveredNoteIndex;
    s.guideRow = m_guideRow;
    if (m_guideRow >= 0 && view.guide.row == m_guideRow) {
        s.guideAbove = view.guide.aboveX;
        s.guideBelow = view.guide.belowX;
    }
    s.barTrack = m_barTrack;
    s.barMeasure = m_barTrack >= 0 ? hoveredClosingMeasure(view, m_barTrack) : 0;
    s.barPending = view.barClickPending;
    s.drag = view.dragRectVisible;
    if (s.drag) {
        s.dragLeft = view.dragLeft;
        s.dragTop = view.dragTop;
        s.dragRight = view.dragRight;
        s.dragBottom = view.dragBottom;
    }
    return s;
}

void PointerEditing::reportChanges(const Shown& before, const std::string& statusBefore)
{
    const Shown now = shown();
    if (!(now == before))
        m_editor.host().pointerViewChanged();
    if (now.hoveredNoteTrack != before.hoveredNoteTrack || now.hoveredNote != before.hoveredNote)
        m_editor.host().hoverChanged();
    if (m_status != statusBefore)
        m_editor.host().statusTextChanged(m_status);
}

std::pair<int, int> PointerEditing::rowNotes(int r) const
{
    const SheetViewState& view = m_editor.view();
    const int tracks = view.sheet().trackCount();
    if (tracks <= 0 || r < 0 || r >= view.rowCount())
        return {0, 0};
    const Track& track = *view.sheet().trackAt(r % tracks);
    const int laid = std::min(view.laidOutCount(r % tracks), track.count);
    const int end = std::clamp(view.row(r).endNote, 0, laid);
    // The notes between the previous row's end and this row's first note (staff breaks,
    // members) belong to this row too.
    const int begin = r >= tracks ? std::clamp(view.row(r - tracks).endNote, 0, end) : 0;
    return {begin, end};
}

int PointerEditing::effectiveRow(int t, int i) const
{
    const SheetViewState& view = m_editor.view();
    const Track& track = *view.sheet().trackAt(t);
    const int laid = std::min(view.laidOutCount(t), track.count);
    if (i < 0 || i >= laid)
        return -1;
    // A chord member is drawn on its root's row wherever it stands in the array.
    const int root = track.rootOf(i, laid);
    return view.noteLayout(t, root >= 0 ? root : i).rowIndex;
}

int PointerEditing::noteInColumn(int r, int x) const
{
    const SheetViewState& view = m_editor.view();
    const int tracks = view.sheet().trackCount();
    const StaffRow row = view.row(r);
    const Track& track = *view.sheet().trackAt(r % tracks);
    const int d = row.spacing;
    const auto [begin, end] = rowNotes(r);
    for (int i = begin; i < end; ++i) {
        const Note& n = track.noteAt(i);
        if (!invisible(n) && effectiveRow(r % tracks, i) == r &&
            anchorInside(n, view.noteLayout(r % tracks, i), x - 10, row.top - 3 * d, x + 15, row.top + 9 * d))
            return i;
    }
    return -1;
}

int PointerEditing::noteHeadOnRow(int r, int px, int py) const
{
    const SheetViewState& view = m_editor.view();
    const int tracks = view.sheet().trackCount();
    return tracks > 0 ? noteHeadAt(view, r, r % tracks, rowNotes(r), px, py) : -1;
}

int PointerEditing::rowWithHeadAt(int px, int py) const
{
    const SheetViewState& view = m_editor.view();
    const int tracks = view.sheet().trackCount();
    if (tracks <= 0)
        return -1;
    const int rows = std::min(view.rowsInUse(), view.rowCount());
    for (int r = std::max(view.firstVisibleRow, 0); r < rows && view.rowTopInWindow(r) <= view.layoutHeight;
         ++r)
        if (noteHeadOnRow(r, px, py) >= 0)
            return r;
    return -1;
}

int PointerEditing::sheetY(int windowY) const
{
    return windowY + m_editor.view().scrollTop();
}

int PointerEditing::rowUnder(int x, int windowY)
{
    SheetViewState& view = m_editor.view();
    const int y = sheetY(windowY);
    // A note head is its row's wherever it stands: one far above or below its staff lies in a
    // neighbouring row's band.
    if (const int r = rowWithHeadAt(x, y); r >= 0)
        return r;
    int found = -1;
    const int rows = std::min(view.rowsInUse(), view.rowCount());
    for (int r = std::max(view.firstVisibleRow, 0); r < rows && view.rowTopInWindow(r) <= view.layoutHeight;
         ++r)
        if (hitRow(view, view.row(r), x, y))
            found = r;
    return found;
}

void PointerEditing::deselectAll()
{
    SheetDocument& sheet = m_editor.sheet();
    for (int t = 0; t < sheet.trackCount(); ++t)
        sheet.trackAt(t)->deselectAll();
}

void PointerEditing::clearPointerMarks()
{
    SheetViewState& view = m_editor.view();
    view.previewVisible = false;
    view.hoveredNoteTrack = view.hoveredNoteIndex = -1;
    for (int t = 0; t < view.sheet().trackCount(); ++t)
        m_editor.editState().track(t).hoverNote = -1;
    view.guide = {};
    m_guideRow = -1;
    if (m_barTrack >= 0)
        clearBarHover(view, m_barTrack);
    m_barTrack = -1;
    m_chordZoneTrack = -1;
}

void PointerEditing::track(int px, int windowY)
{
    SheetViewState& view = m_editor.view();
    SheetDocument& sheet = view.sheet();
    const int tracks = sheet.trackCount();
    const int py = sheetY(windowY);
    clearPointerMarks();
    for (int t = 0; t < tracks; ++t)
        m_editor.editState().track(t).insertionPoint = -1;
    if (editingOff())
        return;
    view.hoveredTrack = -1;
    int bandRow = -1;
    const int rows = std::min(view.rowsInUse(), view.rowCount());
    // Over a note head only the head's row is tracked, whichever staff's band the point is in.
    const int headRow = rowWithHeadAt(px, py);
    for (int r = std::max(view.firstVisibleRow, 0); r < rows; ++r) {
        const StaffRow row = view.row(r);
        if (view.rowTopInWindow(r) >= view.layoutHeight)
            break;
        if (px >= row.clefLeft && px < row.clefRight && py >= row.clefTop && py < row.clefBottom) {
            view.hoveredTrack = r % tracks;
            bandRow = -1;
            break;
        }
        if (headRow >= 0 ? r != headRow : (py < row.top - 35 || py > row.top + 75))
            continue;
        trackRow(row, px, py);
        bandRow = r;
    }
    if (bandRow >= 0) {
        trackHover(view, view.row(bandRow), px, py);
        m_guideRow = bandRow;
        // While a bar line is hovered a click marks its measure, so no note is previewed. A
        // note head at the end of a measure stays the note's: only the line beside it is the bar's.
        if (hoverBarLine(view, bandRow % tracks, px, py)) {
            if (onNoteHead(view, bandRow, bandRow % tracks, rowNotes(bandRow), px, py)) {
                clearBarHover(view, bandRow % tracks);
            } else {
                m_barTrack = bandRow % tracks;
                view.previewVisible = false;
            }
        }
    }
}

void PointerEditing::trackRow(const StaffRow& row, int px, int py)
{
    SheetViewState& view = m_editor.view();
    const int t = row.index % view.sheet().trackCount();
    Track& track = *view.sheet().trackAt(t);
    TrackEditState& state = m_editor.editState().track(t);
    const int laid = std::min(view.laidOutCount(t), track.count);
    Note preview;
    NoteLayout place;
    preview.type = sharedToolGroups().notes.currentId;
    bool produced = false;
    const int cur = state.currentNote;
    const Note& current = track.noteAt(cur);
    const NoteLayout& currentPlace = view.noteLayout(t, cur);
    // Voice 2 entry adds no chord members: the preview follows the pointer's time.
    const bool voice2 = voice2Entry();
    if (!voice2 && cur >= 0 && cur < laid && effectiveRow(t, cur) == row.index && px > currentPlace.x - 5 &&
        px < currentPlace.x + 25) {
        // Beside the current note a click adds a member to its chord.
        const int root = track.rootOf(cur, laid);
        preview.type = current.type;
        place.x = currentPlace.x;
        place.stemDown = currentPlace.stemDown;
        preview.chordparent = static_cast<int16_t>(root >= 0 ? root : cur);
        m_chordZoneTrack = t;
        produced = true;
    } else {
        // Rows past the track's last one show no notes of it; nothing goes in there.
        const int lastRow = laid > 0 ? view.noteLayout(t, laid - 1).rowIndex : t;
        if (row.index > lastRow)
            return;
        const auto [begin, end] = rowNotes(row.index);
        bool hovered = false;
        for (int i = begin; i < end; ++i) {
            const Note& n = track.noteAt(i);
            const NoteLayout& p = view.noteLayout(t, i);
            if (track.rootOf(i, laid) != -1 || n.type == kTypeStaffBreak || p.rowIndex != row.index)
                continue;
            if (p.prevRootX + 12 < px && px < p.x) {
                state.insertionPoint = i;
                state.hoverNote = -1;
                if (view.hoveredNoteTrack == t)
                    view.hoveredNoteTrack = view.hoveredNoteIndex = -1;
                place.x = p.x - 13;
                produced = true;
            }
            if (!hovered && !invisible(n) && anchorInside(n, p, px - 10, py - 50, px + 16, py + 50)) {
                hovered = true;
                state.hoverNote = i;
                view.hoveredNoteTrack = t;
                view.hoveredNoteIndex = i;
            }
        }
        if (px > row.lastX + 20) {
            state.insertionPoint = row.index == lastRow ? track.count : end;
            place.x = row.lastX + 35;
            produced = true;
        }
        if (voice2 && px >= kStaffLeft) {
            place.x = px - 5;
            produced = true;
        }
    }
    if (produced && placePreview(row, track, preview, place, py)) {
        if (voice2 && !preview.isRest()) {
            // Voice 2 stands stem down, as the measure will draw it.
            preview.voice = kVoice2;
            place.stemDown = 1;
            place.y = noteY(row, preview, place);
            placeMarks(preview, place);
        }
        view.previewNote = preview;
        view.previewLayout = place;
        view.previewVisible = true;
        // The name of the staff position as the track's clef shows it (the bass staff's middle
        // line reads D) and the octave of the pitch a click there enters, numbered as musicians
        // number them (middle C is C 4): "Note: D 3" on the bass staff's middle line. A
        // percussion note carries its drum's key, so there the octave is the staff position's.
        Note named;
        named.setStaffPosition(preview.line + staffOf(track).readingShift, StaffKind::GClef);
        const bool drums = staffOf(track).kind == StaffKind::Percussion;
        const int heard = drums ? named.midi : soundingPitch(preview, track);
        const SheetTools& tools = m_editor.tools();
        char text[32];
        std::snprintf(text, sizeof text, "Note: %c%s %d", named.letter,
                      tools.sharp  ? " #"
                      : tools.flat ? " b"
                                   : "",
                      octaveOfNatural(named.letter, heard));
        m_status = text;
    }
}

bool PointerEditing::placePreview(const StaffRow& row, const Track& track, Note& preview, NoteLayout& place,
                                  int py)
{
    if (!placeClick(row, &track, preview, place, py, m_editor.tools().placement()))
        return false;
    place.width = kindWidthOf(preview.type);
    placeMarks(preview, place);
    return true;
}

void PointerEditing::drag()
{
    SheetViewState& view = m_editor.view();
    view.dragLeft = std::min(m_state.pressX, m_state.x);
    view.dragRight = std::max(m_state.pressX, m_state.x);
    view.dragTop = std::min(m_state.pressY, m_state.y);
    view.dragBottom = std::max(m_state.pressY, m_state.y);
    // A drag that starts on a note selects nothing.
    view.dragRectVisible = m_state.pressedNote < 0;
    if (!view.dragRectVisible)
        return;
    bool changed = false;
    SheetDocument& sheet = view.sheet();
    const int scrolled = view.scrollTop();
    for (int t = 0; t < sheet.trackCount(); ++t) {
        Track& track = *sheet.trackAt(t);
        for (int i = 0; i < track.count; ++i) {
            Note& n = track.noteAt(i);
            const int row = effectiveRow(t, i);
            const NoteLayout& p = view.noteLayout(t, i);
            const int x = anchorX(n, p);
            const int y = anchorY(p) - scrolled;
            const bool inside = row >= 0 && row >= view.firstVisibleRow && x >= view.dragLeft &&
                                x < view.dragRight && y >= view.dragTop && y < view.dragBottom;
            const uint8_t selected = inside ? 1 : (m_state.shift ? n.selected : 0);
            changed = changed || selected != n.selected;
            n.selected = selected;
        }
    }
    m_selectionMoved = m_selectionMoved || changed;
}

void PointerEditing::pressed(const PointerInput& input)
{
    if (input.button != PointerButton::Left)
        return;
    m_state.buttonDown = true;
    m_state.dragging = false;
    // Ctrl with a click selects and never adds: no chord member either.
    m_state.chordEntry = !input.ctrl;
    m_state.pressX = m_state.x = input.x;
    m_state.pressY = m_state.y = input.y;
    m_state.shift = input.shift;
    m_state.ctrl = input.ctrl;
    m_state.pressedTrack = m_state.pressedNote = -1;
    const Shown before = shown();
    const std::string statusBefore = m_status;
    {
        const SheetLockGuard lock(sheetLock());
        // The press acts on what the pointer shows where it went down.
        track(input.x, input.y);
        SheetViewState& view = m_editor.view();
        const int r = rowUnder(input.x, input.y);
        if (r >= 0) {
            m_state.pressedTrack = r % view.sheet().trackCount();
            m_state.pressedNote = noteInColumn(r, input.x);
        }
        view.barClickPending = m_barTrack >= 0;
    }
    reportChanges(before, statusBefore);
}

bool PointerEditing::moved(const PointerInput& input)
{
    m_state.x = input.x;
    m_state.y = input.y;
    m_state.shift = input.shift;
    m_state.ctrl = input.ctrl;
    const Shown before = shown();
    const std::string statusBefore = m_status;
    m_selectionMoved = false;
    {
        const SheetLockGuard lock(sheetLock());
        if (m_state.buttonDown && !m_state.dragging &&
            std::abs(input.x - m_state.pressX) + std::abs(input.y - m_state.pressY) > kDragThreshold) {
            // A drag drops the pending click, and with it the chord entry and the bar click.
            m_state.dragging = true;
            m_state.chordEntry = false;
            m_editor.view().barClickPending = false;
        }
        if (m_state.dragging)
            drag();
    }
    bool tracked = true;
    if (m_state.lastTrackedMs && input.timeMs - *m_state.lastTrackedMs < kPointerTrackMs) {
        // Too soon: the move waits for the end of the interval, so where the pointer stops is
        // always tracked.
        m_pending = input;
        tracked = false;
    } else {
        m_pending.reset();
        m_state.lastTrackedMs = input.timeMs;
        const SheetLockGuard lock(sheetLock());
        track(input.x, input.y);
    }
    reportChanges(before, statusBefore);
    if (m_selectionMoved)
        m_editor.host().selectionChanged();
    return tracked;
}

std::optional<int64_t> PointerEditing::pendingMoveDueMs() const
{
    if (!m_pending)
        return std::nullopt;
    return m_state.lastTrackedMs ? *m_state.lastTrackedMs + kPointerTrackMs : m_pending->timeMs;
}

bool PointerEditing::trackPendingMove(int64_t nowMs)
{
    if (!m_pending)
        return false;
    const PointerInput input = *m_pending;
    m_pending.reset();
    const Shown before = shown();
    const std::string statusBefore = m_status;
    m_state.lastTrackedMs = nowMs;
    {
        const SheetLockGuard lock(sheetLock());
        track(input.x, input.y);
    }
    reportChanges(before, statusBefore);
    return true;
}

bool PointerEditing::released(const PointerInput& input)
{
    if (input.button != PointerButton::Left)
        return false;
    const bool click = m_state.buttonDown && !m_state.dragging;
    m_state.buttonDown = false;
    m_state.dragging = false;
    m_state.x = input.x;
    m_state.y = input.y;
    m_state.shift = input.shift;
    m_state.ctrl = input.ctrl;
    m_pending.reset();
    if (click)
        this->click(input);
    {
        const SheetLockGuard lock(sheetLock());
        SheetViewState& view = m_editor.view();
        view.dragRectVisible = false;
        view.barClickPending = false;
    }
    m_state.pressedTrack = m_state.pressedNote = -1;
    m_state.chordEntry = false;
    // The button is up: the drag rectangle and the red bar line go.
    m_editor.host().pointerViewChanged();
    return click;
}

void PointerEditing::left()
{
    const Shown before = shown();
    {
        const SheetLockGuard lock(sheetLock());
        clearPointerMarks();
        m_editor.view().hoveredTrack = -1;
    }
    m_pending.reset();
    reportChanges(before, m_status);
}

} // namespace tonvela
