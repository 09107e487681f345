#include "editor/editing/note_clipboard.h"

#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "score/track.h"

#include <algorithm>
#include <cstddef>

namespace tonvela {
namespace {

std::size_t at(int i)
{
    return static_cast<std::size_t>(i);
}

// The track's root of note i, or -1 for a root (a broken link counts as a root).
int rootIndex(const Track& track, int i)
{
    return track.rootOf(i);
}

void turnLoopOff(Note& note)
{
    note.loopCount = 0;
    note.loopTo = 0;
}

} // namespace

NoteClipboard& noteClipboard()
{
    static NoteClipboard clipboard;
    return clipboard;
}

bool hasSelection(const SheetDocument& sheet)
{
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track& track = *sheet.trackAt(t);
        for (int i = 0; i < track.count; ++i)
            if (track.noteAt(i).selected)
                return true;
    }
    return false;
}

void copySelection(const SheetDocument& sheet, NoteClipboard& clipboard)
{
    clipboard.notes.clear();
    clipboard.sourceTitle = sheet.caption;
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track& track = *sheet.trackAt(t);
        const int n = track.count;
        // Clipboard position of every copied note of this track, for the loop targets.
        std::vector<int> position(at(n), -1);
        const std::size_t first = clipboard.notes.size();
        for (int i = 0; i < n; ++i) {
            const Note& root = track.noteAt(i);
            if (!root.selected || rootIndex(track, i) != -1)
                continue;
            const int rootPosition = static_cast<int>(clipboard.notes.size());
            position[at(i)] = rootPosition;
            Note copy = root;
            copy.chordparent = -1;
            clipboard.notes.push_back(copy);
            for (int k = 0; k < root.childCount && k < kMaxChordMembers; ++k) {
                const int m = root.children[k];
                if (m < 0 || m >= n || rootIndex(track, m) != i || !track.noteAt(m).selected)
                    continue;
                position[at(m)] = static_cast<int>(clipboard.notes.size());
                Note member = track.noteAt(m);
                member.chordparent = static_cast<int16_t>(rootPosition);
                clipboard.notes.push_back(member);
            }
        }
        for (std::size_t c = first; c < clipboard.notes.size(); ++c) {
            Note& note = clipboard.notes[c];
            note.childCount = 0;
            note.fresh = 1;
            if (note.loopCount > 0) {
                const int target = note.loopTo >= 0 && note.loopTo < n ? position[at(note.loopTo)] : -1;
                if (target < 0)
                    turnLoopOff(note);
                else
                    note.loopTo = target;
            }
        }
    }
}

bool deleteSelection(SheetDocument& sheet)
{
    bool removedAny = false;
    for (int t = 0; t < sheet.trackCount(); ++t) {
        Track& track = *sheet.trackAt(t);
        const int n = track.count;
        std::vector<int> root(at(n));
        bool any = false;
        for (int i = 0; i < n; ++i) {
            root[at(i)] = rootIndex(track, i);
            any = any || track.noteAt(i).selected;
        }
        if (!any)
            continue;
        removedAny = true;

        // The first unselected member of every chord: it takes over a deleted root.
        std::vector<int> firstKept(at(n), -1);
        for (int j = 0; j < n; ++j) {
            const int p = root[at(j)];
            if (p >= 0 && !track.noteAt(j).selected && firstKept[at(p)] == -1)
                firstKept[at(p)] = j;
        }
        std::vector<uint8_t> removed(at(n), 0);
        std::vector<int> takesOver(at(n), -1);
        for (int i = 0; i < n; ++i) {
            if (!track.noteAt(i).selected)
                continue;
            if (root[at(i)] == -1 && firstKept[at(i)] != -1) {
                takesOver[at(i)] = firstKept[at(i)];
                removed[at(firstKept[at(i)])] = 1;
            } else {
                removed[at(i)] = 1;
            }
        }
        // newIndex[i]: the index note i (or the note after it) has afterwards.
        std::vector<int> newIndex(at(n) + 1);
        int kept = 0;
        for (int i = 0; i < n; ++i) {
            newIndex[at(i)] = kept;
            if (!removed[at(i)])
                ++kept;
        }
        newIndex[at(n)] = kept;

        std::vector<Note> result;
        result.reserve(at(kept));
        for (int i = 0; i < n; ++i) {
            if (removed[at(i)])
                continue;
            const Note& own = track.noteAt(i);
            Note note = takesOver[at(i)] >= 0 ? track.noteAt(takesOver[at(i)]) : own;
            if (takesOver[at(i)] >= 0) {
                note.texts.setLyric(own.lyrictext());
                note.chordparent = -1;
                // The chord stays in its voice: a member is counted in its root's voice
                // whatever it holds itself.
                note.voice = own.voice;
            } else if (root[at(i)] >= 0) {
                note.chordparent = static_cast<int16_t>(newIndex[at(root[at(i)])]);
            } else {
                note.chordparent = -1;
            }
            if (note.loopCount > 0) {
                const int target = note.loopTo >= 0 && note.loopTo < n ? newIndex[at(note.loopTo)] : kept;
                if (target >= kept)
                    turnLoopOff(note);
                else
                    note.loopTo = target;
            }
            result.push_back(note);
        }
        for (int i = 0; i < kept; ++i)
            track.noteAt(i).moveFrom(result[at(i)]);
        for (int i = kept; i < n; ++i)
            track.noteAt(i) = Note();
        track.count = kept;
        track.rebuildChordLists();
        track.eventsStale = 1;
    }
    return removedAny;
}

