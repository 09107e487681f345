#pragma once

// The paper commands of a sheet: File > Page Setup (staff size, paper, orientation, margins),
// File > Properties (title, subtitle, composer, lyricist, copyright) and File > Print Preview
// (the pages as they print, page by page, with zoom). The first two change the sheet (one
// change, marked modified) only when the dialog is accepted with other values.

#include "score/page_setup.h"
#include "score/sheet_document.h"

#include <QDialog>
#include <QImage>

#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

namespace tonvela {

class SheetViewState;

class PageSetupDialog : public QDialog {
  public:
    PageSetupDialog(const PageSetup& setup, QWidget* parent = nullptr);
    PageSetup value() const;

  private:
    QDoubleSpinBox* m_staffSize;
    QComboBox* m_paper;
    QComboBox* m_orientation;
    QDoubleSpinBox* m_margins[4]; // top, right, bottom, left
};

class SheetPropertiesDialog : public QDialog {
  public:
    SheetPropertiesDialog(const SheetTexts& texts, QWidget* parent = nullptr);
    SheetTexts value() const;

  private:
    QLineEdit* m_fields[5]; // title, subtitle, composer, lyricist, copyright
};

// The pages of a sheet as they print. Pages are drawn again for each zoom, so they stay sharp.
class PrintPreviewDialog : public QDialog {
  public:
    PrintPreviewDialog(SheetViewState& view, QWidget* parent = nullptr);

    int pageCount() const { return static_cast<int>(m_pages.size()); }
    int currentPage() const { return m_current; } // from 0
    void showPage(int page);
    // Zoom in per cent of the paper's real size on a 96 dpi screen.
    void setZoomPercent(int percent);
    int zoomPercent() const { return m_zoom; }
    const QImage& shownImage() const;

  private:
    void renderPages();
    void updateControls();

    SheetViewState& m_view;
    std::vector<QImage> m_pages;
    int m_current = 0;
    int m_zoom = 100;
    QPushButton* m_previous;
    QPushButton* m_next;
    QLabel* m_pageLabel;
    QComboBox* m_zoomBox;
    QScrollArea* m_scroll;
    QLabel* m_picture;
};

// What the commands do, on the sheet and its window's view; each returns whether the sheet
// changed.
bool editPageSetup(SheetDocument& sheet, QWidget* parent);
bool editSheetProperties(SheetDocument& sheet, QWidget* parent);
void showPrintPreview(SheetViewState& view, QWidget* parent);

} // namespace tonvela
