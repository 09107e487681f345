#pragma once

namespace tonvela {

class Track;

// The entries of the sheet panel's "Track Type:" list, in order.
enum class TrackType { GClef = 0, FClef = 1, Percussion = 2, Tablature = 3, G2Clef = 4, FifthKind = 5 };

// Changes a track's staff kind from an entry of the "Track Type:" list (0..5; anything else is
// ignored and returns false). Between G clef and F clef or G(2) clef every note moves so that
// it keeps sounding the same: its position and stored key shift by the clefs' offsets and its
// letter becomes the natural of the new key. Other changes keep the notes as they are, so a
// change between two clefs not listed (F clef to G(2) clef) keeps the old clef's offset in the
// stored keys. Every entry but Percussion makes the track melodic. Marks the recorded events
// stale. Holds the sheet lock; the caller lays the sheet out again.
bool setTrackType(Track& track, int entry);

} // namespace tonvela
