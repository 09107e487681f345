#include "shell_test_support.h"

#include "editor/commands.h"
#include "shell/frame/page_dialogs.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdio>

namespace tonvela::test {
namespace {

// What a shell command prints on its standard output.
std::string commandOutput(const std::string& command)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

// Answers the next modal dialog of type D once it shows: `fill` sets its fields, then it is
// accepted (or rejected when `accept` is false).
template <class D> void answerDialog(std::function<void(D&)> fill, bool accept = true)
{
    QTimer::singleShot(0, [fill, accept] {
        D* dialog = nullptr;
        waitUntil([&dialog] {
            dialog = dynamic_cast<D*>(QApplication::activeModalWidget());
            return dialog != nullptr;
        });
        ASSERT_NE(dialog, nullptr);
        fill(*dialog);
        if (accept)
            dialog->accept();
        else
            dialog->reject();
    });
}

class PageDialogsTest : public ShellTest {
  protected:
    SheetWindow* openExample()
    {
        window->showAtSavedPlacement();
        EXPECT_TRUE(window->openFile(example())) << errorsText();
        return window->activeSheet();
    }
};

TEST_F(PageDialogsTest, PageSetupKeepsTheChosenPageWithTheSheetAndThePrintDialogOpensOnIt)
{
    SheetWindow* w = openExample();
    ASSERT_NE(w, nullptr);
    // Cancelled: nothing changes.
    answerDialog<PageSetupDialog>(
        [](PageSetupDialog& d) { d.findChild<QDoubleSpinBox*>("staffSize")->setValue(5); }, false);
    ASSERT_TRUE(window->command(kCmdPageSetup));
    EXPECT_EQ(w->sheet().pageSetup, PageSetup{});
    EXPECT_FALSE(w->sheet().modified);

    answerDialog<PageSetupDialog>([](PageSetupDialog& d) {
        d.findChild<QDoubleSpinBox*>("staffSize")->setValue(6);
        d.findChild<QComboBox*>("paper")->setCurrentIndex(2);
        d.findChild<QComboBox*>("orientation")->setCurrentIndex(1);
        d.findChild<QDoubleSpinBox*>("marginLeft")->setValue(25);
    });
    ASSERT_TRUE(window->command(kCmdPageSetup));
    const PageSetup& page = w->sheet().pageSetup;
    EXPECT_DOUBLE_EQ(page.staffSizeMm, 6);
    EXPECT_EQ(page.paper, Paper::Letter);
    EXPECT_EQ(page.orientation, PageOrientation::Landscape);
    EXPECT_DOUBLE_EQ(page.margins.left, 25);
    EXPECT_DOUBLE_EQ(page.margins.top, kDefaultMarginMm);
    EXPECT_TRUE(w->sheet().modified);
    EXPECT_TRUE(title(w).endsWith("*")) << title(w).toStdString();

    // The print dialog opens on the sheet's page, and the PDF has its size: Letter across.
    dialogs.pdfPath = file("letter.pdf");
    ASSERT_TRUE(window->command(kCmdPrint));
    ASSERT_EQ(dialogs.printPageLayouts.size(), 1u);
    EXPECT_EQ(dialogs.printPageLayouts[0].pageSize().id(), QPageSize::Letter);
    EXPECT_EQ(dialogs.printPageLayouts[0].orientation(), QPageLayout::Landscape);
    const std::string info = commandOutput("pdfinfo '" + dialogs.pdfPath + "' 2>&1");
    EXPECT_NE(info.find("792 x 612 pts"), std::string::npos) << info;
    EXPECT_EQ(errorCount(), 0) << errorsText();
}

TEST_F(PageDialogsTest, PropertiesSetTheTextsThatPrintOnPageOne)
{
    SheetWindow* w = openExample();
    ASSERT_NE(w, nullptr);
    answerDialog<SheetPropertiesDialog>([](SheetPropertiesDialog& d) {
        d.findChild<QLineEdit*>("title")->setText("  Ode to Joy ");
        d.findChild<QLineEdit*>("composer")->setText("Ludwig van Beethoven");
        d.findChild<QLineEdit*>("copyright")->setText("Public domain");
    });
    ASSERT_TRUE(window->command(kCmdProperties));
    EXPECT_EQ(w->sheet().texts.title, "Ode to Joy");
    EXPECT_EQ(w->sheet().texts.composer, "Ludwig van Beethoven");
    EXPECT_EQ(w->sheet().texts.subtitle, "");
    EXPECT_TRUE(w->sheet().modified);

    dialogs.pdfPath = file("ode.pdf");
    ASSERT_TRUE(window->command(kCmdPrint));
    const std::string text = commandOutput("pdftotext -layout '" + dialogs.pdfPath + "' - 2>&1");
    EXPECT_NE(text.find("Ode to Joy"), std::string::npos) << text;
    EXPECT_NE(text.find("Ludwig van Beethoven"), std::string::npos) << text;
    EXPECT_NE(text.find("Public domain"), std::string::npos) << text;
    EXPECT_EQ(text.find("ode_to_joy"), std::string::npos) << "the file's name is no title";
}

TEST_F(PageDialogsTest, PrintPreviewShowsThePrintedPagesOneByOneWithZoom)
{
    SheetWindow* w = openExample();
    ASSERT_NE(w, nullptr);
    SheetDocument& sheet = w->sheet();
    sheet.texts.title = "Preview";
    // Long enough for two pages at the smallest staff size's neighbour.
    sheet.pageSetup.staffSizeMm = 9;
    dialogs.pdfPath = file("preview.pdf");
    ASSERT_TRUE(window->command(kCmdPrint));
    const std::string info = commandOutput("pdfinfo '" + dialogs.pdfPath + "' 2>&1");
    const std::size_t at = info.find("Pages:");
    ASSERT_NE(at, std::string::npos) << info;
    const int printedPages = std::stoi(info.substr(at + 6));

    PrintPreviewDialog preview(w->view(), window.get());
    EXPECT_EQ(preview.pageCount(), printedPages);
    ASSERT_GE(preview.pageCount(), 1);
    auto* label = preview.findChild<QLabel*>("pageLabel");
    auto* next = preview.findChild<QPushButton*>("nextPage");
    auto* previous = preview.findChild<QPushButton*>("previousPage");
    EXPECT_EQ(label->text(), QString("Page 1 of %1").arg(printedPages));
    EXPECT_FALSE(previous->isEnabled());
    EXPECT_EQ(next->isEnabled(), printedPages > 1);

    // The page at 100 %: A4 or Letter at 96 dpi, white at its margins, ink inside them.
    const QImage page = preview.shownImage();
    EXPECT_NEAR(page.width(), 794, 24);
    EXPECT_NEAR(page.height(), 1100, 25);
    EXPECT_EQ(page.pixelColor(5, 5), QColor(Qt::white));
    EXPECT_EQ(page.pixelColor(page.width() - 5, page.height() - 5), QColor(Qt::white));
    int dark = 0, darkInMargin = 0;
    const int margin = static_cast<int>(kDefaultMarginMm / 25.4 * 96) - 2;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 128) {
                ++dark;
                const bool inMargin =
                    x < margin || y < margin || x >= page.width() - margin || y >= page.height() - margin;
                darkInMargin += inMargin ? 1 : 0;
            }
    EXPECT_GT(dark, 2000) << "staves, notes and the title";
    EXPECT_EQ(darkInMargin, 0);
    // The title stands centred at the top.
    int titleInk = 0;
    for (int y = margin; y < margin + 40; ++y)
        for (int x = page.width() / 2 - 60; x < page.width() / 2 + 60; ++x)
            titleInk += qGray(page.pixel(x, y)) < 128 ? 1 : 0;
    EXPECT_GT(titleInk, 50);

    preview.setZoomPercent(200);
    EXPECT_EQ(preview.zoomPercent(), 200);
    EXPECT_EQ(preview.findChild<QComboBox*>("zoom")->currentText(), "200%");
    EXPECT_NEAR(preview.shownImage().width(), 2 * page.width(), 4);
    EXPECT_EQ(preview.pageCount(), printedPages) << "the same pages at every zoom";
    if (printedPages > 1) {
        next->click();
        EXPECT_EQ(preview.currentPage(), 1);
        EXPECT_EQ(label->text(), QString("Page 2 of %1").arg(printedPages));
        EXPECT_TRUE(previous->isEnabled());
    }
    // Through the menu command: it opens and closes again.
    QTimer::singleShot(0, [] {
        waitUntil(
            [] { return dynamic_cast<PrintPreviewDialog*>(QApplication::activeModalWidget()) != nullptr; });
        if (auto* d = dynamic_cast<PrintPreviewDialog*>(QApplication::activeModalWidget()))
            d->accept();
    });
    EXPECT_TRUE(window->command(kCmdPrintPreview));
}

} // namespace
} // namespace tonvela::test
