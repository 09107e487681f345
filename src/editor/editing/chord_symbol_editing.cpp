#include "editor/editing/chord_symbol_editing.h"

#include "editor/chord_symbol_marks.h"
#include "editor/editing/sheet_editor.h"
#include "editor/editing/tool_editing.h"
#include "platform/sheet_lock.h"
#include "score/sheet_document.h"
#include "score/track.h"

namespace tonvela {
namespace {

// The box's height above the symbol's text line, sheet units: the box's text sits where the
// symbol is drawn.
constexpr int kBoxRaise = 6;

// The chord root that carries the symbol of note `index`, or -1 when it takes none.
int carrier(const Track& track, int index)
{
    if (index < 0 || index >= track.count)
        return -1;
    const int root = track.rootOf(index) >= 0 ? track.rootOf(index) : index;
    const Note& n = track.noteAt(root);
    return isDurationType(n.type) && !n.isRest() ? root : -1;
}

} // namespace

bool setChordSymbol(SheetEditor& editor, int t, int index, const std::optional<ChordSymbol>& symbol)
{
    Track* track = editor.sheet().trackAt(t);
    if (!track)
        return false;
    const int root = carrier(*track, index);
    if (root < 0)
        return false;
    Note& note = track->noteAt(root);
    const std::optional<std::string> text =
        symbol ? std::optional<std::string>(chordSymbolText(*symbol)) : std::nullopt;
    if (note.chordSymbol() == text)
        return false;
    editor.edit(SnapshotKind::Lyric, t, [&] { note.setChordSymbol(text); });
    return true;
}

bool addChordSymbolToCurrentNote(SheetEditor& editor, const ChordSymbol& symbol)
{
    const auto [t, i] = lyricTarget(editor);
    if (t < 0)
        return false;
    const Track& track = *editor.sheet().trackAt(t);
    const int root = carrier(track, i);
    if (root < 0)
        return false;
    // Already there counts as done: the user sees the symbol they asked for.
    if (track.noteAt(root).chordSymbol() == chordSymbolText(symbol))
        return true;
    return setChordSymbol(editor, t, i, symbol);
}

TypedChordSymbol setChordSymbolFromText(SheetEditor& editor, const std::string& text)
{
    const auto [t, i] = lyricTarget(editor);
    if (t < 0 || carrier(*editor.sheet().trackAt(t), i) < 0)
        return TypedChordSymbol::NoNote;
    std::optional<ChordSymbol> symbol;
    if (text.find_first_not_of(" \t") != std::string::npos) {
        symbol = parseChordSymbol(text);
        if (!symbol)
            return TypedChordSymbol::NotAChord;
    }
    return setChordSymbol(editor, t, i, symbol) ? TypedChordSymbol::Stored : TypedChordSymbol::Unchanged;
}

void toggleChordSymbolMode(SheetEditor& editor)
{
    SheetTools& tools = editor.tools();
    if (!tools.chordSymbolMode && tools.lyricMode)
        applyTool(editor, kToolLyrics);
    tools.chordSymbolMode = !tools.chordSymbolMode;
    editor.toolsChanged();
}

ChordSymbolBoxPlacement chordSymbolBoxPlacement(SheetEditor& editor)
{
    SheetDocument& sheet = editor.sheet();
    if (!editor.tools().chordSymbolMode || !sheet.trackAt(sheet.selectedTrack))
        return {};
    const SheetLockGuard lock(sheetLock());
    const auto [t, i] = lyricTarget(editor);
    const int root = t >= 0 ? carrier(*sheet.trackAt(t), i) : -1;
    ChordSymbolBoxPlacement place =
        placeFlowBox(editor, t, root >= 0 ? root : i, -chordSymbolRise(sheet) - kBoxRaise);
    if (t >= 0) {
        place.track = t;
        place.note = root;
        if (root >= 0)
            place.text = sheet.trackAt(t)->noteAt(root).chordSymbol().value_or(std::string());
    }
    return place;
}

} // namespace tonvela
