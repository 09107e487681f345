#pragma once

#include "score/sounding_pitch.h"
#include "theory/general_midi.h" // the channel rule

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tonvela {

struct Note;
class Track;
struct RecordedEvent;
class MidiOutput;
class Notifier;
class Clock;

// Message kinds the port sends (ORed with the channel).
inline constexpr int kNoteOff = 0x80;
inline constexpr int kNoteOn = 0x90;
inline constexpr int kControlChange = 0xB0;
inline constexpr int kProgramChange = 0xC0;
inline constexpr int kControllerVolume = 7;
inline constexpr int kControllerPan = 10;
inline constexpr int kFullVelocity = 127;
// The program a track "last sent" at the start of a playback, so its first note always sends
// a program change.
inline constexpr int kProgramUnsent = 343434;
// Passed as a send time: send at once.
inline constexpr int64_t kSendNow = -1;

inline constexpr const char* kMidiDeviceError = "Could not create MIDI device";
inline constexpr const char* kErrorCaption = "Error";

// The sounding pitch (score/sounding_pitch.h) as a MIDI key; none for a rest or a pitch
// outside 0..127 (such a note is not sent).
std::optional<int> playableKey(const Note& note, const Track& track);

// The application's one MIDI port: opens the chosen output device for the length of a
// playback, turns notes and recorded events into the short messages that sound and silence
// them, and remembers which program each track sent last.
//
// Only program change, controllers 7 (volume) and 10 (pan), note on and note off are sent.
// Every send takes an optional time (microseconds of the playback clock) at which the message
// should sound; a scheduler that runs ahead of the clock passes it, so the output applies each
// message at its exact time.
//
// Thread rules: those of the MidiOutput it drives: one thread at a time, handed over by a
// thread start or join. The playback driver opens the port on the user-interface thread; its
// playback thread then sends and closes. listDevices may be called from any thread. The port
// neither locks nor waits except in open.
class MidiPort {
  public:
    MidiPort(MidiOutput& output, Notifier& notifier, Clock& clock);

    // Appends the device names, in device-number order, so a list position is a device number.
    void listDevices(std::vector<std::string>& list) const;

    // Closes any open device, opens `device` and sets it to full volume. On failure shows
    // "Could not create MIDI device" (caption "Error") and returns false; the port stays closed.
    bool open(int device);
    void close();
    bool isOpen() const;

    // The program last sent for a track; kProgramUnsent after reset (and after every open).
    int lastProgram(const Track& track) const;
    void resetProgram(const Track& track);

    // Sounds a note of `track`: program change when the note's program differs from the one
    // last sent for the track, then volume and pan, then note on (velocity 127; the loudness
    // is the volume controller). Clamps the note's volume and pan into 0..127 and keeps the
    // clamped values. Nothing when the port is closed, the note is a rest or has no valid key.
    void noteOn(Note& note, const Track& track, int channel, int64_t atUs = kSendNow);
    void noteOff(const Note& note, const Track& track, int channel, int64_t atUs = kSendNow);

    // A recorded event sounds with its own pitch, volume, pan and program, on the channel given
    // (no channel rule): program change every time, volume, pan, note on. Volume and pan above
    // 127 are clamped and kept.
    void eventOn(RecordedEvent& event, int channel, int64_t atUs = kSendNow);
    void eventOff(const RecordedEvent& event, int channel, int64_t atUs = kSendNow);

  private:
    void send(int status, int data1, int data2, int64_t atUs);

    MidiOutput& m_output;
    Notifier& m_notifier;
    Clock& m_clock;
    std::unordered_map<const Track*, int> m_lastProgram;
};

} // namespace tonvela
