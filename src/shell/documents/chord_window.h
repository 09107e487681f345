#pragma once

#include "harmony/chord_document.h"
#include "shell/documents/document_window.h"

#include <QWidget>

#include <functional>
#include <memory>

class QMenu;
class QScrollBar;

namespace tonvela {

// The texts of the chord document's own commands, in its context menu and in the Edit menu.
inline constexpr const char* kRemoveDiagramText = "Remove Diagram";
inline constexpr const char* kRemoveSelectedDiagramsText = "Remove Selected Diagrams";
inline constexpr const char* kAddAllDiagramsToSheetText = "Add All Diagrams To Sheet";
inline constexpr const char* kAddSelectedDiagramsToSheetText = "Add Selected Diagrams To Sheet";

// The window of one chord document: its page of guitar chord diagrams in columns, with a
// horizontal scroll bar that moves the page by whole columns (a line is one column, a page
// three; the mouse wheel moves one). The pointer frames the diagram under it in red; a click
// toggles a diagram's selection, a click beside every diagram clears the selection. A right
// click opens the context menu of the diagram commands.
//
// It answers Remove Diagram (the diagram last clicked or right-clicked), Remove Selected
// Diagrams and Delete, Clear, Select All, Undo and Redo, and the two Add ... To Sheet commands,
// which it hands to `onAddToSheet`. It prints through the chord document printing.
//
// Thread rules: user-interface thread only.
class ChordWindow : public QWidget, public DocumentWindow, public ChordDocumentView {
  public:
    explicit ChordWindow(std::unique_ptr<ChordDocument> document, QWidget* parent = nullptr);
    ~ChordWindow() override;

    ChordDocument& document() { return *m_document; }
    QScrollBar* scrollBar() const { return m_scrollBar; }
    // The height of the page: the window without its scroll bar.
    int pageHeight() const;
    // The diagram Remove Diagram acts on, or -1.
    int chosenDiagram() const { return m_chosen; }

    std::function<void(ChordWindow&)> onStateChanged;
    // Adds every diagram (or every selected one) to a sheet, as the frame chooses it.
    std::function<void(ChordWindow&, bool selectedOnly)> onAddToSheet;

    // The context menu for a right click at `at` (page coordinates): the caller shows and
    // deletes it.
    QMenu* makeContextMenu(QPoint at);

    // DocumentWindow: a chord document saves as a chord document file, under the sheet
    // document filter (opening tells the kinds apart by the root element).
    QWidget& widget() override { return *this; }
    std::string title() const override { return m_document->title; }
    bool isModified() const override { return m_document->modified != 0; }
    std::string path() const override { return m_document->path; }
    QStringList saveFilters() const override;
    FileResult saveTo(const std::string& path, const std::string& title, int filterIndex) override;
    std::optional<RecoveryCopy> recoveryCopy() const override;
    bool canPrint() const override { return true; }
    PrintResult print(Printer& printer) override;
    bool answers(int commandId) const override;
    bool command(int commandId) override;

    // ChordDocumentView
    void repaint(const PageRect& area) override;
    void repaintAll() override { update(); }
    void windowTextChanged(const std::string& text) override;
    void scrollRangeChanged(int maximum, int position) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void scrollBarAction(int action);

    std::unique_ptr<ChordDocument> m_document;
    QScrollBar* m_scrollBar;
    int m_chosen = -1;
    int m_wheelRest = 0; // wheel turn not yet a whole step
};

} // namespace tonvela
