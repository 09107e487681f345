#include "shell/frame/page_dialogs.h"

#include "editor/sheet_view_state.h"
#include "render/page_images.h"
#include "render/pdf_printer.h"
#include "score/sheet_file.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace tonvela {
namespace {

QDialogButtonBox* okCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QDoubleSpinBox* millimetres(double low, double high, double step, double value, QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(low, high);
    box->setSingleStep(step);
    box->setDecimals(1);
    box->setSuffix(QStringLiteral(" mm"));
    box->setValue(value);
    return box;
}

constexpr int kZoomChoices[] = {50, 75, 100, 125, 150, 200};

} // namespace

PageSetupDialog::PageSetupDialog(const PageSetup& setup, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Page Setup"));
    auto* form = new QFormLayout;
    m_staffSize =
        millimetres(kMinStaffSizeMm, kMaxStaffSizeMm, 0.5, sanitizedStaffSize(setup.staffSizeMm), this);
    m_staffSize->setObjectName(QStringLiteral("staffSize"));
    form->addRow(QStringLiteral("Staff size:"), m_staffSize);
    m_paper = new QComboBox(this);
    m_paper->setObjectName(QStringLiteral("paper"));
    const bool letter = resolvedPaper(Paper::Default) == Paper::Letter;
    m_paper->addItem(letter ? QStringLiteral("As the system (Letter)")
                            : QStringLiteral("As the system (A4)"));
    m_paper->addItem(QStringLiteral("A4"));
    m_paper->addItem(QStringLiteral("Letter"));
    m_paper->setCurrentIndex(setup.paper == Paper::A4 ? 1 : setup.paper == Paper::Letter ? 2 : 0);
    form->addRow(QStringLiteral("Paper:"), m_paper);
    m_orientation = new QComboBox(this);
    m_orientation->setObjectName(QStringLiteral("orientation"));
    m_orientation->addItems({QStringLiteral("Portrait"), QStringLiteral("Landscape")});
    m_orientation->setCurrentIndex(setup.orientation == PageOrientation::Landscape ? 1 : 0);
    form->addRow(QStringLiteral("Orientation:"), m_orientation);
    const double sides[4] = {setup.margins.top, setup.margins.right, setup.margins.bottom,
                             setup.margins.left};
    const char* names[4] = {"marginTop", "marginRight", "marginBottom", "marginLeft"};
    const char* labels[4] = {"Top margin:", "Right margin:", "Bottom margin:", "Left margin:"};
    for (int i = 0; i < 4; ++i) {
        m_margins[i] = millimetres(0, kMaxMarginMm, 1, sanitizedMargin(sides[i]), this);
        m_margins[i]->setObjectName(QString::fromLatin1(names[i]));
        form->addRow(QString::fromLatin1(labels[i]), m_margins[i]);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

PageSetup PageSetupDialog::value() const
{
    PageSetup out;
    out.staffSizeMm = sanitizedStaffSize(m_staffSize->value());
    out.paper = m_paper->currentIndex() == 1   ? Paper::A4
                : m_paper->currentIndex() == 2 ? Paper::Letter
                                               : Paper::Default;
    out.orientation =
        m_orientation->currentIndex() == 1 ? PageOrientation::Landscape : PageOrientation::Portrait;
    out.margins = {m_margins[0]->value(), m_margins[1]->value(), m_margins[2]->value(),
                   m_margins[3]->value()};
    return out;
}

SheetPropertiesDialog::SheetPropertiesDialog(const SheetTexts& texts, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Properties"));
    auto* form = new QFormLayout;
    const std::string* values[5] = {&texts.title, &texts.subtitle, &texts.composer, &texts.lyricist,
                                    &texts.copyright};
    const char* names[5] = {"title", "subtitle", "composer", "lyricist", "copyright"};
    const char* labels[5] = {"Title:", "Subtitle:", "Composer:", "Lyricist:", "Copyright:"};
    for (int i = 0; i < 5; ++i) {
        m_fields[i] = new QLineEdit(QString::fromStdString(*values[i]), this);
        m_fields[i]->setObjectName(QString::fromLatin1(names[i]));
        m_fields[i]->setMaxLength(static_cast<int>(kMaxSheetTextBytes));
        m_fields[i]->setMinimumWidth(320);
        form->addRow(QString::fromLatin1(labels[i]), m_fields[i]);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

SheetTexts SheetPropertiesDialog::value() const
{
    // A line edit holds one line; blanks around a text are not part of it.
    const auto text = [this](int i) { return m_fields[i]->text().trimmed().toStdString(); };
    return {text(0), text(1), text(2), text(3), text(4)};
}

PrintPreviewDialog::PrintPreviewDialog(SheetViewState& view, QWidget* parent) : QDialog(parent), m_view(view)
{
    setWindowTitle(QStringLiteral("Print Preview"));
    m_previous = new QPushButton(QStringLiteral("Previous Page"), this);
    m_previous->setObjectName(QStringLiteral("previousPage"));
    m_next = new QPushButton(QStringLiteral("Next Page"), this);
    m_next->setObjectName(QStringLiteral("nextPage"));
    m_pageLabel = new QLabel(this);
    m_pageLabel->setObjectName(QStringLiteral("pageLabel"));
    m_zoomBox = new QComboBox(this);
    m_zoomBox->setObjectName(QStringLiteral("zoom"));
    for (const int z : kZoomChoices)
        m_zoomBox->addItem(QString::number(z) + QLatin1Char('%'), z);
    m_zoomBox->setCurrentIndex(2);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    auto* bar = new QHBoxLayout;
    bar->addWidget(m_previous);
    bar->addWidget(m_next);
    bar->addWidget(m_pageLabel);
    bar->addStretch();
    bar->addWidget(new QLabel(QStringLiteral("Zoom:"), this));
    bar->addWidget(m_zoomBox);
    bar->addWidget(close);
    m_picture = new QLabel;
    m_picture->setAlignment(Qt::AlignCenter);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_picture);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_scroll, 1);
    connect(m_previous, &QPushButton::clicked, this, [this] { showPage(m_current - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { showPage(m_current + 1); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_zoomBox, &QComboBox::currentIndexChanged, this,
            [this](int) { setZoomPercent(m_zoomBox->currentData().toInt()); });
    resize(900, 1000);
    renderPages();
}

void PrintPreviewDialog::renderPages()
{
    const QPageLayout page = pageLayoutOf(m_view.sheet().pageSetup);
    PageImages images = printToImages(m_view, page, std::max(10, 96 * m_zoom / 100));
    m_pages = std::move(images.pages);
    showPage(std::clamp(m_current, 0, std::max(pageCount() - 1, 0)));
}

void PrintPreviewDialog::setZoomPercent(int percent)
{
    percent = std::clamp(percent, 25, 400);
    if (percent == m_zoom)
        return;
    m_zoom = percent;
    const int index = m_zoomBox->findData(percent);
    if (index >= 0 && index != m_zoomBox->currentIndex()) {
        const QSignalBlocker block(m_zoomBox);
        m_zoomBox->setCurrentIndex(index);
    }
    renderPages();
}

void PrintPreviewDialog::showPage(int page)
{
    if (m_pages.empty())
        return;
    m_current = std::clamp(page, 0, pageCount() - 1);
    const QImage& image = m_pages[static_cast<std::size_t>(m_current)];
    m_picture->setPixmap(QPixmap::fromImage(image));
    m_picture->resize(image.size());
    updateControls();
}

const QImage& PrintPreviewDialog::shownImage() const
{
    static const QImage kNone;
    return m_pages.empty() ? kNone : m_pages[static_cast<std::size_t>(m_current)];
}

void PrintPreviewDialog::updateControls()
{
    m_previous->setEnabled(m_current > 0);
    m_next->setEnabled(m_current + 1 < pageCount());
    m_pageLabel->setText(QStringLiteral("Page %1 of %2").arg(m_current + 1).arg(pageCount()));
}

bool editPageSetup(SheetDocument& sheet, QWidget* parent)
{
    PageSetupDialog dialog(sheet.pageSetup, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const PageSetup chosen = dialog.value();
    if (chosen == sheet.pageSetup)
        return false;
    sheet.pageSetup = chosen;
    sheet.markModified();
    sheet.refreshWindowText();
    return true;
}

bool editSheetProperties(SheetDocument& sheet, QWidget* parent)
{
    SheetPropertiesDialog dialog(sheet.texts, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const SheetTexts chosen = dialog.value();
    if (chosen == sheet.texts)
        return false;
    sheet.texts = chosen;
    sheet.markModified();
    sheet.refreshWindowText();
    return true;
}

void showPrintPreview(SheetViewState& view, QWidget* parent)
{
    PrintPreviewDialog dialog(view, parent);
    dialog.exec();
}

} // namespace tonvela
