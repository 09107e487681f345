#pragma once

#include <string>

namespace tonvela {

class Track;
class MarkupElement;

// The <track> element of sheet files, CR LF line ends: a <config> element with the track's
// settings (bpm, devid, iid, groupid, key as its character, keyindex, tempo, drawmode,
// percussive), then the <note> element of every note. A new track writes the config line
// `bpm=120 devid=0 iid=0 groupid=0 key=C keyindex=7 tempo=120 drawmode=0 percussive=0 >`.
void writeTrackElement(const Track& track, std::string& out);

// Reads a <track> element into a track that has just been created empty: <config> children
// set the settings (a config after notes changes the track, not the notes read before it),
// <note> children become the notes, read on the staff kind the track has when they come. A
// percussive track's notes lose their flags. Chord links and loops are made safe and the chord
// lists rebuilt. Returns how many notes were dropped because the track was full.
int readTrackElement(Track& track, const MarkupElement& element);

} // namespace tonvela
