#include "score/track_type.h"

#include "platform/sheet_lock.h"
#include "score/track.h"

#include <algorithm>

namespace tonvela {
namespace {

// Shifts every note's position and stored key; the letter follows from the new key, read on
// the staff the track still has.
void convertNotes(Track& track, int lineShift, int midiShift)
{
    const bool fClef = track.drawmode == kDrawFClef;
    for (int i = 0; i < track.count; ++i) {
        Note& n = track.noteAt(i);
        n.line = static_cast<int16_t>(std::clamp(n.line + lineShift, -32768, 32767));
        n.midi = static_cast<int8_t>(std::clamp(n.midi + midiShift, -128, 127));
        n.letter = naturalLetterOfKey(n.midi, fClef);
    }
}

} // namespace

bool setTrackType(Track& track, int entry)
{
    SheetLockGuard lock(sheetLock());
    switch (static_cast<TrackType>(entry)) {
    case TrackType::GClef:
        if (track.drawmode == kDrawG2Clef)
            convertNotes(track, -7, 12);
        if (track.drawmode == kDrawFClef)
            convertNotes(track, 5, -9);
        track.drawmode = kDrawGClef;
        break;
    case TrackType::FClef:
        if (track.drawmode == kDrawGClef)
            convertNotes(track, -5, 9);
        track.drawmode = kDrawFClef;
        break;
    case TrackType::Percussion:
        track.percussive = 1;
        track.drawmode = kDrawGClef;
        break;
    case TrackType::Tablature:
        track.drawmode = kDrawTablature;
        break;
    case TrackType::G2Clef:
        if (track.drawmode == kDrawGClef)
            convertNotes(track, 7, -12);
        track.drawmode = kDrawG2Clef;
        break;
    case TrackType::FifthKind:
        track.drawmode = kDrawFifthKind;
        break;
    default:
        return false;
    }
    if (entry != static_cast<int>(TrackType::Percussion))
        track.percussive = 0;
    track.eventsStale = 1;
    return true;
}

} // namespace tonvela
