#include "score/track_type.h"

#include "score/sounding_pitch.h"
#include "score/track.h"

#include <algorithm>
#include <vector>

namespace tonvela {
namespace {

// A note that sounds a pitch of its own (rests, bar lines and other marks only move).
bool soundsPitch(const Note& n)
{
    return isDurationType(n.type) && !n.isRest();
}

// Moves every note from the staff the track has to a staff of `drawmode`: each note goes to
// the position the new clef reads as the same natural, and keeps sounding what it sounded
// (a nearby spelling is taken where the old stored key did not match its position).
void convertNotes(Track& track, int drawmode)
{
    const int shift = clefReadingShift(track.drawmode) - clefReadingShift(drawmode);
    std::vector<int> wanted(static_cast<std::size_t>(std::max(track.count, 0)));
    {
        const KeyAccidentalTable keys(track);
        for (int i = 0; i < track.count; ++i)
            wanted[static_cast<std::size_t>(i)] = soundingPitch(track.noteAt(i), track, keys);
    }
    // A drum track that becomes a staff keeps its drum keys as pitches.
    track.percussive = 0;
    track.drawmode = static_cast<uint8_t>(drawmode);
    const KeyAccidentalTable keys(track);
    for (int i = 0; i < track.count; ++i) {
        Note& n = track.noteAt(i);
        const int position = std::clamp(n.line + shift, -32768, 32767);
        if (soundsPitch(n)) {
            placeNear(n, track, keys, wanted[static_cast<std::size_t>(i)], position, true);
        } else {
            const int flags = n.dwFlag;
            n.setStaffPosition(position);
            n.dwFlag = flags;
        }
    }
}

} // namespace

bool setTrackType(Track& track, int entry)
{
    const auto toStaff = [&track](int drawmode) {
        if (track.drawmode != drawmode)
            convertNotes(track, drawmode);
        track.drawmode = static_cast<uint8_t>(drawmode);
    };
    switch (static_cast<TrackType>(entry)) {
    case TrackType::GClef:
        toStaff(kDrawGClef);
        break;
    case TrackType::FClef:
        toStaff(kDrawFClef);
        break;
    case TrackType::Percussion:
        track.percussive = 1;
        track.drawmode = kDrawGClef;
        break;
    case TrackType::Tablature:
        toStaff(kDrawTablature);
        break;
    case TrackType::G2Clef:
        toStaff(kDrawG2Clef);
        break;
    case TrackType::FifthKind:
        toStaff(kDrawFifthKind);
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
