#include "playback/midi_port.h"

#include "platform/clock.h"
#include "platform/notifier.h"
#include "score/note_pitch.h"
#include "score/sheet_document.h"
#include "support/recording_midi_output.h"
#include "theory/key_signature.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

class MidiPortTest : public ::testing::Test {
  protected:
    MidiPortTest() : output(clock, {"Synth", "Port A"}), port(output, notifier, clock) {}

    Note& addNote(Track& t, int key, int type = kTypeQuarter)
    {
        Note& n = t.noteAt(t.count++);
        noteFromMidiKey(n, key);
        n.type = type;
        return n;
    }

    std::vector<int> statuses() const
    {
        std::vector<int> s;
        for (const auto& m : output.messages)
            s.push_back(m.status());
        return s;
    }

    VirtualClock clock;
    RecordingMidiOutput output;
    CollectingNotifier notifier;
    MidiPort port;
    SheetDocument sheet;
};

TEST_F(MidiPortTest, DeviceListFollowsDeviceNumbers)
{
    std::vector<std::string> list;
    port.listDevices(list);
    EXPECT_EQ(list, (std::vector<std::string>{"Synth", "Port A"}));
}

TEST_F(MidiPortTest, OpenSetsFullVolumeAndSettlesTenMillisecondsEachSide)
{
    ASSERT_TRUE(port.open(1));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(output.openDevice(), 1);
    EXPECT_EQ(output.volumes, (std::vector<uint32_t>{0xFFFFFFFFu}));
    EXPECT_EQ(clock.nowMs(), 20);
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(MidiPortTest, FailedOpenSaysCouldNotCreateMidiDeviceAndStaysClosed)
{
    ASSERT_TRUE(port.open(0));
    EXPECT_FALSE(port.open(7));
    EXPECT_FALSE(port.isOpen());
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, "Could not create MIDI device");
    EXPECT_EQ(notifier.messages[0].caption, "Error");

    output.failOpen = true;
    EXPECT_FALSE(port.open(0));
    EXPECT_EQ(notifier.messages.size(), 2u);
}

TEST_F(MidiPortTest, NothingIsSentWhileClosed)
{
    Track& t = *sheet.trackAt(0);
    Note& n = addNote(t, 60);
    port.noteOn(n, t, 0);
    port.noteOff(n, t, 0);
    RecordedEvent e;
    port.eventOn(e, 0);
    EXPECT_TRUE(output.messages.empty());
}

TEST_F(MidiPortTest, NoteOnSendsProgramVolumePanThenNoteOnAtFullVelocity)
{
    Track& t = *sheet.trackAt(0);
    Note& n = addNote(t, 64);
    n.iid = 40;
    n.volume = 90;
    n.pan = 30;
    ASSERT_TRUE(port.open(0));
    port.noteOn(n, t, 0);
    port.noteOff(n, t, 0);
    ASSERT_EQ(output.messages.size(), 5u);
    EXPECT_EQ(output.messages[0].message, packShortMessage(0xC0, 40));
    EXPECT_EQ(output.messages[1].message, packShortMessage(0xB0, 7, 90));
    EXPECT_EQ(output.messages[2].message, packShortMessage(0xB0, 10, 30));
    EXPECT_EQ(output.messages[3].message, packShortMessage(0x90, 64, 127));
    EXPECT_EQ(output.messages[4].message, packShortMessage(0x80, 64, 127));
}

TEST_F(MidiPortTest, SameProgramIsSentOncePerTrackButAgainAfterReopening)
{
    Track& t = *sheet.trackAt(0);
    Note& a = addNote(t, 60);
    Note& b = addNote(t, 62);
    a.iid = b.iid = 0;
    ASSERT_TRUE(port.open(0));
    port.noteOn(a, t, 0);
    port.noteOn(b, t, 0);
    EXPECT_EQ(statuses(), (std::vector<int>{0xC0, 0xB0, 0xB0, 0x90, 0xB0, 0xB0, 0x90}));
    EXPECT_EQ(port.lastProgram(t), 0);

    output.messages.clear();
    ASSERT_TRUE(port.open(0));
    EXPECT_EQ(port.lastProgram(t), kProgramUnsent);
    port.noteOn(a, t, 0);
    EXPECT_EQ(output.messages.front().status(), 0xC0);

    output.messages.clear();
    port.resetProgram(t);
    port.noteOn(b, t, 0);
    EXPECT_EQ(output.messages.front().status(), 0xC0);
}

TEST_F(MidiPortTest, ChannelRuleKeepsMelodicTracksOffThePercussionChannel)
{
    EXPECT_EQ(midiChannelOf(0, false), 0);
    EXPECT_EQ(midiChannelOf(8, false), 8);
    EXPECT_EQ(midiChannelOf(9, false), 11);
    EXPECT_EQ(midiChannelOf(10, false), 12);
    EXPECT_EQ(midiChannelOf(11, false), 11);
    EXPECT_EQ(midiChannelOf(15, false), 15);
    EXPECT_EQ(midiChannelOf(3, true), 9);
    EXPECT_EQ(midiChannelOf(12, true), 9);
    // Channel numbers of 16 and more wrap round and follow the same rule.
    EXPECT_EQ(midiChannelOf(16, false), 0);
    EXPECT_EQ(midiChannelOf(25, false), 11);
    EXPECT_EQ(midiChannelOf(26, false), 12);
    for (int c = 0; c < 64; ++c) {
        const int once = midiChannelOf(c, false);
        EXPECT_LT(once, 16);
        EXPECT_NE(once, 9);
        EXPECT_EQ(midiChannelOf(once, false), once) << "channel number " << c;
    }
}

