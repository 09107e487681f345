#include "shell/message_box_notifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace tonvela {
namespace {

struct SeenBox {
    bool seen = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
};

// Looks at the modal box as soon as it shows and closes it with OK.
void watchForBox(SeenBox& seen)
{
    QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            watchForBox(seen);
            return;
        }
        seen.seen = true;
        seen.icon = box->icon();
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
}

TEST(MessageBoxNotifierTest, AWarningShowsAWarningBoxAndAnErrorAnErrorBox)
{
    MessageBoxNotifier notifier;
    SeenBox warning;
    watchForBox(warning);
    notifier.warning("Some of a.mid was left out:\ntrack 2 is damaged", "Warning");
    ASSERT_TRUE(warning.seen);
    EXPECT_EQ(warning.icon, QMessageBox::Warning);
    EXPECT_EQ(warning.title, "Warning");
    EXPECT_EQ(warning.text, "Some of a.mid was left out:\ntrack 2 is damaged");
    EXPECT_EQ(warning.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    SeenBox error;
    watchForBox(error);
    notifier.error("Could not open a.shd: the file does not exist.", "Error");
    ASSERT_TRUE(error.seen);
    EXPECT_EQ(error.icon, QMessageBox::Critical);
    EXPECT_EQ(error.title, "Error");
}

TEST(MessageBoxNotifierTest, AWarningFromAnotherThreadIsShownByTheUserInterfaceThread)
{
    MessageBoxNotifier notifier;
    std::thread reporter([&notifier] { notifier.warning("late", "Warning"); });
    reporter.join(); // returned without waiting for anyone to close a box
    SeenBox seen;
    watchForBox(seen);
    QApplication::processEvents();
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.text, "late");
}

} // namespace
} // namespace tonvela
