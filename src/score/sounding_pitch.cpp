#include "score/sounding_pitch.h"

#include "score/note.h"
#include "score/track.h"

#include <algorithm>

namespace tonvela {

KeyAccidentalTable::KeyAccidentalTable(const Track& track)
{
    for (int p = 0; p < 7; ++p)
        m_values[static_cast<std::size_t>(p)] = track.keyAccidental(p);
}

namespace {

// `here` is K at the note's position, `below` K one step lower (where flats are reported).
int applyAccidentals(const Note& note, const Track& track, int here, int below)
{
    int pitch = note.midi;
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
    return applyAccidentals(note, track, track.keyAccidental(note.line), track.keyAccidental(note.line + 1));
}

int soundingPitch(const Note& note, const Track& track, const KeyAccidentalTable& keys)
{
    return applyAccidentals(note, track, keys.at(note.line), keys.at(note.line + 1));
}

void placeOnTrack(Note& n, const Track& t)
{
    placeOnTrack(n, t, KeyAccidentalTable(t));
}

void placeOnTrack(Note& n, const Track& t, const KeyAccidentalTable& keys)
{
    const auto sounds = [&](const Note& note) { return std::clamp(soundingPitch(note, t, keys), 0, 127); };
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
