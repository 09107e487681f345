#pragma once

#include "audio/sound_bank.h"
#include "editor/print_paging.h"
#include "platform/clock.h"
#include "platform/notifier.h"
#include "playback/scheduler.h"
#include "render/pdf_printer.h"
#include "score/sounding_notes.h"
#include "shell/documents/sheet_window.h"
#include "shell/file_dialogs.h"
#include "shell/frame/main_window.h"
#include "shell/player.h"
#include "shell/settings_store.h"
#include "support/recorded_midi_input.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tonvela::test {

// Runs the event loop until `done` holds or `timeoutMs` passed; returns `done()`. The default is
// generous: a passing wait ends as soon as `done` holds, and a sanitizer build on a loaded
// machine needs several seconds for the first paint of a window.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        // Windows closed with deleteLater go too, as they would in the running event loop.
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

// What a right click showed: the context menu's items (separators left out), whether each was
// enabled, and where the menu opened.
struct ContextMenuSeen {
    bool opened = false;
    QStringList items;
    QList<bool> enabled;
    QPoint at;
};

// Right-clicks `widget` at `at` (widget coordinates) through its top-level window, as the
// platform delivers a click, so Qt makes the context menu event of it. While the menu is open
// this notes what it shows and triggers the item named `choose` (none: the menu closes without
// a choice).
inline ContextMenuSeen rightClickMenu(QWidget* widget, QPoint at, const QString& choose)
{
    ContextMenuSeen seen;
    // The timer dies with the guard, so it never outlives what it refers to.
    QObject guard;
    QTimer::singleShot(0, &guard, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        seen.opened = true;
        seen.at = menu->pos();
        QAction* chosen = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator())
                continue;
            seen.items << a->text();
            seen.enabled << a->isEnabled();
            if (a->text() == choose)
                chosen = a;
        }
        if (chosen)
            chosen->trigger();
        menu->close();
    });
    QWindow* top = widget->window()->windowHandle();
    EXPECT_NE(top, nullptr);
    if (top)
        QTest::mouseClick(top, Qt::RightButton, Qt::NoModifier, widget->mapTo(widget->window(), at));
    EXPECT_TRUE(seen.opened) << "the context menu opened";
    return seen;
}

// Answers file dialogs from a queue (nullopt = the user cancelled) and records what was asked.
// Every entry of `list` fits the room its field gives the text (the field as laid out now).
inline void expectEntriesFit(const QComboBox* list)
{
    QStyleOptionComboBox option;
    option.initFrom(list);
    option.rect = list->rect();
    const int textRoom =
        list->style()
            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
            .width();
    for (int i = 0; i < list->count(); ++i)
        EXPECT_LE(list->fontMetrics().horizontalAdvance(list->itemText(i).trimmed()), textRoom)
            << list->itemText(i).toStdString() << " in " << list->objectName().toStdString();
}

class ScriptedDialogs : public FileDialogs {
  public:
    struct Asked {
        bool saving = false;
        QStringList filters;
        QString suffix;
        QString suggested; // the name a save dialog proposed
    };

    std::optional<FileChoice> openFile(const QString&, const QStringList& filters,
                                       const QString& suffix) override
    {
        asked.push_back({false, filters, suffix, {}});
        return next();
    }
    std::optional<FileChoice> saveFile(const QString&, const QStringList& filters, const QString& suffix,
                                       const QString& suggested) override
    {
        asked.push_back({true, filters, suffix, suggested});
        return next();
    }
    std::unique_ptr<Printer> choosePrinter(const std::string& name, const QPageLayout* pageLayout) override
    {
        printDocumentNames.push_back(name);
        if (pageLayout)
            printPageLayouts.push_back(*pageLayout);
        if (pdfPath.empty())
            return nullptr;
        return std::make_unique<PdfPrinter>(pdfPath, 600, pageLayout ? *pageLayout : filePageLayout());
    }

    std::deque<std::optional<FileChoice>> answers;
    std::vector<Asked> asked;
    std::string pdfPath; // empty: the print dialog is cancelled
    std::vector<std::string> printDocumentNames;
    std::vector<QPageLayout> printPageLayouts; // the page each print dialog was opened on