bool pasteFits(const Track& track, std::size_t count)
{
    return count <= static_cast<std::size_t>(Track::kMaxNotes) &&
           static_cast<std::size_t>(track.count) + count <= static_cast<std::size_t>(Track::kMaxNotes);
}

void pasteNotes(Track& track, int index, const NoteClipboard& clipboard)
{
    const int added = static_cast<int>(clipboard.notes.size());
    if (added == 0)
        return;
    const int old = track.count;
    index = std::clamp(index, 0, old);
    track.noteAt(old + added + 10); // grows the array once
    for (int j = 0; j < old; ++j) {
        Note& note = track.noteAt(j);
        note.selected = 0;
        if (note.chordparent >= index)
            note.chordparent = static_cast<int16_t>(note.chordparent + added);
        if (note.loopCount > 0 && note.loopTo >= index)
            note.loopTo += added;
    }
    for (int j = old - 1; j >= index; --j)
        track.noteAt(j + added).moveFrom(track.noteAt(j));
    for (int k = 0; k < added; ++k) {
        const Note& copy = clipboard.notes[at(k)];
        Note& slot = track.noteAt(index + k);
        slot = copy;
        slot.fresh = 1;
        slot.childCount = 0;
        slot.selected = 1;
        slot.chordparent =
            copy.chordparent >= 0 ? static_cast<int16_t>(copy.chordparent + index) : int16_t{-1};
        if (slot.loopCount > 0)
            slot.loopTo += index;
    }
    track.count = old + added;
    track.rebuildChordLists();
    track.eventsStale = 1;
    track.freshTrack = 0;
}

bool shiftSelectedPitch(SheetDocument& sheet, int steps)
{
    bool moved = false;
    for (int t = 0; t < sheet.trackCount(); ++t) {
        Track& track = *sheet.trackAt(t);
        const KeyAccidentalTable keys(track);
        for (int i = 0; i < track.count; ++i) {
            Note& note = track.noteAt(i);
            if (!note.selected)
                continue;
            Note candidate = note;
            candidate.setStaffPosition(note.line + steps, staffKindOf(track));
            const int pitch = soundingPitch(candidate, track, keys);
            // The stored key must stay the natural of the position (it is 8 bits wide) and the
            // note must sound within 0..127.
            if (candidate.line != note.line + steps ||
                candidate.midi != naturalKeyOfPosition(candidate.line) || pitch < 0 || pitch > 127)
                continue; // the highest or lowest position this note can take
            note.line = candidate.line;
            note.letter = candidate.letter;
            note.midi = candidate.midi;
            note.octave = candidate.octave;
            moved = true;
        }
    }
    return moved;
}

bool selectAllOf(SheetDocument& sheet, int trackIndex)
{
    Track* track = sheet.trackAt(trackIndex);
    if (!track)
        return false;
    for (int i = 0; i < track->count; ++i)
        track->noteAt(i).selected = 1;
    return true;
}

bool clearAllNotes(SheetDocument& sheet)
{
    bool any = false;
    for (int t = 0; t < sheet.trackCount(); ++t) {
        Track& track = *sheet.trackAt(t);
        any = any || track.count > 0;
        for (int i = 0; i < track.count; ++i)
            track.noteAt(i) = Note();
        track.count = 0;
        track.rebuildChordLists();
        track.eventsStale = 1;
    }
    return any;
}

} // namespace tonvela
