#pragma once

#include <array>

namespace tonvela {

struct Note;
class Track;

// The key signature's accidental at staff position p, K(p), from the scale of the track's key
// (tonic `key`, scale kind) and the letter of the position: +1 when the key sharpens that
// letter, 0 when it leaves it alone, -1 for a flat. A flat is reported at the position one
// step below the flattened degree, so a note reads K(p + 1) for flats (in F major K(-5), the
// A, is -1: the B above it sounds flat). The same for every octave.
int keyAccidental(const Track& track, int staffPosition);

// A track's key-signature accidentals by staff position. They depend only on the letter of
// the position, so seven values serve every octave; walks over many notes build this once.
class KeyAccidentalTable {
  public:
    explicit KeyAccidentalTable(const Track& track);
    // K(p): +1 sharpened, -1 flattened (reported one step below the flattened degree), 0 none.
    int at(int staffPosition) const
    {
        return m_values[static_cast<std::size_t>(((staffPosition % 7) + 7) % 7)];
    }

  private:
    std::array<int, 7> m_values{};
};

// The key a note sounds at on its track: the stored key with the key signature, the note's
// own accidental marks and the clef offset (F clef 9 below, G(2) clef 12 above). Not limited
// to 0..127. Playback, the MIDI writer and the LilyPond export all use this one rule.
//
// A sharp mark adds a semitone unless the key signature already sharpens the note's own
// position; a flat mark takes one off unless the key already flattens it (flats are reported
// at the position one step below). So a courtesy accidental never moves a note twice.
int soundingPitch(const Note& note, const Track& track);
int soundingPitch(const Note& note, const Track& track, const KeyAccidentalTable& keys);

// The sounding pitch kept within 0..127, for outputs that can hold no other key.
int soundingKey(const Note& note, const Track& track);
int soundingKey(const Note& note, const Track& track, const KeyAccidentalTable& keys);

// Puts a note on a track so that it sounds the key it was built for: the note comes at its G
// clef staff position for that key (its effectiveKey, as noteFromMidiKey and the pitch helpers
// make it), and is moved to the staff position and accidental marks that sound that key on the
// track, whatever its clef and key signature (the position moved as a change of track type
// moves notes, its own marks tried first). The stored key stays the natural of the position,
// so the note reads back the same from a file. Every code that places notes by pitch (chord and
// scale entry, MIDI import) goes through here, so all of them follow the sounding rule above.
void placeOnTrack(Note& note, const Track& track);
// The same with the track's key accidentals built once, for walks over many notes.
void placeOnTrack(Note& note, const Track& track, const KeyAccidentalTable& keys);

} // namespace tonvela
