#include "shell/panels/length_bar.h"
#include "shell/panels/panel_container.h"
#include "shell/panels/panel_style.h"
#include "shell/panels/sheet_options_panel.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyleOptionSpinBox>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <vector>

namespace tonvela {
namespace {

// Every panel has one shape: show* puts values in the fields without reporting, and only what
// the user does reaches the callbacks.
TEST(PanelsTest, SheetOptionsShowWithoutReportingAndReportTheUsersChanges)
{
    SheetOptionsPanel panel;
    std::vector<int> devices, counts;
    std::vector<bool> zoomSteps;
    panel.onDeviceChosen = [&](int d) { devices.push_back(d); };
    panel.onTrackCountChosen = [&](int c) { counts.push_back(c); };
    panel.onZoomStep = [&](bool up) { zoomSteps.push_back(up); };

    panel.setDevices({"Synth", "Port 2", "Port 3"});
    panel.showDevice(2);
    panel.showDevice(7); // beyond the list: stays
    panel.showTrackCount(5);
    panel.showZoom(1.26f);
    EXPECT_EQ(panel.deviceList()->currentIndex(), 2);
    EXPECT_EQ(panel.device(), 2);
    EXPECT_EQ(panel.trackCountField()->value(), 5);
    EXPECT_DOUBLE_EQ(panel.zoomField()->value(), 1.3);
    EXPECT_TRUE(devices.empty());
    EXPECT_TRUE(counts.empty());
    EXPECT_TRUE(zoomSteps.empty());

    panel.trackCountField()->stepUp();
    EXPECT_EQ(counts, std::vector<int>{6});
    panel.zoomField()->stepDown();
    EXPECT_EQ(zoomSteps, std::vector<bool>{false});
    // The sheet decides the zoom; the field shows the old value until it is told the new one.
    EXPECT_DOUBLE_EQ(panel.zoomField()->value(), 1.3);
}

TEST(PanelsTest, ContainerSwitchesQuietlyAndReportsTabClicks)
{
    PanelContainer container;
    std::vector<PanelContainer::Panel> chosen;
    container.onPanelChosen = [&](PanelContainer::Panel p) { chosen.push_back(p); };
    container.showPanel(PanelContainer::Panel::Scale);
    EXPECT_EQ(container.currentPanel(), PanelContainer::Panel::Scale);
    EXPECT_TRUE(container.tabButton(PanelContainer::Panel::Scale)->isChecked());
    EXPECT_TRUE(chosen.empty());
    container.tabButton(PanelContainer::Panel::Chord)->click();
    EXPECT_EQ(container.currentPanel(), PanelContainer::Panel::Chord);
    EXPECT_EQ(chosen, std::vector<PanelContainer::Panel>{PanelContainer::Panel::Chord});
    EXPECT_EQ(container.tabButton(PanelContainer::Panel::Sheet)->text(), "Sheet");
    EXPECT_EQ(container.tabButton(PanelContainer::Panel::Chord)->text(), "Chords");
}

// White pixels (the arrow) on the spin box's up or down button.
int whiteOnButton(QSpinBox& field, QStyle::SubControl button)
{
    QStyleOptionSpinBox option;
    option.initFrom(&field);
    option.rect = field.rect();
    option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
    const QRect box = field.style()->subControlRect(QStyle::CC_SpinBox, &option, button, &field);
    const QImage picture = field.grab().toImage();
    int white = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            white += qGray(picture.pixel(x, y)) > 220 ? 1 : 0;
    return white;
}

TEST(PanelsTest, SpinBoxArrowsAreWhiteOnTheDarkPanelAndGreyAtTheEndOfTheRange)
{
    QWidget panel;
    darkenPanel(&panel);
    auto* field = new QSpinBox;
    field->setRange(1, 15);
    field->setValue(5);
    (new QVBoxLayout(&panel))->addWidget(field);
    panel.resize(200, 60);
    panel.show();
    QApplication::processEvents();
    // A dark field, and an arrow of at least a dozen white pixels on each button.
    EXPECT_LT(qGray(field->grab().toImage().pixel(6, field->height() / 2)), 80);
    EXPECT_GE(whiteOnButton(*field, QStyle::SC_SpinBoxUp), 12);
    EXPECT_GE(whiteOnButton(*field, QStyle::SC_SpinBoxDown), 12);
    field->setValue(15); // no step up left: the up arrow turns grey
    QApplication::processEvents();
    EXPECT_EQ(whiteOnButton(*field, QStyle::SC_SpinBoxUp), 0);
    EXPECT_GE(whiteOnButton(*field, QStyle::SC_SpinBoxDown), 12);
}

TEST(PanelsTest, LengthBarShowsProgressWithoutSeekingAndLeavesAHeldSliderAlone)
{
    LengthBar bar;
    std::vector<int> chosen;
    bar.onPositionChosen = [&](int p) { chosen.push_back(p); };
    bar.showTimes(QStringLiteral("00:03"), QStringLiteral("01:15"));
    bar.showStatus(QStringLiteral("Playing"));
    bar.showPosition(500); // clamped to the range
    EXPECT_EQ(bar.slider()->value(), 384);
    bar.showPosition(-3);
    EXPECT_EQ(bar.slider()->value(), 0);
    EXPECT_EQ(bar.currentText(), "00:03");
    EXPECT_EQ(bar.totalText(), "01:15");
    EXPECT_EQ(bar.statusText(), "Playing");
    EXPECT_TRUE(chosen.empty());

    bar.slider()->setSliderDown(true);
    bar.showPosition(200);
    EXPECT_EQ(bar.slider()->value(), 0) << "the user holds the slider";
    bar.slider()->setSliderPosition(96); // dragging the thumb
    EXPECT_EQ(chosen, std::vector<int>{96});
    EXPECT_EQ(minutesSeconds(75'000), "01:15");
}

} // namespace
} // namespace tonvela
