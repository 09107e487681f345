#include "score/note.h"

#include "score/duration.h"
#include "score/markup_text.h"
#include "score/utf8_text.h"
#include "theory/pitch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tonvela {

bool isDurationType(int type)
{
    return type >= kTypeWhole && type <= kTypeThirtySecond;
}

int kindWidthOf(int type)
{
    switch (type) {
    case kTypeWhole:
        return 80;
    case kTypeHalf:
    case kTypeQuarter:
        return 40;
    case kTypeEighth:
    case kTypeSixteenth:
    case kTypeThirtySecond:
        return 30;
    case kTypeBar:
        return 5;
    case kTypeSpace:
        return 30;
    case kTypeStaffBreak:
    case kTypeMark1737:
    case kTypeMark1743:
        return 0;
    case kTypeAudioClip:
        return 60;
    default:
        return 35; // 1740, 1742 and every unknown kind
    }
}

NoteTexts::Data& NoteTexts::own()
{
    // Copy on write: the block may be shared with other notes and with undo snapshots.
    auto copy = m_data ? std::make_shared<Data>(*m_data) : std::make_shared<Data>();
    Data& data = *copy;
    m_data = std::move(copy);
    return data;
}

void NoteTexts::dropIfEmpty()
{
    if (m_data && !m_data->filename && !m_data->displayName && !m_data->lyric && !m_data->chordSymbol)
        m_data.reset();
}

void NoteTexts::setFilename(const std::optional<std::string>& path)
{
    if (!path && !filename() && !displayName())
        return;
    Data& data = own();
    data.filename = path;
    if (path)
        data.displayName = fileNamePart(*path);
    else
        data.displayName.reset();
    dropIfEmpty();
}

void NoteTexts::setLyric(const std::optional<std::string>& text)
{
    if (!text && !lyric())
        return;
    own().lyric = text;
    dropIfEmpty();
}

void NoteTexts::setChordSymbol(const std::optional<std::string>& text)
{
    if (!text && !chordSymbol())
        return;
    own().chordSymbol = text;
    dropIfEmpty();
}

bool NoteTexts::operator==(const NoteTexts& other) const
{
    if (m_data == other.m_data)
        return true;
    return filename() == other.filename() && displayName() == other.displayName() &&
           lyric() == other.lyric() && chordSymbol() == other.chordSymbol();
}

void Note::copyFrom(const Note& other)
{
    if (this != &other) {
        const uint32_t keepTimeSig = timeSig;
        const int32_t keepVelocity = velocity;
        content() = other.content();
        timeSig = keepTimeSig;
        velocity = keepVelocity;
        childCount = other.childCount;
        const int n = std::clamp<int>(other.childCount, 0, kMaxChordMembers);
        std::copy(other.children, other.children + n, children);
    }
    fresh = 1;
    banknum = 0;
}

void Note::moveFrom(const Note& other)
{
    if (this != &other)
        *this = other;
    fresh = 1;
}

int Note::effectiveKey() const
{
    return midi + ((dwFlag & kFlagSharp) ? 1 : 0) - ((dwFlag & kFlagFlat) ? 1 : 0);
}

void Note::setStaffPosition(int staffPosition, StaffKind staff)
{
    line = static_cast<int16_t>(std::clamp(staffPosition, -32768, 32767));
    char l = 'C';
    int k = 60;
    int n = line;
    while (n != 0) {
        if (n <= -7) {
            k += 12;
            n += 7;
        } else if (n >= 7) {
            k -= 12;
            n -= 7;
        } else {
            static constexpr struct {
                char letter;
                int offset;
            } kUp[] = {{'D', 2}, {'E', 4}, {'F', 5}, {'G', 7}, {'A', 9}, {'B', 11}},
              kDown[] = {{'B', -1}, {'A', -3}, {'G', -5}, {'F', -7}, {'E', -8}, {'D', -10}};
            const auto& entry = n < 0 ? kUp[-n - 1] : kDown[n - 1];
            l = entry.letter;
            k += entry.offset;
            n = 0;
        }
    }
    letter = l;
    midi = static_cast<int8_t>(std::clamp(k, -128, 127));
    octave = octaveNumber(staff);
}

void Note::setNameFromKey(int k, StaffKind staff)
{
    k = std::clamp(k, -128, 127);
    midi = static_cast<int8_t>(k);
    char c = 'C';
    int oct = 3;
    for (int key = 60; key < k; ++key)
        semitoneUp(c, oct);
    for (int key = 60; key > k; --key)
        semitoneDown(c, oct);
    if (isSharpDigit(c))
        dwFlag |= kFlagSharp;
    letter = c;
    octave = octaveNumber(staff);
}

int Note::octaveNumber(StaffKind staff) const
{
    const int base = staffKindInfo(staff).octaveBase;
    int d = midi - base;
    if (midi < base)
        d -= 11;
    return d / 12 + 2;
}

double Note::quantizeBeats(double beats)
{
    const NoteLength* best = &kNoteLengths[0];
    double bestDiff = std::fabs(beats - beatsOf(best->ticks));
    for (const NoteLength& c : kNoteLengths) {
        const double diff = std::fabs(beats - beatsOf(c.ticks));
        if (diff < bestDiff) {
            best = &c;
            bestDiff = diff;
        }
    }
    if (best->dotted)
        dwFlag |= kFlagDot;
    type = best->type;
    return beatsOf(best->ticks);
}

int Note::kindWidth() const
{
    return kindWidthOf(type);
}

std::string Note::legatoText() const
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.2f", dwStopOffset * 0.002);
    std::string text(buf);
    // The C library may follow a decimal-comma locale; the panel always shows a point.
    std::replace(text.begin(), text.end(), ',', '.');
    std::replace(text.begin(), text.end(), ' ', '0');
    return text;
}

void NoteContent::setLabel(const std::string& text)
{
    std::memset(label, 0, sizeof label);
    const std::string cut = cutUtf8(text, kLabelCapacity - 1);
    std::memcpy(label, cut.data(), cut.size());
}

void NoteContent::setLyric(const std::string& text)
{
    texts.setLyric(cutUtf8(text, kMaxLyricLength));
}

bool isBlackKey(int key)
{
    const int pc = ((key % 12) + 12) % 12;
    return pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
}

char naturalLetterOfKey(int key, bool fClef)
{
    int folded = key;
    if (folded > 59) {
        while (folded > 71)
            folded -= 12;
    } else {
        folded = 71 - ((59 - folded) % 12);
    }
    const int r = folded - 60;
    const int i = fClef ? r : r + 13;
    switch (i) {
    case 0:
    case 12:
    case 17:
        return 'E';
    case 1:
    case 2:
    case 18:
    case 19:
        return 'F';
    case 3:
    case 4:
    case 20:
    case 21:
        return 'G';
    case 5:
    case 6:
    case 22:
    case 23:
        return 'A';
    case 7:
    case 24:
        return 'B';
    case 10:
    case 11:
    case 15:
    case 16:
        return 'D';
    default:
        return 'C';
    }
}

} // namespace tonvela
