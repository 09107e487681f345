#pragma once

#include <array>
#include <string>
#include <vector>

namespace tonvela {

// General MIDI: the name tables of the instrument, group and drum lists, and the channel a
// part plays on. Fixed data, read by the panels, the editor's settings, playback and the
// readers and writers of other formats.
inline constexpr int kInstrumentGroupCount = 16;
inline constexpr int kInstrumentsPerGroup = 8;
inline constexpr int kInstrumentCount = 128;
inline constexpr int kDrumCount = 47;
inline constexpr int kFirstDrumKey = 35; // the key of drum list entry 0
inline constexpr int kPercussionChannel = 9;

const std::array<const char*, kInstrumentGroupCount>& instrumentGroupNames();
// In program order: program = group * 8 + index within the group.
const std::array<const char*, kInstrumentCount>& instrumentNames();
// Entry i names percussion key 35 + i.
const std::array<const char*, kDrumCount>& drumNames();

// The name of a program, empty outside 0..127.
std::string instrumentName(int program);
// The name of a percussion key, empty outside 35..81.
std::string drumName(int key);

// Appends the 16 group names, or the 47 drum names, in table order.
void fillGroupList(std::vector<std::string>& list);
void fillDrumList(std::vector<std::string>& list);
// The eight instrument names of group g (programs 8g..8g+7); empty for a group out of range.
std::vector<std::string> instrumentsOfGroup(int group);

// The MIDI channel (0..15) of a track's channel number. A percussive track plays on channel 9;
// channel numbers 9 and 10 of melodic tracks play on 11 and 12, so no melodic track lands on
// the percussion channel (9 and 11 then share channel 11, 10 and 12 share 12). Channel numbers
// of 16 and more (sheets of more than 16 tracks, imported files) first wrap round modulo 16,
// then follow the same rule, so every track gets a valid channel that is never 9 or 10.
// Applying the rule to its own result gives the same channel.
int midiChannelOf(int channelNumber, bool percussive);

// The percussion key of a drum list entry (entry + 35), and back; -1 when out of range.
int drumKeyOfEntry(int entry);
int drumEntryOfKey(int key);
// The group of a program (program / 8) and its entry within the group (program % 8).
int groupOfProgram(int program);
int entryInGroup(int program);

} // namespace tonvela
