#include "score/note_element.h"

#include "score/markup_text.h"
#include "score/markup_tree.h"
#include "score/utf8_text.h"
#include "theory/chord_symbol.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <tuple>
#include <type_traits>

namespace tonvela {
namespace {

// The attributes of the <note> element, in the order files write them. The table is a
// compile-time tuple, so reading and writing a note run through it without indirect calls.

// When a number is written.
enum class Written { Always, UnlessLeftOutValue, WithLoop };

// A number attribute: the member it stores, its value when the file leaves it out, when it is
// written, and the smallest value reading keeps (for signed narrow members).
template <typename T> struct NumberAttribute {
    const char* name;
    T NoteContent::*member;
    int readDefault;
    Written written = Written::Always;
    T leftOutValue = T{};
    int readMin = std::numeric_limits<int>::min();
};

enum class TextKind { Label, Filename, ChordSymbol, Lyric };
struct TextAttribute {
    const char* name;
    TextKind kind;
};

using W = Written;
constexpr auto kNoteAttributes = std::make_tuple(
    NumberAttribute<int8_t>{"midi", &NoteContent::midi, 60},
    NumberAttribute<int32_t>{"type", &NoteContent::type, kTypeQuarter},
    NumberAttribute<int16_t>{"line", &NoteContent::line, 0},
    NumberAttribute<int32_t>{"dwStopOffset", &NoteContent::dwStopOffset, 0, W::UnlessLeftOutValue, 0},
    NumberAttribute<uint32_t>{"dwChorus", &NoteContent::dwChorus, 0, W::UnlessLeftOutValue, 0},
    NumberAttribute<uint32_t>{"dwReverb", &NoteContent::dwReverb, 0, W::UnlessLeftOutValue, 0},
    NumberAttribute<int32_t>{"volume", &NoteContent::volume, 127, W::UnlessLeftOutValue, 127},
    NumberAttribute<int32_t>{"pan", &NoteContent::pan, 64, W::UnlessLeftOutValue, 64},
    NumberAttribute<uint32_t>{"bendTime", &NoteContent::bendTime, 0, W::UnlessLeftOutValue, 0},
    NumberAttribute<uint32_t>{"dwBendAmount", &NoteContent::dwBendAmount, 127, W::UnlessLeftOutValue, 127},
    NumberAttribute<int32_t>{"dwFlag", &NoteContent::dwFlag, 0, W::UnlessLeftOutValue, 0},
    // A loop is written as its target and its count, or not at all.
    NumberAttribute<int32_t>{"loopTo", &NoteContent::loopTo, 0, W::WithLoop},
    NumberAttribute<int32_t>{"loopCount", &NoteContent::loopCount, 0, W::WithLoop},
    NumberAttribute<int16_t>{"chordparent", &NoteContent::chordparent, -1, W::UnlessLeftOutValue, -1, -1},
    // Written only for voice 2, so files without a second voice stay as they were.
    NumberAttribute<uint8_t>{"voice", &NoteContent::voice, kVoice1, W::UnlessLeftOutValue, kVoice1},
    TextAttribute{"label", TextKind::Label}, NumberAttribute<int32_t>{"iid", &NoteContent::iid, 0},
    NumberAttribute<int32_t>{"banknum", &NoteContent::banknum, 0, W::UnlessLeftOutValue, 0},
    NumberAttribute<uint32_t>{"timeSig", &NoteContent::timeSig, 0, W::UnlessLeftOutValue, 0},
    // The key character is written as its decimal code.
    NumberAttribute<char>{"key", &NoteContent::key, '0', W::UnlessLeftOutValue, '0'},
    NumberAttribute<uint32_t>{"keyType", &NoteContent::keyType, 0, W::UnlessLeftOutValue, 0},
    TextAttribute{"filename", TextKind::Filename},
    // Written only on a note that carries a chord symbol, so files without any stay as they were.
    TextAttribute{"chordsymbol", TextKind::ChordSymbol},
    // The lyric is the last attribute; no blank follows it.
    TextAttribute{"lyrictext", TextKind::Lyric});

void putNumber(std::string& out, const char* name, long long value)
{
    out += name;
    out += '=';
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    out += ' ';
}

// Small enough to be inlined into the fold over the table, where the attribute's rule is a
// constant: a note pays only for the attributes it writes.
template <typename T> void write(const NumberAttribute<T>& a, const NoteContent& note, std::string& out)
{
    const T value = note.*a.member;
    if ((a.written == Written::UnlessLeftOutValue && value == a.leftOutValue) ||
        (a.written == Written::WithLoop && note.loopCount == 0))
        return;
    if constexpr (std::is_same_v<T, char>)
        putNumber(out, a.name, static_cast<unsigned char>(value));
    else
        putNumber(out, a.name, value);
}

void writeText(std::string& out, const char* name, const std::string& text, bool blankAfter)
{
    out += name;
    out += "=\"";
    out += escapeMarkupText(text);
    out += '"';
    if (blankAfter)
        out += ' ';
}

void write(const TextAttribute& a, const NoteContent& note, std::string& out)
{
    switch (a.kind) {
    case TextKind::Label:
        if (note.label[0] != 0)
            writeText(out, a.name, note.labelText(), true);
        break;
    case TextKind::Filename:
        if (note.filename())
            writeText(out, a.name, *note.filename(), true);
        break;
    case TextKind::ChordSymbol:
        if (note.chordSymbol())
            writeText(out, a.name, *note.chordSymbol(), true);
        break;
    case TextKind::Lyric:
        if (note.lyrictext())
            writeText(out, a.name, *note.lyrictext(), false);
        break;
    }
}

template <typename T> void read(const NumberAttribute<T>& a, NoteContent& note, const MarkupElement& e)
{
    const int v = intAttribute(e, a.name, a.readDefault);
    if constexpr (std::is_same_v<T, int8_t> || std::is_same_v<T, int16_t>)
        note.*a.member = static_cast<T>(std::clamp<int>(
            v, std::max<int>(a.readMin, std::numeric_limits<T>::min()), std::numeric_limits<T>::max()));
    else
        note.*a.member = static_cast<T>(v);
}

void read(const TextAttribute& a, NoteContent& note, const MarkupElement& e)
{
    const std::string* value = e.findAttribute(a.name);
    if (!value)
        return;
    const std::string text = unescapeMarkupText(*value);
    switch (a.kind) {
    case TextKind::Label:
        note.setLabel(utf8FromEightBitText(text, kLabelCapacity - 1));
        break;
    case TextKind::Filename:
        note.setFilename(text);
        break;
    case TextKind::ChordSymbol:
        // Kept in its canonical spelling; a text that names no chord is left out rather than
        // shown as something it is not.
        if (const auto symbol = parseChordSymbol(text))
            note.setChordSymbol(chordSymbolText(*symbol));
        break;
    case TextKind::Lyric:
        // An empty lyric value reads as one blank; a lyric too long for the buffer is dropped.
        if (text.empty())
            note.setLyric(" ");
        else if (text.size() <= kMaxLyricLength)
            note.setLyric(utf8FromEightBitText(text, kMaxLyricLength));
        break;
    }
}

} // namespace

void writeNoteElement(const NoteContent& note, std::string& out)
{
    out += "<note\r\n";
    std::apply([&](const auto&... a) { (write(a, note, out), ...); }, kNoteAttributes);
    out += ">\r\n</note>\r\n";
}

void readNoteElement(Note& note, const MarkupElement& e, StaffKind staff)
{
    std::apply([&](const auto&... a) { (read(a, note, e), ...); }, kNoteAttributes);
    // Any other number is voice 1: a staff holds two voices.
    note.voice = intAttribute(e, "voice", kVoice1) == kVoice2 ? kVoice2 : kVoice1;
    // A staff may store its notes away from where they sound (the F clef nine semitones
    // above), so a natural there can sit on a black key; only a key that sounds black earns
    // the sharp mark, or the note would rise a semitone with every save and load.
    const int flagsBefore = note.dwFlag;
    note.setNameFromKey(note.midi, staff);
    if (!isBlackKey(note.midi + staffKindInfo(staff).soundingOffset))
        note.dwFlag = (note.dwFlag & ~kFlagSharp) | (flagsBefore & kFlagSharp);
}

} // namespace tonvela
