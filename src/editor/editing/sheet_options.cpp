#include "editor/editing/sheet_options.h"

#include "editor/editing/sheet_editor.h"
#include "score/sheet_document.h"
#include "score/staff_kind.h"
#include "score/time_signature.h"
#include "score/track.h"
#include "theory/general_midi.h"
#include "theory/key_signature.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace tonvela {
namespace {

Track* currentTrack(SheetEditor& editor)
{
    return editor.sheet().trackAt(editor.sheet().selectedTrack);
}

// The notes a track setting goes to: the selected notes of the track, or all of them when none
// is selected.
std::vector<int> settingTargets(const Track& track)
{
    std::vector<int> selected;
    for (int i = 0; i < track.count; ++i)
        if (track.noteAt(i).selected)
            selected.push_back(i);
    if (!selected.empty())
        return selected;
    std::vector<int> all(static_cast<std::size_t>(std::max(track.count, 0)));
    for (int i = 0; i < track.count; ++i)
        all[static_cast<std::size_t>(i)] = i;
    return all;
}

// A program for the track and its target notes, with the group shown beside it.
bool giveProgram(SheetEditor& editor, int program)
{
    Track* track = currentTrack(editor);
    if (!track || program < 0 || program >= kInstrumentCount)
        return false;
    const int group = program / kInstrumentsPerGroup;
    const std::vector<int> targets = settingTargets(*track);
    const bool changes =
        track->iid != program || track->groupid != group ||
        std::any_of(targets.begin(), targets.end(), [&](int i) { return track->noteAt(i).iid != program; });
    if (!changes)
        return false;
    editor.edit(SnapshotKind::SelectedChange, editor.sheet().selectedTrack, [&] {
        track->iid = program;
        track->groupid = group;
        for (const int i : targets)
            track->noteAt(i).iid = program;
    });
    return true;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A whole decimal number that is all of `text` (blanks around it aside).
bool wholeNumber(std::string_view text, int& value)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool sameProperties(const Note& n, const NoteProperties& p, int stopOffset)
{
    return (p.volume == kKeepValue || n.volume == p.volume) && (p.pan == kKeepValue || n.pan == p.pan) &&
           (p.loopTo == kKeepValue || n.loopTo == p.loopTo) &&
           (p.loopCount == kKeepValue || n.loopCount == p.loopCount) &&
           (p.velocity == kKeepValue || n.velocity == p.velocity) &&
           (std::isnan(p.legatoBeats) || n.dwStopOffset == stopOffset);
}

} // namespace

bool chooseInstrumentGroup(SheetEditor& editor, int group)
{
    if (group < 0 || group >= kInstrumentGroupCount)
        return false;
    return giveProgram(editor, group * kInstrumentsPerGroup);
}

bool chooseInstrument(SheetEditor& editor, int program)
{
    return giveProgram(editor, program);
}

bool chooseDrum(SheetEditor& editor, int entry)
{
    Track* track = currentTrack(editor);
    if (!track || entry < 0 || entry >= kDrumCount)
        return false;
    const int key = kFirstDrumKey + entry;
    // Only the notes of a drum part sound their drum key; a staff keeps its pitches.
    std::vector<int> targets;
    if (track->percussive)
        for (const int i : settingTargets(*track))
            if (isDurationType(track->noteAt(i).type))
                targets.push_back(i);
    const bool changes = track->drumKey != key || std::any_of(targets.begin(), targets.end(), [&](int i) {
                             return track->noteAt(i).midi != key;
                         });
    if (!changes)
        return false;
    editor.edit(SnapshotKind::SelectedChange, editor.sheet().selectedTrack, [&] {
        track->drumKey = key;
        for (const int i : targets)
            track->noteAt(i).midi = static_cast<int8_t>(key);
        if (!targets.empty())
            track->eventsStale = 1;
    });
    return true;
}

bool chooseKey(SheetEditor& editor, int keyIndex)
{
    Track* track = currentTrack(editor);
    if (!track || keyIndex < 0 || keyIndex >= kKeySignatureCount || track->keyindex == keyIndex)
        return false;
    editor.edit(SnapshotKind::SelectedChange, editor.sheet().selectedTrack,
                [&] { track->setKeyIndex(keyIndex); });
    return true;
}

bool chooseTuning(SheetEditor& editor, const GuitarTuning& tuning)
{
    Track* track = currentTrack(editor);
    if (!track || track->tuning == tuning || tuning.capo < 0 || tuning.capo > kMaxCapoFret)
        return false;
    for (const int key : tuning.strings)
        if (key < 0 || key > 127)
            return false;
    editor.edit(SnapshotKind::SelectedChange, editor.sheet().selectedTrack, [&] { track->tuning = tuning; });
    return true;
}

bool chooseTimeSignature(SheetEditor& editor, int entry)
{
    SheetDocument& sheet = editor.sheet();
    const int code = timeSignatureOfPanelEntry(entry);
    bool changes = sheet.timesig != code;
    for (int t = 0; t < sheet.trackCount(); ++t)
        changes = changes || sheet.trackAt(t)->timeSig != code;
    if (!changes)
        return false;
    editor.edit(SnapshotKind::SelectedChange, sheet.selectedTrack, [&] { sheet.setTimeSignatureCode(code); });
    return true;
}

bool chooseTrackType(SheetEditor& editor, int entry)
{
    Track* track = currentTrack(editor);
    if (!track || entry < 0 || entry >= kStaffKindCount || trackTypeEntry(*track) == entry)
        return false;
    const int index = editor.sheet().selectedTrack;
    editor.edit(SnapshotKind::TrackType, index, [&] { editor.sheet().setTrackType(index, entry); });
    return true;
}

bool chooseTempo(SheetEditor& editor, int bpm)
{
    SheetDocument& sheet = editor.sheet();
    if (bpm < kMinTempo || bpm > kMaxTempo)
        return false;
    bool changes = false;
    for (int t = 0; t < sheet.trackCount(); ++t)
        changes = changes || sheet.trackAt(t)->tempo != bpm;
    if (!changes)
        return false;
    editor.edit(SnapshotKind::SelectedChange, sheet.selectedTrack, [&] {
        for (int t = 0; t < sheet.trackCount(); ++t)
            sheet.trackAt(t)->tempo = bpm;
    });
    return true;
}

bool chooseTrackCount(SheetEditor& editor, int count)
{
    SheetDocument& sheet = editor.sheet();
    if (count < 1 || count > kMaxTracks || count == sheet.trackCount())
        return false;
    editor.edit(SnapshotKind::TrackCount, sheet.selectedTrack, [&] { sheet.setTrackCount(count); });
    return true;
}

bool toggleTablature(SheetEditor& editor)
{
    Track* track = currentTrack(editor);
    if (!track)
        return false;
    const int index = editor.sheet().selectedTrack;
    const int now = trackTypeEntry(*track);
    if (now == static_cast<int>(StaffKind::Tablature))
        return chooseTrackType(editor, editor.editState().typeBeforeTablature(index));
    editor.editState().rememberTypeBeforeTablature(index, now);
    return chooseTrackType(editor, static_cast<int>(StaffKind::Tablature));
}

bool applyToSelectedNotes(SheetEditor& editor, const NoteProperties& p)
{
    SheetDocument& sheet = editor.sheet();
    const bool keepLegato = std::isnan(p.legatoBeats);
    if (!keepLegato && !(std::isfinite(p.legatoBeats) && std::abs(p.legatoBeats) <= kMaxLegatoBeats))
        return false;
    // The milliseconds Track::applyToSelected stores for the legato.
    const int stopOffset = keepLegato ? 0 : static_cast<int32_t>(p.legatoBeats * kLegatoMsPerBeat);
    bool changes = false;
    for (int t = 0; t < sheet.trackCount() && !changes; ++t) {
        const Track& track = *sheet.trackAt(t);
        for (int i = 0; i < track.count && !changes; ++i) {
            const Note& n = track.noteAt(i);
            changes = n.selected == 1 && !sameProperties(n, p, stopOffset);
        }
    }
    if (!changes)
        return false;
    editor.edit(SnapshotKind::SelectedChange, sheet.selectedTrack, [&] {
        sheet.applyToSelected(p.volume, p.pan, p.loopTo, p.loopCount, p.velocity, p.legatoBeats);
    });
    return true;
}

TypedValue<int> readTempo(std::string_view text)
{
    TypedValue<int> r;
    if (!wholeNumber(text, r.value) || r.value < kMinTempo || r.value > kMaxTempo)
        r.error = "The tempo is a whole number of beats per minute from " + std::to_string(kMinTempo) +
                  " to " + std::to_string(kMaxTempo) + ".";
    return r;
}

TypedValue<int> readLoopTo(const SheetDocument& sheet, std::string_view text)
{
    TypedValue<int> r;
    if (trimmed(text).empty()) {
        r.value = 0;
    } else if (!wholeNumber(text, r.value)) {
        r.error = "\"Loop To:\" is the index of a note of the track, a whole number from 0.";
        return r;
    }
    // The target must be a note of every track that holds selected notes.
    int notes = std::numeric_limits<int>::max();
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track& track = *sheet.trackAt(t);
        for (int i = 0; i < track.count; ++i)
            if (track.noteAt(i).selected == 1) {
                notes = std::min(notes, track.count);
                break;
            }
    }
    if (r.value < 0 || r.value >= notes)
        r.error =
            "\"Loop To:\" is the index of a note of the track: from 0 to " + std::to_string(notes - 1) + ".";
    return r;
}

