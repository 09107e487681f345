#pragma once

#include <cstdint>
#include <vector>

namespace tonvela {

class SheetEditor;

// Keys pressed within this long of the first key of a chord join that chord.
inline constexpr int64_t kChordWindowUs = 50'000;

// Step entry from a MIDI keyboard: each key pressed appends a note of the current duration
// (the note toolbar's, a quarter when a marker tool is chosen) to the selected track, at the
// staff position and with the marks that make it sound that key on the track's clef and key
// signature (placeOnTrack, the sounding-pitch rule). Keys pressed within kChordWindowUs of the
// chord's first key join it as chord members, so a chord struck on the keyboard is one chord
// on the staff. Each note is one edit (one undo step). The toggles of the toolbar (dot, rest,
// accidentals) are not applied, as for the letter keys.
//
// It remembers the chord being struck: a key after the window, a key for another track or
// sheet, or any change that leaves the chord's root no longer last on its track starts a new
// chord.
//
// Thread rules: user-interface thread, like the editor.
class MidiStepEntry {
  public:
    // A message from the input (midi_input.h): note ons (velocity above 0) enter notes; every
    // other message is left alone. True when a note went in.
    bool message(SheetEditor& editor, uint32_t message, int64_t timeUs);
    // A key pressed at `timeUs` (microseconds of the input's clock). Refused with a message
    // when the track is full; nothing without a selected track.
    bool keyPressed(SheetEditor& editor, int key, int64_t timeUs);
    // Forgets the chord being struck.
    void reset();

  private:
    const SheetEditor* m_editor = nullptr;
    int m_track = -1;
    int m_root = -1; // the chord's root in its track
    int64_t m_chordStartUs = 0;
    std::vector<int> m_keys; // keys of the chord so far
};

} // namespace tonvela
