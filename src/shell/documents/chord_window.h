#pragma once

#include "harmony/chord_document.h"
#include "shell/documents/document_window.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace tonvela {

// The window of one chord document: its page of diagrams, each shown as a card with the
// chord's name, start fret and fingering, in the page's columns.
//
// Thread rules: user-interface thread only.
class ChordWindow : public QWidget, public DocumentWindow, public ChordDocumentView {
  public:
    explicit ChordWindow(std::unique_ptr<ChordDocument> document, QWidget* parent = nullptr);
    ~ChordWindow() override;

    ChordDocument& document() { return *m_document; }

    std::function<void(ChordWindow&)> onStateChanged;

    // DocumentWindow: a chord document saves as a chord document file, under the sheet
    // document filter (opening tells the kinds apart by the root element).
    QWidget& widget() override { return *this; }
    std::string title() const override { return m_document->title; }
    bool isModified() const override { return m_document->modified != 0; }
    std::string path() const override { return m_document->path; }
    QStringList saveFilters() const override;
    FileResult saveTo(const std::string& path, const std::string& title, int filterIndex) override;

    // ChordDocumentView
    void repaint(const PageRect&) override { update(); }
    void repaintAll() override { update(); }
    void windowTextChanged(const std::string& text) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    std::unique_ptr<ChordDocument> m_document;
};

} // namespace tonvela
