#include "score/note_element.h"

#include "score/markup_text.h"
#include "score/markup_tree.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <span>

namespace tonvela {
namespace {

// One attribute of the <note> element, in the order files write them. A number reads and
// writes through `get` and `set`; a text through `text` and `setText`. `written` says whether
// the attribute appears (null: always).
struct NoteAttribute {
    const char* name;
    int readDefault = 0;
    bool blankAfterText = true;
    long long (*get)(const NoteContent&) = nullptr;
    void (*set)(NoteContent&, long long) = nullptr;
    bool (*written)(const NoteContent&) = nullptr;
    const std::optional<std::string>* (*text)(const NoteContent&, std::optional<std::string>&) = nullptr;
    void (*setText)(NoteContent&, const std::string&) = nullptr;
};

template <typename T> T clampTo(long long v)
{
    return static_cast<T>(
        std::clamp<long long>(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

std::span<const NoteAttribute> noteAttributes()
{
    static const NoteAttribute table[] = {
        {.name = "midi",
         .readDefault = 60,
         .get = [](const NoteContent& c) -> long long { return c.midi; },
         .set = [](NoteContent& c, long long v) { c.midi = clampTo<int8_t>(v); }},
        {.name = "type",
         .readDefault = kTypeQuarter,
         .get = [](const NoteContent& c) -> long long { return c.type; },
         .set = [](NoteContent& c, long long v) { c.type = static_cast<int32_t>(v); }},
        {.name = "line",
         .get = [](const NoteContent& c) -> long long { return c.line; },
         .set = [](NoteContent& c, long long v) { c.line = clampTo<int16_t>(v); }},
        {.name = "dwStopOffset",
         .get = [](const NoteContent& c) -> long long { return c.dwStopOffset; },
         .set = [](NoteContent& c, long long v) { c.dwStopOffset = static_cast<int32_t>(v); },
         .written = [](const NoteContent& c) { return c.dwStopOffset != 0; }},
        {.name = "dwChorus",
         .get = [](const NoteContent& c) -> long long { return c.dwChorus; },
         .set = [](NoteContent& c, long long v) { c.dwChorus = static_cast<uint32_t>(v); },
         .written = [](const NoteContent& c) { return c.dwChorus != 0; }},
        {.name = "dwReverb",
         .get = [](const NoteContent& c) -> long long { return c.dwReverb; },
         .set = [](NoteContent& c, long long v) { c.dwReverb = static_cast<uint32_t>(v); },
         .written = [](const NoteContent& c) { return c.dwReverb != 0; }},
        {.name = "volume",
         .readDefault = 127,
         .get = [](const NoteContent& c) -> long long { return c.volume; },
         .set = [](NoteContent& c, long long v) { c.volume = static_cast<int32_t>(v); },
         .written = [](const NoteContent& c) { return c.volume != 127; }},
        {.name = "pan",
         .readDefault = 64,
         .get = [](const NoteContent& c) -> long long { return c.pan; },
         .set = [](NoteContent& c, long long v) { c.pan = static_cast<int32_t>(v); },
         .written = [](const NoteContent& c) { return c.pan != 64; }},
        {.name = "bendTime",
         .get = [](const NoteContent& c) -> long long { return c.bendTime; },
         .set = [](NoteContent& c, long long v) { c.bendTime = static_cast<uint32_t>(v); },
         .written = [](const NoteContent& c) { return c.bendTime != 0; }},
        {.name = "dwBendAmount",
         .readDefault = 127,
         .get = [](const NoteContent& c) -> long long { return c.dwBendAmount; },
         .set = [](NoteContent& c, long long v) { c.dwBendAmount = static_cast<uint32_t>(v); },
         .written = [](const NoteContent& c) { return c.dwBendAmount != 127; }},
        {.name = "dwFlag",
         .get = [](const NoteContent& c) -> long long { return c.dwFlag; },
         .set = [](NoteContent& c, long long v) { c.dwFlag = static_cast<int32_t>(v); },
         .written = [](const NoteContent& c) { return c.dwFlag != 0; }},
        // A loop is written as its target and its count, or not at all.
        {.name = "loopTo",
         .get = [](const NoteContent& c) -> long long { return c.loopTo; },
         .set = [](NoteContent& c, long long v) { c.loopTo = static_cast<int32_t>(v); },
         .written = [](const NoteContent& c) { return c.loopCount != 0; }},
        {.name = "loopCount",
         .get = [](const NoteContent& c) -> long long { return c.loopCount; },
         .set = [](NoteContent& c, long long v) { c.loopCount = static_cast<int32_t>(v); },
         .written = [](const NoteContent& c) { return c.loopCount != 0; }},
        {.name = "chordparent",
         .readDefault = -1,
         .get = [](const NoteContent& c) -> long long { return c.chordparent; },
         .set = [](NoteContent& c,
                   long long v) { c.chordparent = static_cast<int16_t>(std::clamp(v, -1LL, 32767LL)); },
         .written = [](const NoteContent& c) { return c.chordparent != -1; }},
        {.name = "label",
         .written = [](const NoteContent& c) { return c.label[0] != 0; },
         .text = [](const NoteContent& c,
                    std::optional<std::string>& tmp) -> const std::optional<std::string>* {
             tmp = c.labelText();
             return &tmp;
         },
         .setText = [](NoteContent& c, const std::string& v) { c.setLabel(v); }},
        {.name = "iid",
         .get = [](const NoteContent& c) -> long long { return c.iid; },
         .set = [](NoteContent& c, long long v) { c.iid = static_cast<int32_t>(v); }},
        {.name = "banknum",
         .get = [](const NoteContent& c) -> long long { return c.banknum; },
         .set = [](NoteContent& c, long long v) { c.banknum = static_cast<int32_t>(v); },
         .written = [](const NoteContent& c) { return c.banknum != 0; }},
        {.name = "timeSig",
         .get = [](const NoteContent& c) -> long long { return c.timeSig; },
         .set = [](NoteContent& c, long long v) { c.timeSig = static_cast<uint32_t>(v); },
         .written = [](const NoteContent& c) { return c.timeSig != 0; }},
        // The key character is written as its decimal code.
        {.name = "key",
         .readDefault = '0',
         .get = [](const NoteContent& c) -> long long { return static_cast<unsigned char>(c.key); },
         .set = [](NoteContent& c, long long v) { c.key = static_cast<char>(v); },
         .written = [](const NoteContent& c) { return c.key != '0'; }},
        {.name = "keyType",
         .get = [](const NoteContent& c) -> long long { return c.keyType; },
         .set = [](NoteContent& c, long long v) { c.keyType = static_cast<uint32_t>(v); },
         .written = [](const NoteContent& c) { return c.keyType != 0; }},
        {.name = "filename",
         .written = [](const NoteContent& c) { return c.filename().has_value(); },
         .text = [](const NoteContent& c, std::optional<std::string>&) { return &c.filename(); },
         .setText = [](NoteContent& c, const std::string& v) { c.setFilename(v); }},
        // An empty lyric value reads as one blank; a lyric too long for the buffer is dropped.
        {.name = "lyrictext",
         .blankAfterText = false,
         .written = [](const NoteContent& c) { return c.lyrictext().has_value(); },
         .text = [](const NoteContent& c, std::optional<std::string>&) { return &c.lyrictext(); },
         .setText =
             [](NoteContent& c, const std::string& v) {
                 if (v.empty())
                     c.setLyric(" ");
                 else if (v.size() <= kMaxLyricLength)
                     c.setLyric(v);
             }},
    };
    return table;
}

} // namespace

void writeNoteElement(const NoteContent& note, std::string& out)
{
    out += "<note\r\n";
    std::optional<std::string> tmp;
    for (const NoteAttribute& a : noteAttributes()) {
        if (a.written && !a.written(note))
            continue;
        out += a.name;
        out += '=';
        if (a.get) {
            out += std::to_string(a.get(note));
            out += ' ';
            continue;
        }
        out += '"';
        if (const std::optional<std::string>* text = a.text(note, tmp); text && *text)
            out += escapeMarkupText(**text);
        out += '"';
        if (a.blankAfterText)
            out += ' ';
    }
    out += ">\r\n</note>\r\n";
}

void readNoteElement(Note& note, const MarkupElement& e, int drawmode)
{
    for (const NoteAttribute& a : noteAttributes()) {
        if (a.set)
            a.set(note, intAttribute(e, a.name, a.readDefault));
        else if (const std::string* v = e.findAttribute(a.name))
            a.setText(note, unescapeMarkupText(*v));
    }
    note.layout.width = static_cast<int16_t>(kindWidthOf(note.type));
    // An F clef track stores its notes nine semitones above where they sound, so a natural
    // there can sit on a black key; only a key that sounds black earns the sharp mark, or the
    // note would rise a semitone with every save and load.
    const int flagsBefore = note.dwFlag;
    note.setNameFromKey(note.midi, drawmode);
    if (drawmode == kDrawFClef && !isBlackKey(note.midi - 9))
        note.dwFlag = (note.dwFlag & ~kFlagSharp) | (flagsBefore & kFlagSharp);
}

} // namespace tonvela
