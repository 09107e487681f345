#pragma once

#include "theory/general_midi.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tonvela {

struct Note;

// The head a drum is written with on a drum staff.
enum class DrumHead : uint8_t { Normal, Cross };

// Where one General MIDI drum stands on the five-line drum staff and how it is written there.
// `step` is a staff position as notes store it (diatonic steps, the top line -3, the bottom
// line 5, larger values lower); `lilypondName` is the drum's name in LilyPond's drum mode.
struct DrumNotation {
    int key;
    int8_t step;
    DrumHead head;
    std::string_view lilypondName;
};

// Drums of voice 1 are written with their stems up, whatever their place.
inline constexpr bool kDrumStemsUp = true;

// Every General MIDI drum (keys 35..81) once, in the common drum-set notation: bass drum in the
// bottom space, snare on the third space, toms between and above it, hi-hats and cymbals
// with cross heads above the staff, the pedal hi-hat below it. The kit comes first, so where
// several drums share a place the first of them is the kit's: a click there picks that drum.
inline constexpr std::array<DrumNotation, kDrumCount> kDrumNotation = {{
    {36, 4, DrumHead::Normal, "bassdrum"},         // Bass Drum 1: bottom space
    {35, 5, DrumHead::Normal, "acousticbassdrum"}, // Acoustic Bass Drum: bottom line
    {38, 0, DrumHead::Normal, "acousticsnare"},    // Acoustic Snare: third space
    {42, -4, DrumHead::Cross, "closedhihat"},      // Closed Hi Hat: space above the staff
    {49, -5, DrumHead::Cross, "crashcymbala"},     // Crash Cymbal 1: first ledger line above
    {51, -3, DrumHead::Cross, "ridecymbala"},      // Ride Cymbal 1: top line
    {50, -3, DrumHead::Normal, "hightom"},         // High Tom: top line
    {48, -2, DrumHead::Normal, "himidtom"},        // Hi-Mid Tom: top space
    {47, -1, DrumHead::Normal, "lowmidtom"},       // Low-Mid Tom: fourth line
    {45, 1, DrumHead::Normal, "lowtom"},           // Low Tom: middle line
    {43, 2, DrumHead::Normal, "highfloortom"},     // High Floor Tom: second space
    {41, 3, DrumHead::Normal, "lowfloortom"},      // Low Floor Tom: second line
    {44, 6, DrumHead::Cross, "pedalhihat"},        // Pedal Hi-Hat: below the staff
    {46, -4, DrumHead::Cross, "openhihat"},        // Open Hi-Hat: space above the staff
    {37, 0, DrumHead::Cross, "sidestick"},         // Side Stick: third space
    {40, 0, DrumHead::Normal, "electricsnare"},    // Electric Snare: third space
    {39, 0, DrumHead::Cross, "handclap"},          // Hand Clap: third space
    {57, -5, DrumHead::Cross, "crashcymbalb"},     // Crash Cymbal 2: first ledger line above
    {59, -3, DrumHead::Cross, "ridecymbalb"},      // Ride Cymbal 2: top line
    {53, -3, DrumHead::Cross, "ridebell"},         // Ride Bell: top line
    {52, -6, DrumHead::Cross, "chinesecymbal"},    // Chinese Cymbal: B above the staff
    {55, -6, DrumHead::Cross, "splashcymbal"},     // Splash Cymbal: B above the staff
    {54, -2, DrumHead::Cross, "tambourine"},       // Tambourine: top space
    {56, -1, DrumHead::Cross, "cowbell"},          // Cowbell: fourth line
    {58, 2, DrumHead::Cross, "vibraslap"},         // Vibraslap: second space
    {60, -2, DrumHead::Normal, "hibongo"},         // Hi Bongo: top space
    {61, -1, DrumHead::Normal, "lobongo"},         // Low Bongo: fourth line
    {62, 1, DrumHead::Cross, "mutehiconga"},       // Mute Hi Conga: middle line
    {63, 1, DrumHead::Normal, "openhiconga"},      // Open Hi Conga: middle line
    {64, 2, DrumHead::Normal, "loconga"},          // Low Conga: second space
    {65, -1, DrumHead::Normal, "hitimbale"},       // High Timbale: fourth line
    {66, 1, DrumHead::Normal, "lotimbale"},        // Low Timbale: middle line
    {67, -2, DrumHead::Cross, "hiagogo"},          // High Agogo: top space
    {68, -1, DrumHead::Cross, "loagogo"},          // Low Agogo: fourth line
    {69, 3, DrumHead::Cross, "cabasa"},            // Cabasa: second line
    {70, 2, DrumHead::Cross, "maracas"},           // Maracas: second space
    {71, -4, DrumHead::Normal, "shortwhistle"},    // Short Whistle: space above the staff
    {72, -4, DrumHead::Normal, "longwhistle"},     // Long Whistle: space above the staff
    {73, 3, DrumHead::Normal, "shortguiro"},       // Short Guiro: second line
    {74, 3, DrumHead::Normal, "longguiro"},        // Long Guiro: second line
    {75, 1, DrumHead::Cross, "claves"},            // Claves: middle line
    {76, -2, DrumHead::Cross, "hiwoodblock"},      // Hi Wood Block: top space
    {77, -1, DrumHead::Cross, "lowoodblock"},      // Low Wood Block: fourth line
    {78, 0, DrumHead::Normal, "mutecuica"},        // Mute Cuica: third space
    {79, 0, DrumHead::Normal, "opencuica"},        // Open Cuica: third space
    {80, -4, DrumHead::Cross, "mutetriangle"},     // Mute Triangle: space above the staff
    {81, -4, DrumHead::Cross, "opentriangle"},     // Open Triangle: space above the staff
}};

namespace detail {
// Each General MIDI drum stands in the table exactly once.
constexpr bool drumTableComplete()
{
    for (int key = kFirstDrumKey; key < kFirstDrumKey + kDrumCount; ++key) {
        int seen = 0;
        for (const DrumNotation& d : kDrumNotation)
            seen += d.key == key ? 1 : 0;
        if (seen != 1)
            return false;
    }
    return true;
}
static_assert(drumTableComplete(), "the drum table must hold every General MIDI drum once");
} // namespace detail

// The notation of a drum key; none for a key General MIDI names no drum for.
const DrumNotation* drumNotationOf(int key);

// The drum a click at a staff step enters: `preferred` (the track's drum) when it stands
// there, else the first drum of the table there; none when no drum stands at the step.
std::optional<int> drumKeyAtStep(int step, int preferred);

// The staff step a note of a drum staff is drawn at: its drum's place, or the position it
// stores when its key is no General MIDI drum.
int drumStaffStep(const Note& n);

// The step a note is drawn at on a staff: a drum staff places it by its drum.
int shownStep(const Note& n, bool percussive);

// The written pitch of a drum staff's step in treble-clef terms, as MusicXML's display-step and
// display-octave give it: step 0 is C5, the third space.
struct DrumDisplay {
    char step;
    int octave;
};
DrumDisplay drumDisplayOfStep(int step);

} // namespace tonvela
