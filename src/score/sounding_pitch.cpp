#include "score/sounding_pitch.h"

#include "score/note.h"
#include "score/staff_kind.h"
#include "score/track.h"
#include "theory/general_midi.h"
#include "theory/pitch.h"
#include "theory/scale.h"

#include <algorithm>
#include <string_view>

namespace tonvela {

int naturalKeyOfPosition(int p)
{
    // Whole octaves first (7 steps, 12 keys), then the step within the octave below middle C.
    static constexpr int kBelowC[7] = {0, -1, -3, -5, -7, -8, -10}; // C, B, A, G, F, E, D
    const int octaves = p >= 0 ? p / 7 : -((-p + 6) / 7);
    return 60 - 12 * octaves + kBelowC[p - 7 * octaves];
}

int keyAccidental(const Track& track, int p)
{
    p += staffOf(track).readingShift;
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
// What the key signature (K(p) `here`, K(p + 1) `below`) and the note's own marks add to the
// natural of its position, in semitones.
int alterationByMarks(int dwFlag, int here, int below)
{
    int by = 0;
    // With the natural mark the key signature is ignored; only the marks' test still looks
    // at the note's own position.
    int flatTest = here;
    if (!(dwFlag & kFlagNatural)) {
        if (here == 1)
            by += 1;
        flatTest = below;
        if (flatTest == -1)
            by -= 1;
    }
    if ((dwFlag & kFlagSharp) && here != 1)
        by += 1;
    else if ((dwFlag & kFlagFlat) && flatTest != -1)
        by -= 1;
    return by;
}

int applyAccidentals(const Note& note, const Track& track, int here, int below)
{
    const StaffKindInfo& staff = staffOf(track);
    if (staff.percussive)
        return note.effectiveKey(); // a drum key (a black one kept as natural and sharp mark)
    // NOLINTNEXTLINE(bugprone-signed-char-misuse): a signed key, not a character
    const int pitch = staff.pitchSource == PitchSource::Position
                          ? naturalKeyOfPosition(note.line + staff.readingShift)
                          : note.midi + staff.soundingOffset;
    return pitch + alterationByMarks(note.dwFlag, here, below);
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

PitchAlteration pitchAlteration(const Note& note, const Track& track, const KeyAccidentalTable& keys)
{
    if (staffOf(track).percussive)
        return {}; // a drum sounds its key, whatever the marks
    const int here = keys.at(note.line);
    const int below = keys.at(note.line + 1);
    PitchAlteration a;
    a.key = alterationByMarks(0, here, below);
    a.sounding = alterationByMarks(note.dwFlag, here, below);
    return a;
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
    // The note stands at its G clef position; the track's clef reads that natural elsewhere.
    const int wanted = n.effectiveKey();
    const int base = n.line - staffOf(t).readingShift;
    placeNear(n, t, keys, wanted, base, false);
}

bool placeNear(Note& n, const Track& t, const KeyAccidentalTable& keys, int wanted, int base, bool keepMarks)
{
    const int own = n.dwFlag & (kFlagFlat | kFlagSharp);
    const int keep = n.dwFlag & ~(kFlagFlat | kFlagSharp | kFlagNatural);
    const int marks[] = {own,
                         own | kFlagNatural,
                         0,
                         kFlagNatural,
                         kFlagSharp,
                         kFlagFlat,
                         kFlagNatural | kFlagSharp,
                         kFlagNatural | kFlagFlat};
    const auto fits = [&](int step, int m) {
        Note candidate = n;
        candidate.setStaffPosition(base + step);
        if (candidate.line == n.line) {
            // A note that stays where it stands keeps its name as its maker wrote it.
            candidate.letter = n.letter;
            candidate.octave = n.octave;
        }
        candidate.dwFlag = keep | m;
        if (soundingPitch(candidate, t, keys) != wanted)
            return false;
        n = candidate;
        return true;
    };
    if (keepMarks && fits(0, own | (n.dwFlag & kFlagNatural)))
        return true;
    // The key signature's own spelling first (B flat in B flat major is a B, not an A sharp),
    // then the note's own marks, then any other.
    for (int step : {0, -1, 1})
        if (fits(step, 0))
            return true;
    for (int step : {0, -1, 1})
        for (int m : marks)
            if (fits(step, m))
                return true;
    // Beyond the keys a track can sound: keep the note at the clef's position.
    n.setStaffPosition(base);
    return false;
}

int midiChannelOf(const Track& track)
{
    return midiChannelOf(track.channel, track.percussive != 0);
}

} // namespace tonvela
