#pragma once

#include <array>

namespace tonvela {

struct Note;
class Track;

// The natural key that G clef position p shows (0 = middle C, key 60; one natural per step).
int naturalKeyOfPosition(int staffPosition);

// The key signature's accidental at staff position p, K(p), from the scale of the track's key
// (tonic `key`, scale kind) and the letter position p reads on the track's clef (its staff
// kind's reading shift: an F clef position reads its bass clef letter): +1 when the key sharpens that letter,
// 0 when it leaves it alone, -1 for a flat. A flat is reported at the position one step below the flattened
// degree, so a note reads K(p + 1) for flats (in F major on the G clef K(-5), the A, is -1:
// the B above it sounds flat). The same for every octave.
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

// The key a note sounds at on its track: a staff position sounds the note it reads in the
// track's clef, the key signature applies to that letter, then the note's own marks apply.
// The staff kind (staff_kind.h) says where the pitch comes from: on the G clef the stored key
// is the natural of the position (the staff is written an octave above its sound, as for
// guitar); the G(2) clef sounds it an octave higher, as written. On the F clef the position
// alone decides: it sounds the natural the bass clef shows there, so files whose stored keys
// kept an older clef offset still sound what they show. A percussion
// track sounds its drum key (the stored key with the note's own marks), whatever the key
// signature and clef. Not limited to 0..127. Playback, the MIDI
// writer and the LilyPond export all use this one rule.
//
// A sharp mark adds a semitone unless the key signature already sharpens the note's own
// position; a flat mark takes one off unless the key already flattens it (flats are reported
// at the position one step below). So a courtesy accidental never moves a note twice.
int soundingPitch(const Note& note, const Track& track);
int soundingPitch(const Note& note, const Track& track, const KeyAccidentalTable& keys);

// What the key signature alone, and the key signature with the note's own marks, add to the
// natural its position sounds, in semitones: soundingPitch is that natural plus `sounding`.
// Both are 0 on a percussion track, whose notes sound their drum key whatever their marks.
struct PitchAlteration {
    int key = 0;
    int sounding = 0;
};
PitchAlteration pitchAlteration(const Note& note, const Track& track, const KeyAccidentalTable& keys);

// The sounding pitch kept within 0..127, for outputs that can hold no other key.
int soundingKey(const Note& note, const Track& track);

// The MIDI channel a track sounds on (theory/general_midi.h: percussion on 9, melodic tracks
// never on 9 or 10): playback, the MIDI writer and the MusicXML writer all use it.
int midiChannelOf(const Track& track);
int soundingKey(const Note& note, const Track& track, const KeyAccidentalTable& keys);

// Puts a note on a track so that it sounds the key it was built for: the note comes at its G
// clef staff position for that key (its effectiveKey, as noteFromMidiKey and the pitch helpers
// make it), and is moved to the staff position and accidental marks that sound that key on the
// track, whatever its clef and key signature: the position the clef reads as the same natural,
// or one step beside it, spelled by the key signature where it can be (B flat in B flat major
// is a B without a mark), else with marks. The stored key stays the natural of the position,
// so the note reads back the same from a file. Every code that places notes by pitch (chord and
// scale entry, MIDI import) goes through here, so all of them follow the sounding rule above.
void placeOnTrack(Note& note, const Track& track);
// The same with the track's key accidentals built once, for walks over many notes.
void placeOnTrack(Note& note, const Track& track, const KeyAccidentalTable& keys);

// Puts a note at a staff position of the track, or one step beside it, with the marks that
// make it sound `key` there; with `keepMarks` the note's own marks at that position come
// first, else the key signature's spelling. The stored key becomes the natural of the
// position. Returns false, leaving the note at `staffPosition`, when no nearby spelling sounds
// the key. The change of track type moves notes with it, keeping their marks.
bool placeNear(Note& note, const Track& track, const KeyAccidentalTable& keys, int key, int staffPosition,
               bool keepMarks);

} // namespace tonvela
