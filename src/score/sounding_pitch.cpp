#include "score/sounding_pitch.h"

#include "score/note.h"
#include "score/track.h"
#include "theory/pitch.h"
#include "theory/scale.h"

#include <algorithm>
#include <string_view>

namespace tonvela {

int keyAccidental(const Track& track, int p)
{
    // The seven degrees of the key's scale, walked here without allocating: this runs for
    // every note that sounds or is written out.
    const int kind = std::clamp(track.scaleKind, 0, kScaleKindCount - 1);
    const char* pattern = scaleTable()[static_cast<std::size_t>(kind)].pattern;
    char degreesBuf[8] = {};
    int n = 0;
    char pitch = track.key;
    for (const char* step = pattern; *step && n < 7; ++step) {
        degreesBuf[n++] = pitch;
        const int semitones = *step == 'H' ? 1 : *step == 'W' ? 2 : 3;
        for (int i = 0; i < semitones; ++i) {
            const char next = semitoneUp(pitch);
            if (next != 0)
                pitch = next;
        }
    }
    const std::string_view degrees(degreesBuf, static_cast<std::size_t>(n));
    const char t = n > 0 ? degreesBuf[0] : 'C';
    const bool f = track.flatKey != 0;
    static constexpr char kLetters[] = "CBAGFED";
    const int idx = p >= 0 ? p % 7 : 6 - ((-p - 1) % 7);
    const char letter = kLetters[idx];

    if (f) {
        if (letter == 'B' && (t == '4' || t == 'B'))
            return -1;
        if (letter == 'E' && t == 'B')
            return -1;
    }
    if (letter == 'E')
        return f ? 0 : ((t == '4' || t == '2') ? 1 : 0);
    if (letter == 'B')
        return (!f && t == '2') ? 1 : 0;
    const char raised = semitoneUp(letter);
    if (degrees.find(raised) != std::string_view::npos)
        return f ? -1 : 1;
    return 0;
}

KeyAccidentalTable::KeyAccidentalTable(const Track& track)
{
    for (int p = 0; p < 7; ++p)
        m_values[static_cast<std::size_t>(p)] = keyAccidental(track, p);
}

namespace {

// `here` is K at the note's position, `below` K one step lower (where flats are reported).
int applyAccidentals(const Note& note, const Track& track, int here, int below)
{
    int pitch = note.midi; // NOLINT(bugprone-signed-char-misuse): a signed key, not a character
    // With the natural mark the key signature is ignored; only the marks' test still looks
    // at the note's own position.
    int flatTest = here;
    if (!(note.dwFlag & kFlagNatural)) {
        if (here == 1)
            pitch += 1;
        flatTest = below;
        if (flatTest == -1)
            pitch -= 1;
    }
    if ((note.dwFlag & kFlagSharp) && here != 1)
        pitch += 1;
    else if ((note.dwFlag & kFlagFlat) && flatTest != -1)
        pitch -= 1;
    if (track.drawmode == kDrawFClef)
        pitch -= 9;
    else if (track.drawmode == kDrawG2Clef)
        pitch += 12;
    return pitch;
}

} // namespace

int soundingPitch(const Note& note, const Track& track)
{
    return applyAccidentals(note, track, keyAccidental(track, note.line),
                            keyAccidental(track, note.line + 1));
}

int soundingPitch(const Note& note, const Track& track, const KeyAccidentalTable& keys)
{
    return applyAccidentals(note, track, keys.at(note.line), keys.at(note.line + 1));
}

int soundingKey(const Note& note, const Track& track)
{
    return std::clamp(soundingPitch(note, track), 0, 127);
}

int soundingKey(const Note& note, const Track& track, const KeyAccidentalTable& keys)
{
    return std::clamp(soundingPitch(note, track, keys), 0, 127);
}

void placeOnTrack(Note& n, const Track& t)
{
    placeOnTrack(n, t, KeyAccidentalTable(t));
}

void placeOnTrack(Note& n, const Track& t, const KeyAccidentalTable& keys)
{
    const auto sounds = [&](const Note& note) { return soundingKey(note, t, keys); };
    const int wanted = n.effectiveKey();
    const int base = n.line + (t.drawmode == kDrawFClef ? -5 : t.drawmode == kDrawG2Clef ? 7 : 0);
    const int own = n.dwFlag & (kFlagFlat | kFlagSharp);
    const int keep = n.dwFlag & ~(kFlagFlat | kFlagSharp | kFlagNatural);
    if (base == n.line && sounds(n) == wanted)
        return;
    const int marks[] = {own,
                         own | kFlagNatural,
                         0,
                         kFlagNatural,
                         kFlagSharp,
                         kFlagFlat,
                         kFlagNatural | kFlagSharp,
                         kFlagNatural | kFlagFlat};
    for (int step : {0, -1, 1}) {
        for (int m : marks) {
            Note candidate = n;
            candidate.setStaffPosition(base + step);
            candidate.dwFlag = keep | m;
            if (sounds(candidate) == wanted) {
                n = candidate;
                return;
            }
        }
    }
    // Beyond the keys a track can sound: keep the note at the clef's position.
    n.setStaffPosition(base);
}

} // namespace tonvela
