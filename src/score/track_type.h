#pragma once

namespace tonvela {

class Track;

// The entries of the sheet panel's "Track Type:" list, in order.
enum class TrackType { GClef = 0, FClef = 1, Percussion = 2, Tablature = 3, G2Clef = 4, FifthKind = 5 };

// Changes a track's staff kind from an entry of the "Track Type:" list (0..5; anything else is
// ignored and returns false). When a track changes between staff kinds (G clef, F clef, G(2)
// clef, tablature, the fifth kind) every note moves to the position the new clef reads as the
// same natural, so the notes keep sounding what they sounded and the stored key stays the
// natural of the position (G clef to F clef moves five steps up, G clef to G(2) clef seven
// steps down). The change to Percussion keeps the notes where they are. Every entry but
// Percussion makes the track melodic. Marks the recorded events stale. Holds the sheet lock;
// the caller lays the sheet out again.
bool setTrackType(Track& track, int entry);

} // namespace tonvela
