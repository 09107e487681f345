#include "editor/editing/tool_editing.h"

#include "editor/editing/sheet_editor.h"
#include "editor/editing/voice_entry.h"
#include "platform/notifier.h"
#include "platform/sheet_lock.h"
#include "score/note_pitch.h"
#include "score/sounding_pitch.h"
#include "score/tie_rule.h"
#include "score/utf8_text.h"

#include <algorithm>
#include <string_view>
#include <tuple>
#include <vector>

namespace tonvela {
namespace {

// The note keys, in the order of the letters they enter from A.
constexpr std::string_view kNoteKeys = "ZXCVBNM";

// The tool keys, in the order the key table tries them.
struct ToolLetter {
    char letter;
    int tool;
};
constexpr ToolLetter kToolLetters[] = {
    {'S', kToolSharp},  {'F', kToolFlat},      {'D', kToolDot},    {'T', kToolTie},
    {'R', kToolRest},   {'W', kToolWhole},     {'H', kToolHalf},   {'Q', kToolQuarter},
    {'E', kToolEighth}, {'Y', kToolSixteenth}, {'U', kToolVoice2},
};

// The tool of a tool key; 0 for any other.
int toolOfLetter(char letter)
{
    for (const ToolLetter& entry : kToolLetters)
        if (entry.letter == letter)
            return entry.tool;
    return 0;
}

// The modifier tools: the sheet toggle each flips and, for all but the accidentals (which
// have rules of their own), the note flag it sets or clears.
struct Modifier {
    int tool;
    bool SheetTools::*toggle;
    int flag;
};
constexpr Modifier kModifiers[] = {
    {kToolTie, &SheetTools::tie, kFlagTie},
    {kToolDot, &SheetTools::dot, kFlagDot},
    {kToolMark200, &SheetTools::mark200, kFlagMark200},
    {kToolTriplet, &SheetTools::triplet, kFlagTriplet},
    {kToolSharp, &SheetTools::sharp, 0},
    {kToolFlat, &SheetTools::flat, 0},
    {kToolNatural, &SheetTools::natural, 0},
};

const Modifier* modifierOf(int id)
{
    for (const Modifier& m : kModifiers)
        if (m.tool == id)
            return &m;
    return nullptr;
}

bool isModifierTool(int id)
{
    return modifierOf(id) != nullptr;
}

// Tools that become the kind of the selected notes.
bool isKindTool(int id)
{
    return isDurationType(id) || id == kToolBar || id == kToolSpace || id == kToolMark1130;
}

// Sounding notes and rests: what a duration, a dot, a tie and (for notes) an accidental can
// change. Bars, spaces and audio clips are never touched by a tool.
bool toolApplies(const Note& note)
{
    return note.type != kTypeAudioClip && note.type != kTypeBar && note.type != kTypeSpace;
}

bool carriesAccidental(const Note& note)
{
    return isDurationType(note.type) && !note.isRest();
}

// What a tool makes of one note: its kind and flags afterwards.
struct NoteKind {
    int type;
    int flags;
};

NoteKind toolResult(const Note& note, int id, const SheetTools& tools)
{
    NoteKind kind{note.type, note.dwFlag};
    const Modifier* modifier = modifierOf(id);
    const bool on = modifier && tools.*modifier->toggle;
    if (const int flag = modifier ? modifier->flag : 0) {
        kind.flags = on ? kind.flags & ~flag : kind.flags | flag;
    } else if (id == kToolSharp || id == kToolFlat) {
        if (carriesAccidental(note)) {
            const int own = id == kToolSharp ? kFlagSharp : kFlagFlat;
            const int other = id == kToolSharp ? kFlagFlat : kFlagSharp;
            kind.flags = on ? kind.flags & ~(kFlagNatural | kFlagSharp | kFlagFlat)
                            : (kind.flags & ~(kFlagNatural | other)) | own;
        }
    } else if (id == kToolNatural) {
        if (carriesAccidental(note)) {
            kind.flags &= ~(kFlagSharp | kFlagFlat);
            kind.flags = on ? kind.flags & ~kFlagNatural : kind.flags | kFlagNatural;
        }
    } else if (isKindTool(id)) {
        kind.type = id;
    }
    return kind;
}

// Gives every selected note a tool touches the kind and flags `change` computes, as one edit,
// only when some note changes. True then.
template <class Change> bool changeSelected(SheetEditor& editor, Change change)
{
    SheetDocument& sheet = editor.sheet();
    int firstTrack = -1;
    {
        const SheetLockGuard lock(sheetLock());
        for (int t = 0; t < sheet.trackCount() && firstTrack < 0; ++t) {
            const Track& track = *sheet.trackAt(t);
            for (int i = 0; i < track.count; ++i) {
                const Note& note = track.noteAt(i);
                if (!note.selected || !toolApplies(note))
                    continue;
                const NoteKind kind = change(note);
                if (kind.type != note.type || kind.flags != note.dwFlag) {
                    firstTrack = t;
                    break;
                }
            }
        }
    }
    if (firstTrack < 0)
        return false;
    editor.edit(SnapshotKind::SelectedChange, firstTrack, [&] {
        for (int t = 0; t < sheet.trackCount(); ++t) {
            Track& track = *sheet.trackAt(t);
            for (int i = 0; i < track.count; ++i) {
                Note& note = track.noteAt(i);
                if (!note.selected || !toolApplies(note))
                    continue;
                const NoteKind kind = change(note);
                note.type = kind.type;
                note.dwFlag = kind.flags;
            }
        }
    });
    return true;
}

// Where the lyric line stands below a row's top staff line (as the lyrics are drawn).
constexpr int kLyricLineOffset = 7 * kStaffSpacing;

// The chord root before root i, or -1.
int previousRoot(const Track& track, int i)
{
    for (--i; i >= 0; --i)
        if (track.rootOf(i) < 0)
            return i;
    return -1;
}

// Whether root i of the track is tied to the root after it, as playback hears it.
bool tiedForward(const Track& track, int i)
{
    const int j = track.nextRoot(i);
    return i >= 0 && j < track.count && tieMerges(track.noteAt(i), track.noteAt(j));
}

// The Tie tool on the selected notes. A tie joins a note to the next one (the next chord root)
// and the file marks both notes of the pair. When some selected note is tied to its next note,
// those ties come off; else every selected note whose next note has its pitch is tied to it.
// A note in the middle of a chain keeps the mark the neighbouring tie needs: untying a-b in
// a-b-c clears only a's mark. Nothing selected: false, and the tool is the entry toggle.
bool tieSelection(SheetEditor& editor)
{
    SheetDocument& sheet = editor.sheet();
    struct Pair {
        int track;
        int first;
        int second;
    };
    std::vector<Pair> tied, joinable;
    bool anySelected = false;
    bool anyFollowed = false;
    {
        const SheetLockGuard lock(sheetLock());
        for (int t = 0; t < sheet.trackCount(); ++t) {
            const Track& track = *sheet.trackAt(t);
            int lastRoot = -1;
            for (int i = 0; i < track.count; ++i) {
                const Note& note = track.noteAt(i);
                if (!note.selected || !toolApplies(note))
                    continue;
                const int root = track.rootOf(i) >= 0 ? track.rootOf(i) : i;
                if (root == lastRoot)
                    continue; // a chord's members tie with their root
                lastRoot = root;
                anySelected = true;
                const int next = track.nextRoot(root);
                if (next >= track.count || !isDurationType(track.noteAt(next).type))
                    continue;
                anyFollowed = true;
                if (tiedForward(track, root))
                    tied.push_back({t, root, next});
                else if (tieCanJoin(track.noteAt(root), track.noteAt(next)))
                    joinable.push_back({t, root, next});
            }
        }
    }
    if (!anySelected)
        return false;
    if (tied.empty() && joinable.empty()) {
        editor.showMessage(anyFollowed ? "No tie: the next note has another pitch."
                                       : "No tie: no note follows.");
        return true;
    }
    const bool untie = !tied.empty();
    const std::vector<Pair>& pairs = untie ? tied : joinable;
    editor.edit(SnapshotKind::SelectedChange, pairs.front().track, [&] {
        for (const Pair& pair : pairs) {
            Track& track = *sheet.trackAt(pair.track);
            if (!untie) {
                track.noteAt(pair.first).dwFlag |= kFlagTie;
                track.noteAt(pair.second).dwFlag |= kFlagTie;
                continue;
            }
            const int before = previousRoot(track, pair.first);
            const bool tiedFromBefore = before >= 0 && tiedForward(track, before);
            const bool tiedOnward = tiedForward(track, pair.second);
            if (!tiedFromBefore || tiedOnward)
                track.noteAt(pair.first).dwFlag &= ~kFlagTie;
            if (!tiedOnward)
                track.noteAt(pair.second).dwFlag &= ~kFlagTie;
        }
    });
    return true;
}

// The note tool becomes `id` in both groups (the kind clicks add) and every toggle goes off
// but the voice: a duration chosen while entering voice 2 enters voice 2 notes of it.
void chooseKind(SheetTools& tools, SharedToolGroups& groups, int id)
{
    groups.notes.select(id);
    groups.edit.select(id);
    const int octave = tools.keyboardOctave;
    const bool voice2 = tools.voice2;
    tools = SheetTools{};
    tools.keyboardOctave = octave;
    tools.voice2 = voice2;
}

// The marker tools that enter notes of their own kind on a click.
bool isMarkerTool(int id)
{
    return id == kToolBar || id == kToolRowMarker || id == kToolSpace || id == kToolAudioClip;
}

// applyTool without telling anyone: the key table tells once after its own syncToolButtons.
bool applyToolQuietly(SheetEditor& editor, int id)
{
    SheetTools& tools = editor.tools();
    SharedToolGroups& groups = sharedToolGroups();
    const int editTool = groups.edit.currentId;

    // The voice is for the notes entered next only: moving notes already there to the other
    // voice would change the timing of both voices.
    if (id == kToolVoice2) {
        tools.voice2 = !tools.voice2;
        return true;
    }

    // A marker tool places no sounding notes, so a modifier has nothing to modify.
    if (isMarkerTool(editTool) && isModifierTool(id)) {
        groups.notes.release(id);
        return true;
    }
    if (id == kToolTie || id == kToolSharp || id == kToolFlat || id == kToolMark200 || id == kToolNatural ||
        editTool == kToolBar) {
        groups.notes.release(kToolRest);
        tools.rest = false;
    }
    if (id == kToolBar || id == kToolSpace) {
        groups.notes.select(id);
        groups.edit.select(id);
        groups.edit.press(id);
        tools.tie = tools.dot = tools.sharp = false;
    }

    // Tie acts on the selected notes and their next notes and leaves the entry toggle alone,
    // so the notes clicked afterwards carry no tie mark the user did not ask for.
    if (id == kToolTie && tieSelection(editor)) {
        syncToolButtons(tools, groups);
        return true;
    }

    if (isKindTool(id) || isModifierTool(id) || id == kToolKind1136) {
        applyToSelection(editor, id);
        const Modifier* modifier = modifierOf(id);
        switch (id) {
        case kToolTie:
        case kToolDot:
        case kToolTriplet:
        case kToolMark200: // a toggle like Tie and Dot: applyToSelection set or cleared its flag by it
            tools.*modifier->toggle = !(tools.*modifier->toggle);
            break;
        case kToolSharp:
            tools.natural = false;
            tools.sharp = !tools.sharp;
            if (tools.sharp)
                tools.flat = false;
            break;
        case kToolFlat:
            tools.natural = false;
            tools.flat = !tools.flat;
            break;
        case kToolNatural:
            tools.sharp = tools.flat = false;
            tools.natural = !tools.natural;
            break;
        case kToolKind1136:
            break;
        default: // durations, 1130, Bar, Space
            chooseKind(tools, groups, id);
            break;
        }
        syncToolButtons(tools, groups);
        if (isDurationType(id))
            groups.notes.press(id);
        return true;
    }

    if (id == kToolRest) {
        groups.notes.release(kToolFlat);
        groups.notes.release(kToolSharp);
        groups.notes.release(kToolTie);
        tools.rest = !tools.rest;
        groups.notes.show(kToolRest, tools.rest);
        tools.tie = tools.sharp = false;
        const bool rest = tools.rest;
        // Rest off takes every flag with it: the note starts over as a plain note.
        changeSelected(editor, [rest](const Note& note) {
            return NoteKind{note.type, rest ? note.dwFlag | kFlagRest : 0};
        });
        return true;
    }

    if (id == kToolLyrics || id == kToolLyricsAlias) {
        if (tools.lyricMode) {
            tools.lyricMode = false;
            groups.edit.release(kToolLyrics);
            // The edit group's tool was lyrics; it is no tool now, as its buttons show.
            if (groups.edit.currentId == kToolLyrics)
                groups.edit.select(0);
        } else {
            groups.edit.select(kToolLyrics);
            groups.edit.press(kToolLyrics);
            tools.lyricMode = true;
            // One text box at a time: lyrics take the keyboard from chord symbols.
            tools.chordSymbolMode = false;
        }
        return true;
    }

    if (id == kToolRowMarker || id == kToolStaffBreak || id == kToolHandsOff || id == kToolAudioClip) {
        groups.notes.select(id);
        groups.edit.select(id);
        groups.edit.press(id);
        tools.tie = tools.dot = tools.sharp = false;
        tools.rest = tools.mark200 = tools.triplet = false;
        return true;
    }
    return false;
}

// A note key with Voice 2 on: the note follows the last voice 2 note of the current note's
// measure (the last measure when there is no current note), or opens voice 2 at the
// measure's start; a measure whose voice 2 is full passes on to the next one. The entered
// note becomes the current note, so the next key goes on from it.
bool appendToVoice2(SheetEditor& editor, int t, const Note& note)
{
    Track& track = *editor.sheet().trackAt(t);
    MeasureDivision measures;
    int measure = 0;
    Ticks offset = 0;
    {
        const SheetLockGuard lock(sheetLock());
        measures.divide(track);
        const int current = editor.editState().track(t).currentNote;
        measure =
            current >= 0 && current < track.count ? measures.measureOf(current) : measures.measureCount();
        offset = voice2End(track, measures, measure);
        if (offset >= measureLengthOf(track, measure) && measure < measures.measureCount()) {
            ++measure;
            offset = voice2End(track, measures, measure);
        }
    }
    int entered = -1;
    editor.edit(SnapshotKind::Insert, t, [&] { entered = enterVoice2Note(track, measure, offset, note); });
    if (entered < 0) {
        if (Notifier* notifier = editor.notifier())
            notifier->error("The note was not added: track " + std::to_string(t + 1) +
                                " has no room for it and the rests before it.",
                            "Keyboard Entry");
        return false;
    }
    editor.editState().setCurrentNote(t, entered);
    return true;
}

void toolsChanged(SheetEditor& editor)
{
    toolGroupsChanged();
    editor.toolsChanged();
}

} // namespace

std::pair<int, int> lyricTarget(SheetEditor& editor)
{
    SheetDocument& sheet = editor.sheet();
    auto currentOf = [&](int t) {
        const Track* track = sheet.trackAt(t);
        if (!track)
            return -1;
        const int i = editor.editState().track(t).currentNote;
        return i >= 0 && i < track->count ? i : -1;
    };
    if (const int i = currentOf(sheet.selectedTrack); i >= 0)
        return {sheet.selectedTrack, i};
    for (int t = 0; t < sheet.trackCount(); ++t)
        if (const int i = currentOf(t); i >= 0)
            return {t, i};
    return {-1, -1};
}

bool isToolCommand(int id)
{
    switch (id) {
    case kToolWhole:
    case kToolHalf:
    case kToolQuarter:
    case kToolEighth:
    case kToolSixteenth:
    case kToolThirtySecond:
    case kToolRest:
    case kToolDot:
    case kToolSharp:
    case kToolFlat:
    case kToolNatural:
    case kToolTie:
    case kToolTriplet:
    case kToolVoice2:
    case kToolBar:
    case kToolSpace:
    case kToolStaffBreak:
    case kToolLyrics:
    case kToolMark1130:
    case kToolMark200:
    case kToolKind1136:
    case kToolLyricsAlias:
    case kToolRowMarker:
    case kToolHandsOff:
    case kToolAudioClip:
    case kToolMark1743:
        return true;
    default:
        return false;
    }
}

bool applyTool(SheetEditor& editor, int id)
{
    const bool taken = applyToolQuietly(editor, id);
    // A button leaves the toolbars showing the toggles, as a key does.
    syncToolButtons(editor.tools(), sharedToolGroups());
    toolsChanged(editor);
    return taken;
}

bool applyToSelection(SheetEditor& editor, int id)
{
    if (!isKindTool(id) && !isModifierTool(id))
        return false;
    const SheetTools tools = editor.tools();
    return changeSelected(editor, [&](const Note& note) { return toolResult(note, id, tools); });
}

void syncToolButtons(SheetTools& tools, SharedToolGroups& groups)
{
    ToolGroupState& notes = groups.notes;
    // At most one accidental stays on: natural wins over flat, flat over sharp.
    struct Accidental {
        bool SheetTools::*toggle;
        int button;
    };
    static constexpr Accidental kOrder[] = {{&SheetTools::natural, kToolNatural},
                                            {&SheetTools::flat, kToolFlat},
                                            {&SheetTools::sharp, kToolSharp}};
    for (const Accidental& winner : kOrder)
        if (tools.*winner.toggle)
            for (const Accidental& other : kOrder)
                if (other.button != winner.button)
                    tools.*other.toggle = false;
    for (const Accidental& accidental : kOrder)
        notes.show(accidental.button, tools.*accidental.toggle);
    notes.show(kToolRest, tools.rest);
    notes.show(kToolTie, tools.tie);
    notes.show(kToolDot, tools.dot);
    notes.show(kToolTriplet, tools.triplet);
    notes.show(kToolVoice2, tools.voice2);
    notes.show(kToolMark200, tools.mark200);
}

void resetToolButtons(SheetTools& tools, SharedToolGroups& groups)
{
    const int octave = tools.keyboardOctave;
    tools = SheetTools{};
    tools.keyboardOctave = octave;
    syncToolButtons(tools, groups);
    groups.notes.select(kToolQuarter);
}

bool toolKey(SheetEditor& editor, const KeyInput& key)
{
    SheetDocument& sheet = editor.sheet();
    SharedToolGroups& groups = sharedToolGroups();
    // Digits are fret numbers on a tablature track and never reach the note keys.
    const int digit = digitOf(key.key);
    const Track* track = sheet.trackAt(sheet.selectedTrack);
    if (digit >= 0 && track && staffOf(*track).isTablature())
        return true;

    bool taken = false;
    if (!key.ctrl) { // Ctrl with a letter is a shortcut or nothing, never a tool
        const int tool = toolOfLetter(letterOf(key.key));
        if (tool != 0) {
            if (isDurationType(tool)) {
                groups.notes.select(tool);
                groups.notes.press(tool);
            }
            applyToolQuietly(editor, tool);
            taken = true;
        } else if (digit >= 1 && digit <= 4) {
            editor.tools().keyboardOctave = digit;
            taken = true;
        } else if (const char letter = letterOf(key.key);
                   letter != 0 && kNoteKeys.find(letter) != std::string_view::npos) {
            appendFromKeyboard(editor, static_cast<char>('A' + kNoteKeys.find(letter)));
            taken = true;
        }
    }
    syncToolButtons(editor.tools(), groups);
    toolGroupsChanged();
    if (taken)
        editor.toolsChanged();
    return taken;
}

bool appendFromKeyboard(SheetEditor& editor, char letter)
{
    SheetDocument& sheet = editor.sheet();
    const int t = sheet.selectedTrack;
    Track* track = sheet.trackAt(t);
    if (!track || letter < 'A' || letter > 'G')
        return false;
    if (track->count >= Track::kMaxNotes) {
        if (Notifier* notifier = editor.notifier())
            notifier->error("The note was not added: track " + std::to_string(t + 1) + " already holds " +
                                std::to_string(track->count) + " notes, as many as a track can hold.",
                            "Keyboard Entry");
        return false;
    }
    const int tool = sharedToolGroups().notes.currentId;
    Note note;
    note.type = isDurationType(tool) ? tool : kTypeQuarter;
    noteFromPitch(note, letter, editor.tools().keyboardOctave + 1, note.type);
    note.dwFlag = 0; // the modifier toggles are for clicks only
    // The letter keys name the pitch that sounds: on an F or G(2) clef the note stands where
    // that clef shows the typed letter and octave, as a click there would place it.
    if (const StaffKindInfo& staff = staffOf(*track); staff.readingShift != 0)
        note.setStaffPosition(note.line - staff.readingShift, staff.kind);
    note.iid = track->iid;
    if (editor.tools().voice2)
        return appendToVoice2(editor, t, note);
    editor.edit(SnapshotKind::Insert, t, [&] { track->insertNote(note, track->count); });
    return true;
}

FlowBoxPlacement placeFlowBox(SheetEditor& editor, int t, int note, int lineOffset)
{
    FlowBoxPlacement place;
    place.shown = true;
    const SheetDocument& sheet = editor.sheet();
    const SheetViewState& view = editor.view();
    const float zoom = view.zoom();
    auto scaled = [zoom](int v) { return static_cast<int>(static_cast<float>(v) * zoom); };
    if (t >= 0 && note >= 0) {
        const NoteLayout& at = view.noteLayout(t, note);
        if (at.rowIndex >= 0 && at.rowIndex < view.rowCount()) {
            place.x = scaled(at.x);
            place.y = scaled(view.rowTopInWindow(at.rowIndex) + lineOffset);
            return place;
        }
    }
    // No note, or one not laid out: the start of the selected track's first row in view.
    const int tracks = std::max(sheet.trackCount(), 1);
    const int first = view.firstVisibleRow;
    const int row = first + ((sheet.selectedTrack - first % tracks) + tracks) % tracks;
    place.x = scaled(kStaffLeft);
    place.y = scaled(view.rowTopInWindow(row) + lineOffset);
    return place;
}

LyricBoxPlacement lyricBoxPlacement(SheetEditor& editor)
{
    SheetDocument& sheet = editor.sheet();
    if (!editor.tools().lyricMode || !sheet.trackAt(sheet.selectedTrack))
        return {};
    const SheetLockGuard lock(sheetLock());
    const auto [t, i] = lyricTarget(editor);
    LyricBoxPlacement place = placeFlowBox(editor, t, i, kLyricLineOffset);
    if (t >= 0) {
        place.track = t;
        place.note = i;
        place.text = sheet.trackAt(t)->noteAt(i).lyrictext().value_or(std::string());
    }
    return place;
}

bool stepLyricNote(SheetEditor& editor, bool forward)
{
    SheetDocument& sheet = editor.sheet();
    int row = -1;
    int t = -1;
    int target = -1;
    {
        const SheetLockGuard lock(sheetLock());
        int from = -1;
        std::tie(t, from) = lyricTarget(editor);
        if (t < 0)
            return false;
        const Track& track = *sheet.trackAt(t);
        if (track.rootOf(from) >= 0)
            from = track.rootOf(from);
        // A note a tie holds on from the note before takes no syllable of its own: the
        // syllable of the tie's first note lasts through it.
        auto sung = [&track](int i) {
            const Note& n = track.noteAt(i);
            return track.rootOf(i) < 0 && isDurationType(n.type) && !n.isRest() &&
                   !tiedForward(track, previousRoot(track, i));
        };
        if (forward) {
            for (int i = from + 1; i < track.count && target < 0; ++i)
                if (sung(i))
                    target = i;
        } else {
            for (int i = from - 1; i >= 0 && target < 0; --i)
                if (sung(i))
                    target = i;
        }
        if (target < 0)
            return false;
        editor.editState().setCurrentNote(t, target);
        row = editor.view().noteLayout(t, target).rowIndex;
    }
    // The row of the box comes into view at the edge it was beyond.
    const SheetViewState& view = editor.view();
    const int visibleRows = std::max(1, (view.layoutHeight - kRowTopOffset) / view.rowPitch());
    const int first = view.firstVisibleRow;
    if (row >= 0 && row < first)
        editor.scrollTo(row);
    else if (row >= first + visibleRows)
        editor.scrollTo(row - visibleRows + 1);
    editor.host().selectionChanged();
    return true;
}

bool setLyric(SheetEditor& editor, const std::string& text)
{
    const auto [t, i] = lyricTarget(editor);
    if (t < 0)
        return false;
    Note& note = editor.sheet().trackAt(t)->noteAt(i);
    const std::string lyric = cutUtf8(text, kMaxLyricLength);
    const auto& now = note.lyrictext();
    if (lyric.empty() ? !now.has_value() : now == lyric)
        return false;
    editor.edit(SnapshotKind::Lyric, t, [&] {
        if (lyric.empty())
            note.clearLyric();
        else
            note.setLyric(lyric);
    });
    return true;
}

char toolLetter(int tool)
{
    for (const ToolLetter& entry : kToolLetters)
        if (entry.tool == tool)
            return entry.letter;
    return 0;
}

} // namespace tonvela
