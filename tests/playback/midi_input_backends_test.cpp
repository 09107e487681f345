// The MIDI inputs: the ALSA sequencer input against a virtual keyboard (a sequencer client of
// the test's own) where the machine has the sequencer, and the recorded stand-in the shell's
// tests play keyboards through.

#include "devices/alsa_seq_input.h"
#include "devices/alsa_seq_ports.h"
#include "platform/clock.h"
#include "platform/midi_output.h"
#include "support/recorded_midi_input.h"

#include <alsa/asoundlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace tonvela {
namespace {

// What a receiver got, safe to read from the test's thread.
class Received {
  public:
    MidiInput::Receiver receiver()
    {
        return [this](const MidiInputEvent& e) {
            std::lock_guard lock(m_mutex);
            m_events.push_back(e);
            m_changed.notify_all();
        };
    }
    // Waits up to `timeout` for `count` messages; returns what came.
    std::vector<MidiInputEvent> waitFor(std::size_t count,
                                        std::chrono::milliseconds timeout = std::chrono::milliseconds(2000))
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [&] { return m_events.size() >= count; });
        return m_events;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<MidiInputEvent> m_events;
};

// A virtual keyboard: a sequencer client with a readable port that sends notes to whoever
// subscribed.
class VirtualKeyboard {
  public:
    VirtualKeyboard()
    {
        if (snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0)
            m_seq = nullptr;
        if (!m_seq)
            return;
        snd_seq_set_client_name(m_seq, "Test Keyboard");
        m_port = snd_seq_create_simple_port(m_seq, "Keys", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                            SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    }
    ~VirtualKeyboard()
    {
        if (m_seq)
            snd_seq_close(m_seq);
    }
    bool ready() const { return m_seq && m_port >= 0; }
    void note(bool on, int key, int velocity)
    {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_source(&ev, m_port);
        snd_seq_ev_set_subs(&ev);
        snd_seq_ev_set_direct(&ev);
        if (on)
            snd_seq_ev_set_noteon(&ev, 0, key, velocity);
        else
            snd_seq_ev_set_noteoff(&ev, 0, key, 0);
        snd_seq_event_output_direct(m_seq, &ev);
    }

  private:
    snd_seq_t* m_seq = nullptr;
    int m_port = -1;
};

TEST(MidiInputBackendsTest, TheSequencerInputHearsAVirtualKeyboard)
{
    SteadyClock clock;
    if (!sequencerPresent()) {
        AlsaSeqInput none(clock);
        EXPECT_EQ(none.portCount(), 0) << "no sequencer: no ports, no failure";
        EXPECT_FALSE(none.open(0, [](const MidiInputEvent&) {}));
        GTEST_SKIP() << "this machine has no ALSA sequencer (/dev/snd/seq is missing): the virtual "
                        "keyboard cannot be made; the recorded input is tested instead";
    }
    VirtualKeyboard keyboard;
    ASSERT_TRUE(keyboard.ready());
    AlsaSeqInput input(clock);
    int port = -1;
    for (int p = 0; p < input.portCount(); ++p)
        if (input.portName(p) == "Test Keyboard: Keys")
            port = p;
    ASSERT_GE(port, 0) << "the virtual keyboard is listed";
    Received received;
    const int64_t before = clock.nowUs();
    ASSERT_TRUE(input.open(port, received.receiver()));
    keyboard.note(true, 60, 100);
    keyboard.note(true, 64, 90);
    keyboard.note(false, 60, 0);
    const auto events = received.waitFor(3);
    input.close();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].message, packShortMessage(0x90, 60, 100));
    EXPECT_EQ(events[1].message, packShortMessage(0x90, 64, 90));
    EXPECT_EQ(statusOf(events[2].message) & 0xF0, 0x80);
    EXPECT_GE(events[0].timeUs, before);
    // Closed: nothing more arrives.
    keyboard.note(true, 67, 100);
    EXPECT_EQ(received.waitFor(4, std::chrono::milliseconds(300)).size(), 3u);
}

TEST(MidiInputBackendsTest, TheRecordedInputHandsItsRecordingToTheOpenPortOnly)
{
    RecordedMidiInput input({"One", "Two"});
    EXPECT_EQ(input.portCount(), 2);
    EXPECT_EQ(input.portName(1), "Two");
    EXPECT_EQ(input.portName(2), "");
    Received received;
    input.replay({noteOnAt(60, 0)}); // nothing open
    ASSERT_TRUE(input.open(1, received.receiver()));
    const std::thread::id self = std::this_thread::get_id();
    std::thread::id from;
    ASSERT_TRUE(input.open(0, [&](const MidiInputEvent& e) {
        from = std::this_thread::get_id();
        received.receiver()(e);
    }));
    EXPECT_EQ(input.opened, (std::vector<int>{1, 0}));
    input.replay({noteOnAt(60, 1000), noteOffAt(60, 2000)});
    EXPECT_NE(from, self) << "handed over from a thread of its own";
    EXPECT_EQ(received.waitFor(2).size(), 2u);
    input.close();
    input.play({noteOnAt(62, 3000)});
    EXPECT_EQ(received.waitFor(3, std::chrono::milliseconds(50)).size(), 2u);
    input.failOpen = true;
    EXPECT_FALSE(input.open(0, received.receiver()));
    EXPECT_FALSE(input.isOpen());
}

} // namespace
} // namespace tonvela
