#include "theory/general_midi.h"

namespace tonvela {

// The names are spelled as the option panels have always shown them (including
// "Elettric Piano2" and "Skakuhachi"); settings and users' habits rely on these texts.
const std::array<const char*, kInstrumentGroupCount>& instrumentGroupNames()
{
    static const std::array<const char*, kInstrumentGroupCount> kNames = {
        "Piano",         "Chrom Percussion", "Organ",         "Guitar", "Bass",
        "Strings",       "Ensemble",         "Brass",         "Reed",   "Pipe",
        "Synth Lead",    "Synth Pad",        "Synth Effects", "Ethnic", "Percussive",
        "Sound Effects",
    };
    return kNames;
}

const std::array<const char*, kInstrumentCount>& instrumentNames()
{
    static const std::array<const char*, kInstrumentCount> kNames = {
        "Acoustic Grand",
        "Bright Acoustic",
        "Electric Grand",
        "Honky-Tonk",
        "Electric Piano1",
        "Elettric Piano2",
        "Harpsichord",
        "Clav",
        "Celesta",
        "Glockenspiel",
        "Music Box",
        "Vibraphone",
        "Marimba",
        "Xylophone",
        "Tubular Bells",
        "Dulcimer",
        "Drawbar Organ",
        "Percussive Organ",
        "Rock Organ",
        "Church Organ",
        "Reed Organ",
        "Accordion",
        "Harmonica",
        "Tango Accordion",
        "Acoustic Guitar(nylon)",
        "Acoustic Guitar(steel)",
        "Electric Guitar(jazz)",
        "Electric Guitar(clean)",
        "Electric Guitar(muted)",
        "Overdriven Guitar",
        "Distortion Guitar",
        "Guitar Harmonics",
        "Acoustic Bass",
        "Electric Bass(finger)",
        "Electric Bass(pick)",
        "Fretless Bass",
        "Slap Bass 1",
        "Slap Bass 2",
        "Synth Bass 1",
        "Synth Bass 2",
        "Violin",
        "Viola",
        "Cello",
        "Contrabass",
        "Tremolo Strings",
        "Pizzicato Strings",
        "Harp",
        "Timpani",
        "String Ensemble 1",
        "String Ensemble 2",
        "SynthStrings 1",
        "SynthStrings 2",
        "Choir Aahs",
        "Voice Oohs",
        "Synth Voice",
        "Orchestra Hit",
        "Trumpet",
        "Trombone",
        "Tuba",
        "Muted Trumpet",
        "French Horn",
        "Brass Section",
        "Synth Brass 1",
        "Synth Brass 2",
        "Soprano Sax",
        "Alto Sax",
        "Tenor Sax",
        "Baritone Sax",
        "Oboe",
        "English Horn",
        "Bassoon",
        "Clarinet",
        "Piccolo",
        "Flute",
        "Recorder",
        "Pan Flute",
        "Blown Bottle",
        "Skakuhachi",
        "Whistle",
        "Ocarina",
        "Square Wave",
        "Sawtooth Wave",
        "Synth Calliope",
        "Chiff Lead",
        "Charang",
        "Solo Voice",
        "5th Sawtooth Wave",
        "Bass & Lead",
        "New Age",
        "Warm Pad",
        "Polysynth",
        "Space Choir",
        "Bowed Glass",
        "Metallic Pad",
        "Halo Pad",
        "Sweep Pad",
        "rain",
        "soundtrack",
        "crystal",
        "atmosphere",
        "brightness",
        "goblins",
        "echoes",
        "sci-fi",
        "Sitar",
        "Banjo",
        "Shamisen",
        "Koto",
        "Kalimba",
        "Bagpipe",
        "Fiddle",
        "Shanai",
        "Tinkle Bell",
        "Agogo",
        "Steel Drums",
        "Woodblock",
        "Taiko Drum",
        "Melodic Tom",
        "Synth Drum",
        "Reverse Cymbal",
        "Guitar Fret Noise",
        "Breath Noise",
        "Seashore",
        "Bird Tweet",
        "Telephone Ring",
        "Helicopter",
        "Applause",
        "Gunshot",
    };
    return kNames;
}

const std::array<const char*, kDrumCount>& drumNames()
{
    static const std::array<const char*, kDrumCount> kNames = {
        "Acoustic Bass Drum",
        "Bass Drum 1",
        "Side Stick",
        "Acoustic Snare",
        "Hand Clap",
        "Electric Snare",
        "Low Floor Tom",
        "Closed Hi Hat",
        "High Floor Tom",
        "Pedal Hi-Hat",
        "Low Tom",
        "Open Hi-Hat",
        "Low-Mid Tom",
        "Hi-Mid Tom",
        "Crash Cymbal 1",
        "High Tom",
        "Ride Cymbal 1",
        "Chinese Cymbal",
        "Ride Bell",
        "Tambourine",
        "Splash Cymbal",
        "Cowbell",
        "Crash Cymbal 2",
        "Vibraslap",
        "Ride Cymbal 2",
        "Hi Bongo",
        "Low Bongo",
        "Mute Hi Conga",
        "Open Hi Conga",
        "Low Conga",
        "High Timbale",
        "Low Timbale",
        "High Agogo",
        "Low Agogo",
        "Cabasa",
        "Maracas",
        "Short Whistle",
        "Long Whistle",
        "Short Guiro",
        "Long Guiro",
        "Claves",
        "Hi Wood Block",
        "Low Wood Block",
        "Mute Cuica",
        "Open Cuica",
        "Mute Triangle",
        "Open Triangle",
    };
    return kNames;
}

std::string instrumentName(int program)
{
    if (program < 0 || program >= kInstrumentCount)
        return {};
    return instrumentNames()[static_cast<std::size_t>(program)];
}

std::string drumName(int key)
{
    const int entry = drumEntryOfKey(key);
    return entry < 0 ? std::string() : std::string(drumNames()[static_cast<std::size_t>(entry)]);
}

void fillGroupList(std::vector<std::string>& list)
{
    for (const char* n : instrumentGroupNames())
        list.emplace_back(n);
}

void fillDrumList(std::vector<std::string>& list)
{
    for (const char* n : drumNames())
        list.emplace_back(n);
}

std::vector<std::string> instrumentsOfGroup(int group)
{
    std::vector<std::string> names;
    if (group < 0 || group >= kInstrumentGroupCount)
        return names;
    for (int i = 0; i < kInstrumentsPerGroup; ++i)
        names.emplace_back(instrumentNames()[static_cast<std::size_t>(group * kInstrumentsPerGroup + i)]);
    return names;
}

int drumKeyOfEntry(int entry)
{
    return entry >= 0 && entry < kDrumCount ? entry + kFirstDrumKey : -1;
}

int drumEntryOfKey(int key)
{
    const int entry = key - kFirstDrumKey;
    return entry >= 0 && entry < kDrumCount ? entry : -1;
}

int groupOfProgram(int program)
{
    return program / kInstrumentsPerGroup;
}
int entryInGroup(int program)
{
    return program % kInstrumentsPerGroup;
}

int midiChannelOf(int channelNumber, bool percussive)
{
    if (percussive)
        return kPercussionChannel;
    const int c = ((channelNumber % 16) + 16) % 16;
    return (c == 9 || c == 10) ? c + 2 : c;
}

} // namespace tonvela
