#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tonvela {

class Clock;

// Packs a short MIDI message as the port takes it: status in the low byte, the first data byte
// in the second byte, the second data byte in the third.
constexpr uint32_t packShortMessage(int status, int data1, int data2 = 0)
{
    return static_cast<uint32_t>(status & 0xFF) | (static_cast<uint32_t>(data1 & 0x7F) << 8) |
           (static_cast<uint32_t>(data2 & 0x7F) << 16);
}
constexpr int statusOf(uint32_t message)
{
    return static_cast<int>(message & 0xFF);
}
constexpr int data1Of(uint32_t message)
{
    return static_cast<int>((message >> 8) & 0xFF);
}
constexpr int data2Of(uint32_t message)
{
    return static_cast<int>((message >> 16) & 0xFF);
}

// Both sides at full volume, as playback sets it after opening.
inline constexpr uint32_t kFullVolume = 0xFFFFFFFFu;

// The MIDI output devices of the machine and one of them open at a time: list the devices,
// open one by its number, send packed short messages, set its volume, close it.
//
// A message goes out either at once or stamped with the clock time (microseconds of the
// playback Clock) at which it should sound; a backend that cannot schedule sends a stamped
// message at once. Device numbers are positions in the device list, from 0.
//
// Thread rules:
// - deviceCount and deviceName may be called from any thread at any time: the device list is
//   fixed when the output is built (the user-interface thread fills the "MIDI Device:" list
//   while a sheet plays).
// - open, close, isOpen, setVolume and the sends come from one thread at a time, and the
//   output may be handed from one thread to another between calls, as long as a thread start
//   or join orders the hand-over. The playback driver does exactly this: the user-interface
//   thread opens the device (and sets its volume) in play(), then the playback thread sends
//   every stamped message, the note offs of a stop, and closes the device; the next play()
//   joins that thread before it opens again.
class MidiOutput {
  public:
    virtual ~MidiOutput() = default;

    virtual int deviceCount() const = 0;
    // The device's name as the "MIDI Device:" list shows it; empty for a number out of range.
    virtual std::string deviceName(int device) const = 0;

    // Closes any open device, then opens `device`. False when it cannot be opened.
    virtual bool open(int device) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;

    // Does nothing while no device is open.
    virtual void sendShortMessage(uint32_t message) = 0;
    virtual void sendShortMessageAt(uint32_t message, int64_t /*clockUs*/) { sendShortMessage(message); }
    // Low 16 bits the left side, high 16 bits the right (0xFFFF full). Ignored by devices that
    // have no volume of their own.
    virtual void setVolume(uint32_t leftRight) = 0;
};

// All device names of an output, in device-number order.
std::vector<std::string> deviceNames(const MidiOutput& output);

} // namespace tonvela