TEST_F(MidiPortTest, EveryMessageOfANoteUsesTheRuleChannel)
{
    sheet.setTrackCount(11);
    Track& melodic9 = *sheet.trackAt(9);
    Track& drums = *sheet.trackAt(10);
    drums.percussive = 1;
    Note& a = addNote(melodic9, 60);
    Note& b = addNote(drums, 38);
    ASSERT_TRUE(port.open(0));
    port.noteOn(a, melodic9, 9);
    port.noteOff(a, melodic9, 9);
    for (const auto& m : output.messages)
        EXPECT_EQ(m.status() & 0x0F, 11);
    output.messages.clear();
    port.noteOn(b, drums, 10);
    port.noteOff(b, drums, 10);
    for (const auto& m : output.messages)
        EXPECT_EQ(m.status() & 0x0F, 9);
}

TEST_F(MidiPortTest, VolumeAndPanAreClampedAndKept)
{
    Track& t = *sheet.trackAt(0);
    Note& n = addNote(t, 60);
    n.volume = 200;
    n.pan = -4;
    ASSERT_TRUE(port.open(0));
    port.noteOn(n, t, 0);
    EXPECT_EQ(output.messages[1].data2(), 127);
    EXPECT_EQ(output.messages[2].data2(), 0);
    EXPECT_EQ(n.volume, 127);
    EXPECT_EQ(n.pan, 0);
}

TEST_F(MidiPortTest, SoundingPitchAppliesClefKeySignatureAndAccidentals)
{
    Track& t = *sheet.trackAt(0);
    Note n;
    noteFromMidiKey(n, 60);
    EXPECT_EQ(soundingPitch(n, t), 60);
    setStaffKind(t, StaffKind::FClef);
    EXPECT_EQ(soundingPitch(n, t), 52); // the bass clef reads the same position as E
    setStaffKind(t, StaffKind::G2Clef);
    EXPECT_EQ(soundingPitch(n, t), 72);
    setStaffKind(t, StaffKind::GClef);

    // F major: a B (reading the flat reported one step lower) sounds as B flat.
    t.setKeyIndex(8);
    Note b;
    b.setStaffPosition(-6);
    EXPECT_EQ(b.midi, 71);
    EXPECT_EQ(soundingPitch(b, t), 70);
    // The natural mark ignores the key signature.
    b.dwFlag = kFlagNatural;
    EXPECT_EQ(soundingPitch(b, t), 71);
    // A flat mark on a note the key already flattens adds nothing more.
    b.dwFlag = kFlagFlat;
    EXPECT_EQ(soundingPitch(b, t), 70);

    // G major: F is sharpened by the key signature.
    t.setKeyIndex(6);
    ASSERT_EQ(keySignature(6).tonic, 'G');
    Note f;
    f.setStaffPosition(-3);
    EXPECT_EQ(soundingPitch(f, t), 66);
    f.dwFlag = kFlagNatural;
    EXPECT_EQ(soundingPitch(f, t), 65);
    // A courtesy sharp on a note the key already sharpens does not raise it again.
    f.dwFlag = kFlagSharp;
    EXPECT_EQ(soundingPitch(f, t), 66);
    // A sharp on a note the key leaves alone raises it.
    Note e;
    e.setStaffPosition(-2);
    e.dwFlag = kFlagSharp;
    EXPECT_EQ(soundingPitch(e, t), 65);
}

TEST_F(MidiPortTest, RestsAndKeysOutsideTheMidiRangeSendNothing)
{
    Track& t = *sheet.trackAt(0);
    Note& rest = addNote(t, 71);
    rest.dwFlag |= kFlagRest;
    Note& low = addNote(t, 3);
    setStaffKind(t, StaffKind::FClef); // the bass clef reads that position below key 0
    ASSERT_TRUE(port.open(0));
    port.noteOn(rest, t, 0);
    port.noteOff(rest, t, 0);
    port.noteOn(low, t, 0);
    port.noteOff(low, t, 0);
    EXPECT_TRUE(output.messages.empty());
    EXPECT_FALSE(playableKey(low, t).has_value());
}

TEST_F(MidiPortTest, EventsSendTheirOwnProgramEveryTimeOnTheGivenChannel)
{
    RecordedEvent e;
    e.pitch = 50;
    e.velocity = 200;
    e.pan = 130;
    e.program = 12;
    ASSERT_TRUE(port.open(0));
    port.eventOn(e, 10);
    port.eventOn(e, 10);
    port.eventOff(e, 10);
    ASSERT_EQ(output.messages.size(), 9u);
    EXPECT_EQ(output.messages[0].message, packShortMessage(0xCA, 12));
    EXPECT_EQ(output.messages[1].message, packShortMessage(0xBA, 7, 127));
    EXPECT_EQ(output.messages[2].message, packShortMessage(0xBA, 10, 127));
    EXPECT_EQ(output.messages[3].message, packShortMessage(0x9A, 50, 127));
    EXPECT_EQ(output.messages[4].status(), 0xCA);
    EXPECT_EQ(output.messages[8].message, packShortMessage(0x8A, 50, 127));
    EXPECT_EQ(e.velocity, 127);
    EXPECT_EQ(e.pan, 127);
}

TEST_F(MidiPortTest, StampedSendsCarryTheirTimeToTheOutput)
{
    Track& t = *sheet.trackAt(0);
    Note& n = addNote(t, 60);
    ASSERT_TRUE(port.open(0));
    port.noteOn(n, t, 0, 500'000);
    port.noteOff(n, t, 0, 1'000'000);
    ASSERT_EQ(output.messages.size(), 5u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(output.messages[i].stampUs, 500'000);
    EXPECT_EQ(output.messages[4].stampUs, 1'000'000);
    EXPECT_EQ(output.messages[4].clockUs, 20'000);
}

} // namespace
} // namespace tonvela
