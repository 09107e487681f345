#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

class Notifier;
class MarkupTree;
struct GuitarChordEntry;
class GuitarChordLibrary;

inline constexpr int kMaxDiagrams = 32;
// Label and fingering are 32-byte fields: 31 characters and the terminator.
inline constexpr std::size_t kMaxDiagramTextLength = 31;
inline constexpr const char* kChordDocumentFullMessage =
    "This chord document already holds 32 diagrams, the most a page can take. "
    "Remove a diagram or start a new chord document to add another.";

// One guitar chord diagram on a chord document's page. The box and origin are set by the
// page layout each time the page is placed.
struct ChordDiagram {
    int32_t quality = 0;   // quality code; diagrams added from the library store 0
    int32_t startFret = 1; // 1 = the diagram starts at the nut
    int32_t boxLeft = 0, boxTop = 0, boxRight = 0, boxBottom = 0;
    int16_t originX = 0, originY = 0;
    std::string label;     // root followed by the quality symbol ("Bbdim", "A")
    std::string fingering; // six string triples (see GuitarChordEntry)
    uint8_t selected = 0;
};

struct PageRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// What the chord document tells the window that shows it. The window implements it; the
// model and the tests work without one.
class ChordDocumentView {
  public:
    virtual ~ChordDocumentView() = default;
    virtual void repaint(const PageRect& /*area*/) {}
    virtual void repaintAll() {}
    virtual void windowTextChanged(const std::string& /*text*/) {}
    // The scroll bar's range is 0..maximum and its thumb at position.
    virtual void scrollRangeChanged(int /*maximum*/, int /*position*/) {}
};

// The page arrangement of a chord document: diagrams in columns of rowsPerColumn, 200 units
// apart vertically and 140 horizontally, the first origin at (40, 40), scrolled by whole
// columns. A diagram's box reaches from 20 left of and above its origin to 125 right of and 170
// below it.
inline constexpr int kChordPageMargin = 40;
inline constexpr int kChordRowStep = 200;
inline constexpr int kChordColumnStep = 140;
// Room a diagram needs below its origin for a row of the page to hold it.
inline constexpr int kChordDiagramHeight = 165;
inline constexpr int kChordBoxLeft = 20, kChordBoxTop = 20, kChordBoxRight = 125, kChordBoxBottom = 170;

// How many diagrams a column of a page this high holds: the rows whose origin lies at most
// kChordDiagramHeight above the bottom, and at least one.
int chordRowsPerColumn(int pageHeight);

// Changes of the diagram list that can be undone, at most this many back.
inline constexpr std::size_t kChordUndoDepth = 100;

struct ChordPageState {
    int width = 0;
    int height = 0;
    int rowsPerColumn = 1;
    int scrollMax = 0;
    int scrollPos = 0;
    int hovered = -1; // index of the diagram under the pointer
    int cursorX = 40; // where the next diagram goes
    int cursorY = 40;
};

enum class PageScroll { LineLeft, LineRight, PageLeft, PageRight };

// A page of up to 32 guitar chord diagrams, saved as a "chorddoc" file.
//
// Owns its diagrams and the markup tree of the last file read. Thread rules: owned by the
// user-interface thread; the painter reads it only while that thread waits.
class ChordDocument {
  public:
    ChordDocument();
    ~ChordDocument();
    ChordDocument(const ChordDocument&) = delete;
    ChordDocument& operator=(const ChordDocument&) = delete;

    std::string title;
    std::string path;
    uint8_t modified = 0;
    uint8_t pressed = 0;
    // Line end used when the document is written: CR LF for new documents, the file's own
    // for documents read from a file, so a file that goes through unchanged stays the same.
    std::string lineEnd = "\r\n";

    const std::vector<ChordDiagram>& diagrams() const { return m_diagrams; }
    int diagramCount() const { return static_cast<int>(m_diagrams.size()); }
    const ChordDiagram* diagramAt(int index) const;
    bool full() const { return diagramCount() >= kMaxDiagrams; }

    // Appends a diagram labelled root + symbol. A full page refuses it: the notifier, when
    // given, shows why, and the document is unchanged. Returns whether it was added.
    bool addDiagram(std::string_view root, std::string_view symbol, std::string_view fingering, int startFret,
                    Notifier* notifier = nullptr);
    // Finds the first library shape with this root, quality name and start fret and adds it.
    // Returns false when there is no such shape or the page is full.
    bool addDiagramFromLibrary(const GuitarChordLibrary& library, std::string_view root,
                               std::string_view qualityName, int startFret, Notifier* notifier = nullptr);
    // Removing and clearing mark the document modified when they removed anything, so its
    // window asks before the change is lost with it.
    void removeDiagram(int index);
    void removeSelectedDiagrams();
    void clearDiagrams();
    // Replaces every diagram (a file read); nothing beyond kMaxDiagrams is kept. The undo
    // history starts anew.
    void setDiagrams(std::vector<ChordDiagram> diagrams);
    void setSelected(int index, bool selected);
    void selectAll();
    bool anySelected() const;

    // Undo and redo of the changes to the diagram list (adding, removing, clearing); the
    // selection comes back with the diagrams. Each marks the document modified. False when
    // there was nothing to undo or redo.
    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    bool undo();
    bool redo();

    void markModified();
    // The title, followed by "*" while modified.
    std::string windowText() const;
    // Tells the window the current window text (after title or modified changed directly).
    void refreshWindowText();

    // Page layout and the operations of the page's window.
    const ChordPageState& page() const { return m_page; }
    void resizePage(int width, int height);
    void layoutPage();
    // Sets every visible diagram's box and origin as the page drawing places them.
    void placeDiagrams();
    // The first placed diagram whose box strictly contains the point, or -1.
    int diagramAtPoint(int x, int y) const;
    void hover(int x, int y);
    void pressLeft();
    // Release of the left button: toggles the diagram under the pointer, or clears every
    // selection when there is none. `dragging` is true while a rubber band is drawn.
    void releaseLeft(int x, int y, bool dragging);
    void scroll(PageScroll action);
    // Mouse wheel: forward moves one column to the left.
    void wheel(bool forward);
    // Makes `column` (kept within 0..scrollMax) the first visible column.
    void scrollTo(int column);

    void setView(ChordDocumentView* view) { m_view = view; }

    // The tree of the last file read, kept with the document.
    void keepTree(std::unique_ptr<MarkupTree> tree);
    const MarkupTree* tree() const { return m_tree.get(); }

  private:
    void changed();
    void setScrollPos(int pos);
    using History = std::vector<std::vector<ChordDiagram>>;
    // Keeps the diagram list as it is now for undo, before a change.
    void rememberForUndo();
    // Brings back the last list kept in `from`, keeping the present one in `to`.
    bool restore(History& from, History& to);

    std::vector<ChordDiagram> m_diagrams;
    History m_undo;
    History m_redo;
    ChordPageState m_page;
    ChordDocumentView* m_view = nullptr;
    std::unique_ptr<MarkupTree> m_tree;
};

} // namespace tonvela
