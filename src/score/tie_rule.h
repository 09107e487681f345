#pragma once

namespace tonvela {

struct Note;

// Playback sounds a tie chain as one note: a chord root with the tie mark holds on through the
// next chord root when that one carries the mark too and reads the same letter and octave (two
// tied rests merge as well). At most this many following notes join one sound. Playback's
// writers (the MIDI file, the MusicXML export) follow the same rule.
inline constexpr int kMaxTieMerge = 101;

bool tieMerges(const Note& u, const Note& v);

// Whether a tie from u to v would merge them, whatever their tie marks: two rests, or two notes
// of the same letter and octave. The editor ties a pair only when this holds.
bool tieCanJoin(const Note& u, const Note& v);

} // namespace tonvela
