#pragma once

namespace tonvela {

class Track;

// Changes a track's staff kind to the kind numbered `entry` (the "Track Type:" list's entries
// and the kinds beyond it, staff_kind.h; anything else is ignored and returns false). When a
// track changes between staves of notes (G clef, F clef, G(2) clef, tablature, the fifth kind)
// every note moves to the position the new clef reads as the same natural, so the notes keep
// sounding what they sounded and the stored key stays the natural of the position (G clef to
// F clef moves five steps up, G clef to G(2) clef seven steps down). The change to a drum
// staff keeps the notes where they are. Marks the recorded events stale. Holds the sheet lock;
// the caller lays the sheet out again.
bool setTrackType(Track& track, int entry);

} // namespace tonvela