  private:
    std::optional<FileChoice> next()
    {
        if (answers.empty())
            return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
};

class FakePlayer : public Player {
  public:
    bool available() const override { return true; }
    bool play(SheetDocument& sheet, PlayMode mode, int device, double from) override
    {
        playing = &sheet;
        lastMode = mode;
        lastDevice = device;
        lastFrom = from;
        ++plays;
        return true;
    }
    void stop() override
    {
        playing = nullptr;
        ++stops;
    }
    bool isPlaying(const SheetDocument* sheet) const override
    {
        return playing && (!sheet || sheet == playing);
    }
    void seek(double fraction) override { seeks.push_back(fraction); }
    void playBankSample(const std::string& path) override { soundRequests.push_back("bank " + path); }
    void playWaveFile(const std::string& path) override { soundRequests.push_back("wave " + path); }
    void playSampleOf(const audio::SoundBank& bank, int index) override
    {
        soundRequests.push_back("sample " + std::to_string(index) + " of " +
                                std::to_string(bank.samples.size()));
    }
    void setView(PlaybackView* v) override { view = v; }
    void setPlayChordSymbols(bool on) override { chordSymbols = on; }
    const SoundingNotes* soundingNotes() const override { return &m_sounding; }

    SheetDocument* playing = nullptr;
    // The note that sounds (track, index), for the windows' highlights; (-1, -1) for none.
    std::pair<int, int> sounding{-1, -1};
    PlaybackView* view = nullptr;
    std::vector<double> seeks;
    std::vector<std::string> soundRequests;
    PlayMode lastMode = PlayMode::Track;
    int lastDevice = -1;
    double lastFrom = -1.0;
    int plays = 0;
    int stops = 0;
    bool chordSymbols = false; // Play > Chord Symbols as the window last set it

  private:
    struct Sounding : SoundingNotes {
        explicit Sounding(const FakePlayer& p) : player(p) {}
        bool sounding(const SheetDocument&, int track, int note) const override
        {
            return player.sounding == std::make_pair(track, note);
        }
        const FakePlayer& player;
    };
    Sounding m_sounding{*this};
};

// A main window with fakes for every service, and a temporary folder for files.
class ShellTest : public ::testing::Test {
  protected:
    ShellTest() { makeWindow(); }

    void makeWindow()
    {
        window.reset();
        ShellServices services{settings,
                               notifier,
                               dialogs,
                               player,
                               clock,
                               [this] { return devices; },
                               [this](const QString& url) { openedUrls << url; },
                               [this](int code) { quitCodes.push_back(code); },
                               &midiInput};
        window = std::make_unique<MainWindow>(services);
    }

    std::string file(const std::string& name) const
    {
        return (dir.path() + "/" + QString::fromStdString(name)).toStdString();
    }
    static std::string example() { return std::string(TONVELA_SOURCE_DIR) + "/examples/ode_to_joy.shd"; }
    std::string errorsText() const
    {
        std::string all;
        for (const auto& m : notifier.messages)
            all += m.caption + ": " + m.text + "\n";
        return all;
    }
    int errorCount() const
    {
        int n = 0;
        for (const auto& m : notifier.messages)
            n += (!m.isQuestion && m.caption == "Error") ? 1 : 0;
        return n;
    }
    static QString title(SheetWindow* w) { return w->parentWidget()->windowTitle(); }

    QTemporaryDir dir;
    MemorySettingsStore settings;
    CollectingNotifier notifier;
    ScriptedDialogs dialogs;
    FakePlayer player;
    SteadyClock clock;
    std::vector<std::string> devices{"Built-in Synthesizer (FluidSynth)", "Second Port"};
    QStringList openedUrls;
    std::vector<int> quitCodes;
    RecordedMidiInput midiInput{{"Recorded Keyboard", "Second Keyboard"}};
    std::unique_ptr<MainWindow> window;
};

} // namespace tonvela::test