TypedValue<int> readLoopCount(std::string_view text)
{
    TypedValue<int> r;
    if (trimmed(text).empty())
        return r;
    if (!wholeNumber(text, r.value) || r.value < 0 || r.value > kMaxLoopCount)
        r.error = "\"Loop Count:\" is a whole number from 0 to " + std::to_string(kMaxLoopCount) + ".";
    return r;
}

TypedValue<double> readLegato(std::string_view text)
{
    TypedValue<double> r;
    text = trimmed(text);
    if (text.empty())
        return r;
    // A decimal comma reads as the point.
    std::string number(text);
    std::replace(number.begin(), number.end(), ',', '.');
    std::string_view digits = number;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), r.value, std::chars_format::fixed);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
        !std::isfinite(r.value) || std::abs(r.value) > kMaxLegatoBeats) {
        r.value = 0;
        r.error = "\"Legato (beats):\" is a number of beats from -1000 to 1000, such as 0.25.";
    }
    return r;
}

int trackTypeEntry(const Track& track)
{
    return static_cast<int>(staffKindOf(track));
}

NoteRef shownNote(SheetEditor& editor)
{
    const SheetDocument& sheet = editor.sheet();
    const SheetViewState& view = editor.view();
    const auto names = [&sheet](int t, int i) {
        const Track* track = sheet.trackAt(t);
        return track && i >= 0 && i < track->count;
    };
    if (names(view.hoveredNoteTrack, view.hoveredNoteIndex))
        return {view.hoveredNoteTrack, view.hoveredNoteIndex};
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const int current = editor.editState().track(t).currentNote;
        if (names(t, current))
            return {t, current};
    }
    // Notes selected by dragging have no current note: the first of them shows what the
    // sliders and fields give them.
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track& track = *sheet.trackAt(t);
        for (int i = 0; i < track.count; ++i)
            if (track.noteAt(i).selected == 1)
                return {t, i};
    }
    return {};
}

int rootPosition(const Track& track, int index)
{
    int members = 0;
    for (int i = 0; i < index && i < track.count; ++i)
        members += track.rootOf(i) != -1 ? 1 : 0;
    return index - members;
}

} // namespace tonvela
