#include "score/track_type.h"

#include "score/sounding_pitch.h"
#include "score/staff_kind.h"
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

// Moves every note from the staff the track has to a staff of `kind`: each note goes to the
// position the new clef reads as the same natural, and keeps sounding what it sounded (a
// nearby spelling is taken where the old stored key did not match its position).
void convertNotes(Track& track, StaffKind kind)
{
    const int shift = staffOf(track).readingShift - staffKindInfo(kind).readingShift;
    std::vector<int> wanted(static_cast<std::size_t>(std::max(track.count, 0)));
    {
        const KeyAccidentalTable keys(track);
        for (int i = 0; i < track.count; ++i)
            wanted[static_cast<std::size_t>(i)] = soundingPitch(track.noteAt(i), track, keys);
    }
    // A drum track that becomes a staff keeps its drum keys as pitches.
    setStaffKind(track, kind);
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
    if (entry < 0 || entry >= kStaffKindCount)
        return false;
    const StaffKind kind = static_cast<StaffKind>(entry);
    // Notes move with the clef between staves of notes; a drum staff keeps them where they are.
    if (!staffKindInfo(kind).percussive && track.drawmode != staffKindInfo(kind).drawmode)
        convertNotes(track, kind);
    setStaffKind(track, kind);
    track.eventsStale = 1;
    return true;
}

} // namespace tonvela
