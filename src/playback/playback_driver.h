#pragma once

#include "platform/midi_output.h"
#include "playback/midi_port.h"
#include "playback/play_marks.h"
#include "playback/scheduler.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tonvela {

class Clock;
class Notifier;
class SheetDocument;

// Sits between the scheduler and a device: keeps the stamped messages of one scheduler cycle
// and hands them on in time order when flushed. Within a cycle the scheduler sends track by
// track, so a later track's earlier message would otherwise queue behind an earlier track's
// later one in a device that plays its queue in order. Messages sent without a time pass
// straight through.
//
// Thread rules: as MidiOutput; flush() on the same thread as the sends.
class OrderedMidiOutput : public MidiOutput {
  public:
    explicit OrderedMidiOutput(MidiOutput& target) : m_target(target) {}

    int deviceCount() const override { return m_target.deviceCount(); }
    std::string deviceName(int device) const override { return m_target.deviceName(device); }
    bool open(int device) override;
    bool isOpen() const override { return m_target.isOpen(); }
    void close() override;
    void sendShortMessage(uint32_t message) override;
    void sendShortMessageAt(uint32_t message, int64_t clockUs) override;
    void setVolume(uint32_t leftRight) override { m_target.setVolume(leftRight); }

    // Hands every kept message on, earliest first (messages of equal time in sending order).
    void flush();
    std::size_t pending() const { return m_pending.size(); }

  private:
    struct Pending {
        int64_t clockUs;
        uint32_t message;
    };
    MidiOutput& m_target;
    std::vector<Pending> m_pending;
};

// Plays a sheet in real time on a playback thread of its own, so that timing does not depend on
// how busy the user-interface thread is. The thread steps the scheduler `lookahead` ahead of
// the clock every `period` and hands each message to the device with the ideal time the
// scheduler computed for it: the built-in synthesizer applies it at that time's sample, an ALSA
// port gets it as a scheduled event. A cycle late by less than the lookahead (a relayout holding
// the sheet lock, a loaded machine) therefore costs no accuracy, and steps still join end to
// start when it is later than that.
//
// Owns the port, the scheduler, the marks of what sounds and the thread; the output, notifier,
// clock, clip slots and view are borrowed and must outlive it. The sheet must stay alive until stop() or the
// end.
//
// Thread rules: play, stop, seek, isPlaying and wait are called from one thread (the user-
// interface thread). play() opens the output on that thread (and shows a failure through the
// notifier there), then hands the output to the playback thread: from then on, until stop() or
// wait() has joined that thread, only the playback thread sends, and it closes the output at
// the end; the caller may still read the output's device list. The clip slots are started,
// polled and stopped on the playback thread, and the view is called there, under the sheet
// lock.
class PlaybackDriver {
  public:
    struct Options {
        int64_t lookaheadUs = 50'000;
        int64_t periodUs = 1'000;
        // Where what sounds is marked (read under the sheet lock); the driver's own when null.
        PlayMarks* marks = nullptr;
    };

    PlaybackDriver(MidiOutput& output, Notifier& notifier, Clock& clock, ClipSlots& clips,
                   PlaybackView* view = nullptr);
    PlaybackDriver(MidiOutput& output, Notifier& notifier, Clock& clock, ClipSlots& clips, PlaybackView* view,
                   Options options);

    // What the playback holds on, for views to highlight; read under the sheet lock. Lives as
    // long as the driver (or the marks given in the options), through every playback.
    const SoundingNotes& soundingNotes() const { return *m_marks; }
    ~PlaybackDriver();
    PlaybackDriver(const PlaybackDriver&) = delete;
    PlaybackDriver& operator=(const PlaybackDriver&) = delete;

    // Stops a running playback, opens `device` (on failure "Could not create MIDI device" is
    // shown and false returned) and starts playing, from fraction `from` of the lead track's
    // length when it is above 0. False as well when the sheet has nothing to play; the port
    // is closed again then.
    bool play(SheetDocument& sheet, PlayMode mode, int device, double from = 0.0);
    // Whether the next playbacks sound the sheet's chord symbols (Scheduler::setChordSymbols).
    void setChordSymbols(bool on) { m_chordSymbols = on; }
    // Silences every sounding note at once, clears the highlights, waits 100 ms and closes the
    // port. Returns when all that is done. Nothing when nothing plays.
    void stop();
    // Moves the playback to fraction `f` of the lead track's length at the next cycle.
    void seek(double f);
    bool isPlaying() const { return m_running.load(std::memory_order_acquire); }
    // Waits until the playback has ended and the port is closed, at most `timeoutUs` of the
    // steady clock (negative: without limit). True when it has ended.
    bool wait(int64_t timeoutUs = -1);

    // The clock time of playback time 0 of the current or last playback.
    int64_t originUs() const { return m_originUs; }

  private:
    void run();
    void finish();

    MidiOutput& m_target;
    OrderedMidiOutput m_ordered;
    MidiPort m_port;
    Clock& m_clock;
    ClipSlots& m_clips;
    PlaybackView* m_view;
    Options m_options;
    PlayMarks m_ownMarks;
    PlayMarks* m_marks;
    std::unique_ptr<Scheduler> m_scheduler;
    bool m_chordSymbols = false;
    SheetDocument* m_sheet = nullptr;
    int64_t m_originUs = 0;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_seekPending{false};
    std::atomic<double> m_seekTo{0.0};
    std::mutex m_doneMutex;
    std::condition_variable m_done;
};

} // namespace tonvela
