#include "shell_test_support.h"

#include "editor/commands.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"

#include <QAction>
#include <QSlider>

#include <fstream>
#include <thread>

namespace tonvela::test {
namespace {

class PlaybackViewTest : public ShellTest {
  protected:
    // Reports come from the playback thread.
    template <class F> void fromPlaybackThread(F&& f)
    {
        std::thread reporter(std::forward<F>(f));
        reporter.join();
    }
    void reportEnd()
    {
        player.playing = nullptr; // the player has stopped by itself
        fromPlaybackThread([this] { player.view->ended(); });
    }
};

TEST_F(PlaybackViewTest, AtTheEndTheStatusSaysStoppedAndThePlayButtonsComeUp)
{
    window->showAtSavedPlacement();
    SheetWindow* w = window->newSheet(); // an empty sheet: its playback ends at once
    ASSERT_TRUE(window->command(kCmdPlayAll));
    EXPECT_EQ(window->lengthBar()->statusText(), "Playing");
    EXPECT_TRUE(window->action(kCmdPlayAll)->isChecked()) << "Play All is down while it plays";
    EXPECT_FALSE(window->action(kCmdPlay)->isChecked());

    reportEnd();
    ASSERT_TRUE(waitUntil([this] { return window->lengthBar()->statusText() == "Stopped"; }))
        << "an ended playback does not play on for ever";
    EXPECT_FALSE(window->action(kCmdPlayAll)->isChecked());
    EXPECT_EQ(window->lengthBar()->slider()->value(), 0);

    // Play, then Stop: the same.
    ASSERT_TRUE(window->command(kCmdPlay));
    EXPECT_TRUE(window->action(kCmdPlay)->isChecked());
    window->command(kCmdStop);
    EXPECT_EQ(window->lengthBar()->statusText(), "Stopped");
    EXPECT_FALSE(window->action(kCmdPlay)->isChecked());
    // The end report of the stopped playback is still on its way when a new one starts: it
    // is not the new one's end.
    fromPlaybackThread([this] { player.view->ended(); });
    ASSERT_TRUE(window->command(kCmdPlay));
    QApplication::processEvents();
    EXPECT_EQ(window->lengthBar()->statusText(), "Playing") << title(w).toStdString();
    EXPECT_TRUE(window->action(kCmdPlay)->isChecked());
}

TEST_F(PlaybackViewTest, TheSliderMovedWhileStoppedSetsWherePlayStarts)
{
    window->showAtSavedPlacement();
    ASSERT_TRUE(window->openFile(example())) << errorsText();
    window->lengthBar()->onPositionChosen(192);
    EXPECT_TRUE(player.seeks.empty()) << "nothing plays, nothing to seek";
    EXPECT_EQ(window->lengthBar()->slider()->value(), 192);
    EXPECT_NE(window->lengthBar()->currentText(), "00:00") << "the time at the new start";
    ASSERT_TRUE(window->command(kCmdPlay));
    EXPECT_DOUBLE_EQ(player.lastFrom, 0.5);
    // While it plays the slider seeks.
    window->lengthBar()->onPositionChosen(96);
    ASSERT_EQ(player.seeks.size(), 1u);
    EXPECT_DOUBLE_EQ(player.seeks[0], 0.25);
    // After the end the next Play starts from the beginning.
    reportEnd();
    ASSERT_TRUE(waitUntil([this] { return window->lengthBar()->statusText() == "Stopped"; }));
    ASSERT_TRUE(window->command(kCmdPlay));
    EXPECT_DOUBLE_EQ(player.lastFrom, 0.0);
}

TEST_F(PlaybackViewTest, ANewDocumentShowsItsOwnPosition)
{
    window->showAtSavedPlacement();
    ASSERT_TRUE(window->openFile(example())) << errorsText();
    SheetWindow* playing = window->activeSheet();
    ASSERT_TRUE(window->command(kCmdPlayAll));
    fromPlaybackThread([this] {
        PlaybackView::Progress p;
        p.elapsedMs = 7'292; // 200 of the slider's 384
        p.totalMs = 14'000;
        player.view->progress(p, 0);
    });
    ASSERT_TRUE(waitUntil([this] { return window->lengthBar()->currentText() == "00:07"; }));
    EXPECT_EQ(window->lengthBar()->slider()->value(), 200);

    window->newSheet();
    EXPECT_EQ(window->lengthBar()->slider()->value(), 0);
    EXPECT_EQ(window->lengthBar()->currentText(), "00:00");
    EXPECT_EQ(window->lengthBar()->statusText(), "Stopped");
    // Reports of the other sheet's playback go to that sheet, not to the bar of this one.
    fromPlaybackThread([this] {
        PlaybackView::Progress p;
        p.elapsedMs = 9'115; // 250 of 384
        p.totalMs = 14'000;
        player.view->progress(p, 0);
    });
    QApplication::processEvents();
    EXPECT_EQ(window->lengthBar()->slider()->value(), 0);
    EXPECT_EQ(window->lengthBar()->currentText(), "00:00");
    window->activate(playing);
    EXPECT_EQ(window->lengthBar()->statusText(), "Playing");
    EXPECT_EQ(playing->playPosition(), 250);
}

TEST_F(PlaybackViewTest, AHeldPositionLeavesTheSliderWhereTheUserPutIt)
{
    window->showAtSavedPlacement();
    ASSERT_TRUE(window->openFile(example())) << errorsText();
    ASSERT_TRUE(window->command(kCmdPlayAll));
    // The user drags the slider to 300.
    window->lengthBar()->slider()->setValue(300);
    window->lengthBar()->onPositionChosen(300);
    fromPlaybackThread([this] {
        PlaybackView::Progress p;
        p.elapsedMs = 1'000;
        p.totalMs = 14'000;
        p.positionHeld = true; // the seek is still being carried out
        player.view->progress(p, 0);
    });
    ASSERT_TRUE(waitUntil([this] { return window->lengthBar()->currentText() == "00:01"; }));
    EXPECT_EQ(window->lengthBar()->slider()->value(), 300) << "the time shows, the slider stays";
    EXPECT_EQ(window->activeSheet()->playPosition(), 300);
}

TEST_F(PlaybackViewTest, SheetWindowsAskThePlayerWhatSounds)
{
    window->showAtSavedPlacement();
    SheetWindow* w = window->newSheet();
    EXPECT_EQ(w->view().soundingNotes, player.soundingNotes());
    ASSERT_NE(w->view().soundingNotes, nullptr);
    player.sounding = {0, 0};
    EXPECT_TRUE(w->view().isSounding(0, 0));
    EXPECT_FALSE(w->view().isSounding(0, 1));
}

TEST_F(PlaybackViewTest, TheWindowFollowsPlaybackToTheRowBeingPlayed)
{
    window->showAtSavedPlacement();
    // A long single-track sheet: many rows below the window.
    std::string text = "<staffdoc>\r\n<track>\r\n";
    for (int i = 0; i < 400; ++i)
        text += "<note\r\nmidi=60 type=1028 line=" + std::to_string(i % 7) + " >\r\n</note>\r\n";
    text += "</track>\r\n</staffdoc>\r\n";
    const std::string path = file("long.shd");
    std::ofstream(path, std::ios::binary) << text;
    ASSERT_TRUE(window->openFile(path)) << errorsText();
    SheetWindow* w = window->activeSheet();
    w->onResize();
    ASSERT_GT(w->view().scrollRange, 5) << "the sheet is longer than its window";
    const int lastMeasure = w->view().measuresInUse(0);
    ASSERT_GT(lastMeasure, 20);
    const int row = w->view().measures(0)[static_cast<std::size_t>(lastMeasure - 1)].rowIndex;
    ASSERT_GT(row, 5);
    EXPECT_EQ(w->view().firstVisibleRow, 0);

    ASSERT_TRUE(window->command(kCmdPlay));
    fromPlaybackThread([this, lastMeasure] { player.view->followMeasure(lastMeasure - 1, 0); });
    ASSERT_TRUE(waitUntil([w] { return w->view().firstVisibleRow != 0; }));
    EXPECT_EQ(w->view().firstVisibleRow, std::min(row, w->view().scrollRange));
    // A measure in view does not scroll.
    const int first = w->view().firstVisibleRow;
    fromPlaybackThread([this, lastMeasure] { player.view->followMeasure(lastMeasure - 1, 0); });
    QApplication::processEvents();
    EXPECT_EQ(w->view().firstVisibleRow, first);
    fromPlaybackThread([this] { player.view->followMeasure(1, 0); });
    ASSERT_TRUE(waitUntil([w] { return w->view().firstVisibleRow == 0; }));
}

} // namespace
} // namespace tonvela::test
