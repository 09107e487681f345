#include "playback/midi_port.h"

#include "platform/clock.h"
#include "platform/midi_output.h"
#include "platform/notifier.h"
#include "score/note.h"
#include "score/track.h"
#include "theory/general_midi.h"

#include <algorithm>

namespace tonvela {
namespace {

constexpr int kOpenSettleMs = 10;

// A channel number as a valid MIDI channel, for events that carry their own.
int wrapChannel(int channel)
{
    return ((channel % 16) + 16) % 16;
}

} // namespace

std::optional<int> playableKey(const Note& note, const Track& track)
{
    if (note.isRest())
        return std::nullopt;
    const int pitch = soundingPitch(note, track);
    if (pitch < 0 || pitch > 127)
        return std::nullopt;
    return pitch;
}

MidiPort::MidiPort(MidiOutput& output, Notifier& notifier, Clock& clock)
    : m_output(output), m_notifier(notifier), m_clock(clock)
{
}

void MidiPort::listDevices(std::vector<std::string>& list) const
{
    const int n = m_output.deviceCount();
    for (int i = 0; i < n; ++i)
        list.push_back(m_output.deviceName(i));
}

bool MidiPort::open(int device)
{
    m_clock.sleepMs(kOpenSettleMs);
    m_output.close();
    m_lastProgram.clear();
    if (!m_output.open(device)) {
        m_notifier.error(kMidiDeviceError, kErrorCaption);
        return false;
    }
    m_output.setVolume(kFullVolume);
    m_clock.sleepMs(kOpenSettleMs);
    return true;
}

void MidiPort::close()
{
    m_output.close();
}

bool MidiPort::isOpen() const
{
    return m_output.isOpen();
}

int MidiPort::lastProgram(const Track& track) const
{
    const auto it = m_lastProgram.find(&track);
    return it == m_lastProgram.end() ? kProgramUnsent : it->second;
}

void MidiPort::resetProgram(const Track& track)
{
    m_lastProgram[&track] = kProgramUnsent;
}

void MidiPort::send(int status, int data1, int data2, int64_t atUs)
{
    const uint32_t msg = packShortMessage(status, data1, data2);
    if (atUs == kSendNow)
        m_output.sendShortMessage(msg);
    else
        m_output.sendShortMessageAt(msg, atUs);
}

void MidiPort::noteOn(Note& note, const Track& track, int channel, int64_t atUs)
{
    if (!isOpen())
        return;
    note.volume = std::clamp(note.volume, 0, 127);
    note.pan = std::clamp(note.pan, 0, 127);
    const std::optional<int> key = playableKey(note, track);
    if (!key)
        return;
    // The program change goes to the same channel as the note it is for.
    const int c = midiChannelOf(channel, track.percussive == 1);
    const int program = std::clamp(note.iid, 0, 127);
    int& last = m_lastProgram.try_emplace(&track, kProgramUnsent).first->second;
    if (note.iid != last) {
        send(kProgramChange | c, program, 0, atUs);
        last = note.iid;
    }
    send(kControlChange | c, kControllerVolume, note.volume, atUs);
    send(kControlChange | c, kControllerPan, note.pan, atUs);
    send(kNoteOn | c, *key, kFullVelocity, atUs);
}

void MidiPort::noteOff(const Note& note, const Track& track, int channel, int64_t atUs)
{
    if (!isOpen())
        return;
    const std::optional<int> key = playableKey(note, track);
    if (!key)
        return;
    send(kNoteOff | midiChannelOf(channel, track.percussive == 1), *key, kFullVelocity, atUs);
}

void MidiPort::eventOn(RecordedEvent& event, int channel, int64_t atUs)
{
    if (!isOpen())
        return;
    event.velocity = std::min<uint8_t>(event.velocity, 127);
    event.pan = std::min<uint8_t>(event.pan, 127);
    const int c = wrapChannel(channel);
    send(kProgramChange | c, event.program & 0x7F, 0, atUs);
    send(kControlChange | c, kControllerVolume, event.velocity, atUs);
    send(kControlChange | c, kControllerPan, event.pan, atUs);
    send(kNoteOn | c, event.pitch & 0x7F, kFullVelocity, atUs);
}

void MidiPort::eventOff(const RecordedEvent& event, int channel, int64_t atUs)
{
    if (!isOpen())
        return;
    send(kNoteOff | wrapChannel(channel), event.pitch & 0x7F, kFullVelocity, atUs);
}

} // namespace tonvela
