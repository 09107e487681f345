#pragma once

#include "editor/editing/sheet_editor.h"
#include "editor/sheet_view_state.h"
#include "score/sheet_document.h"
#include "shell/documents/document_window.h"
#include "shell/documents/painter_thread.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QScrollBar;

namespace tonvela {

class Clock;
class LyricBox;
class ChordSymbolBox;

// Paint requests of one sheet are honoured at most once per this many milliseconds unless
// the sheet changed.
inline constexpr int kPaintThrottleMs = 10;

// The window of one sheet document inside the main window's document area. It owns the
// document, its view state and its editor; it turns its Qt events into the editor's pointer and
// key records, keeps the scroll bar in step with the view, and shows the picture the painter
// thread paints into its off-screen image.
//
// It follows its document as one of the sheet's observers: the window title, the panels and
// the count of changes the autosave reads.
//
// Thread rules: lives on the user-interface thread. paintOffscreen runs on the painter thread
// under the sheet lock and draws from a copy of the view (its layout result included) that the
// user-interface thread hands over under a small mutex, after every layout with the sheet lock
// still held and before every paint request; so the painter reads nothing the user-interface
// thread changes meanwhile, and never a layout older than the notes it draws. The finished
// picture comes back under another small mutex. The destructor waits until no paint of this
// window is in progress.
class SheetWindow : public QWidget,
                    public DocumentWindow,
                    public PaintTarget,
                    private SheetObserver,
                    private EditorHost {
  public:
    SheetWindow(std::unique_ptr<SheetDocument> sheet, PainterThread& painter, Clock& clock,
                QWidget* parent = nullptr);
    ~SheetWindow() override;

    SheetDocument& sheet() { return *m_sheet; }
    SheetViewState& view() { return m_view; }
    const SheetViewState& view() const { return m_view; }
    SheetEditor& editor() { return m_editor; }
    // The lyric box of lyric mode, a child of this window.
    LyricBox& lyricBox() { return *m_lyricBox; }
    // The chord-symbol box of chord-symbol entry, a child of this window.
    ChordSymbolBox& chordSymbolBox() { return *m_chordBox; }

    // Lays out for the current client size and zoom (after resize, zoom and load).
    void onResize();
    // After every edit: relayout, clamp the scroll position, update the scroll bar, repaint.
    void refresh() { m_editor.relayout(); }
    // Changes of the document so far (not counting changes of the selected track): the
    // autosave copies a document only when this moved since its last copy.
    std::optional<uint64_t> changeCount() const override { return m_changes; }

    // Queues a paint unless one was queued less than 10 ms ago and the sheet did not change
    // since; a throttled request is retried once the 10 ms have passed, so the last state is
    // always painted. Whatever asks for a paint may have moved the current note, so the lyric
    // box follows it here.
    void requestPaint();
    // Marks the sheet changed so that the next paint request passes the throttle.
    void markChanged() { m_changed.store(true); }

    // Paints finished and handed to the window so far.
    int paintsDone() const { return m_paintsDone.load(); }
    // The last finished picture.
    QImage picture() const;

    // Called after layout, caption or track changes (the main window updates its panels).
    std::function<void(SheetWindow&)> onStateChanged;
    // Called after the sheet's tools or entry modes changed, from a key, a box or a command (the
    // main window updates the checks of its menus).
    std::function<void(SheetWindow&)> onToolsChanged;
    // Called after each finished picture reached the screen (start-up measurement).
    std::function<void(SheetWindow&)> onPresented;

    // DocumentWindow
    QWidget& widget() override { return *this; }
    std::string title() const override { return m_sheet->caption; }
    bool isModified() const override { return m_sheet->modified != 0; }
    std::string path() const override { return m_sheet->path; }
    // A sheet saves as a sheet document or, with the MIDI entry, writes its first track as a
    // Standard MIDI File and stays unsaved.
    QStringList saveFilters() const override;
    FileResult saveTo(const std::string& path, const std::string& title, int filterIndex) override;
    // The tracks' settings and note contents, copied under the sheet lock.
    std::optional<RecoveryCopy> recoveryCopy() const override;
    bool canPrint() const override { return true; }
    // Prints through the print paging; the view is laid out for the window again afterwards.
    PrintResult print(Printer& printer) override;
    std::optional<QPageLayout> pageLayout() const override;
    bool answers(int commandId) const override { return m_editor.answers(commandId); }
    bool command(int commandId) override { return m_editor.command(commandId); }
    SheetEditor* sheetEditor() override { return &m_editor; }
    const SheetEditor* sheetEditor() const override { return &m_editor; }
    int midiDevice() const override { return m_midiDevice; }
    bool setMidiDevice(int device) override;
    std::optional<PanelContainer::Panel> panelOnActivation() const override
    {
        return PanelContainer::Panel::Sheet;
    }
    void playbackChanged() override;
    int playPosition() const override { return m_playPosition; }
    void setPlayPosition(int position) override;
    void showMeasure(int measure) override { m_editor.followMeasure(measure); }

    // PaintTarget, on the painter thread under the sheet lock.
    void paintOffscreen() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The right button: the context menu at the pointer, for the track under it.
    void contextMenuEvent(QContextMenuEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // SheetObserver
    void sheetChanged(const SheetChangeEvent& change) override;

    // EditorHost
    void laidOut() override { handOverView(); }
    void layoutChanged() override;
    void scrolled() override;
    void toolsChanged() override;
    void pointerViewChanged() override { requestPaint(); }
    void selectionChanged() override;
    void hoverChanged() override { notifyState(); }
    void statusTextChanged(const std::string& text) override;

    // A pointer move came too soon to be tracked: it is tracked once its interval ends.
    void trackPendingMoveLater();

    void updateScrollBar();
    void notifyState();
    int clientWidth() const;
    // Gives the painter a copy of the view as it is now.
    void handOverView();

    // Deletes the document under the sheet lock, so no thread that reads sheets under the lock
    // is in the middle of this one when it goes.
    struct LockedDelete {
        void operator()(SheetDocument* sheet) const;
    };
    std::unique_ptr<SheetDocument, LockedDelete> m_sheet;
    SheetViewState m_view;
    SheetEditor m_editor;
    int m_midiDevice = 0;
    int m_playPosition = 0;
    PainterThread& m_painter;
    Clock& m_clock;
    QScrollBar* m_scrollBar;
    LyricBox* m_lyricBox;
    ChordSymbolBox* m_chordBox;
    int m_wheelRemainder = 0;

    uint64_t m_changes = 0;

    // The view the painter draws from.
    mutable std::mutex m_shownMutex;
    SheetViewState m_shown;

    std::atomic<bool> m_changed{true};
    std::atomic<bool> m_minimized{false};
    int64_t m_lastPaintMs = -1'000'000;
    bool m_retryPending = false;
    bool m_moveTimerArmed = false;

    mutable std::mutex m_pictureMutex;
    QImage m_picture;
    std::atomic<int> m_paintsDone{0};
};

} // namespace tonvela
