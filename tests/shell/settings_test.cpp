#include "shell_test_support.h"

#include "editor/commands.h"

namespace tonvela::test {
namespace {

TEST(SettingsPlacementTest, FirstRunAndRefusedStoreGiveTheDefaultPlacement)
{
    MemorySettingsStore empty;
    WindowPlacement p = readWindowPlacement(empty);
    EXPECT_EQ(p.left, 50);
    EXPECT_EQ(p.top, 50);
    EXPECT_EQ(p.width(), 650);
    EXPECT_EQ(p.height(), 550);
    EXPECT_FALSE(p.maximized);

    MemorySettingsStore refused;
    refused.refuse = true;
    refused.values[kKeyMainRight] = "900";
    p = readWindowPlacement(refused);
    EXPECT_EQ(p.width(), 650);
    writeWindowPlacement(refused, {10, 10, 300, 300, true});
    EXPECT_EQ(refused.writes, 0);
}

TEST(SettingsPlacementTest, OutOfRangeOrUnreadableValuesFallBack)
{
    MemorySettingsStore store;
    store.values = {
        {kKeyMainLeft, "50"}, {kKeyMainTop, "50"}, {kKeyMainRight, "5000"}, {kKeyMainBottom, "600"}};
    WindowPlacement p = readWindowPlacement(store);
    EXPECT_EQ(p.left, 50);
    EXPECT_EQ(p.top, 50);
    EXPECT_EQ(p.width(), 550);
    EXPECT_EQ(p.height(), 350);

    store.values = {
        {kKeyMainLeft, "-3000"}, {kKeyMainTop, "3000x"}, {kKeyMainRight, "3000"}, {kKeyMainBottom, "900"}};
    p = readWindowPlacement(store);
    EXPECT_EQ(p.left, -3000);
    EXPECT_EQ(p.top, 50); // unreadable: keeps its starting value
    EXPECT_EQ(p.right, 3000);
    EXPECT_EQ(p.bottom, 900);

    // Edges that make no window (right left of left) are damaged too.
    store.values = {
        {kKeyMainLeft, "800"}, {kKeyMainTop, "50"}, {kKeyMainRight, "100"}, {kKeyMainBottom, "600"}};
    p = readWindowPlacement(store);
    EXPECT_EQ(p.width(), 550);
}

TEST(SettingsPlacementTest, AMaximisedWindowKeepsTheEarlierNormalEdges)
{
    MemorySettingsStore store;
    writeWindowPlacement(store, {100, 120, 900, 700, false});
    writeWindowPlacement(store, {0, 0, 1920, 1080, true});
    const WindowPlacement p = readWindowPlacement(store);
    EXPECT_EQ(p.left, 100);
    EXPECT_EQ(p.top, 120);
    EXPECT_EQ(p.right, 900);
    EXPECT_EQ(p.bottom, 700);
    EXPECT_TRUE(p.maximized);
}

class SettingsWindowTest : public ShellTest {};

TEST_F(SettingsWindowTest, TheMainWindowRestoresItsPlacementAndWritesItAtExit)
{
    settings.values = {
        {kKeyMainLeft, "80"}, {kKeyMainTop, "90"}, {kKeyMainRight, "980"}, {kKeyMainBottom, "790"}};
    window->showAtSavedPlacement();
    EXPECT_EQ(window->pos(), QPoint(80, 90));
    EXPECT_EQ(window->size(), QSize(900, 700));
    window->move(100, 110);
    window->command(kCmdExit);
    EXPECT_EQ(quitCodes, std::vector<int>{0});
    EXPECT_EQ(settings.readInt(kKeyMainLeft), 100);
    EXPECT_EQ(settings.readInt(kKeyMainTop), 110);
    EXPECT_EQ(settings.readInt(kKeyMainRight), 1000);
    EXPECT_EQ(settings.readInt(kKeyMainBottom), 810);
    EXPECT_EQ(settings.readInt(kKeyMaximized), 0);
}

TEST_F(SettingsWindowTest, AMaximisedStartStaysMaximisedAndKeepsTheNormalEdges)
{
    settings.values = {{kKeyMainLeft, "80"},
                       {kKeyMainTop, "90"},
                       {kKeyMainRight, "980"},
                       {kKeyMainBottom, "790"},
                       {kKeyMaximized, "1"}};
    window->showAtSavedPlacement();
    EXPECT_TRUE(window->isMaximized());
    window->savePlacement();
    EXPECT_EQ(settings.readInt(kKeyMaximized), 1);
    EXPECT_EQ(settings.readInt(kKeyMainLeft), 80);
    EXPECT_EQ(settings.readInt(kKeyMainRight), 980);
}

} // namespace
} // namespace tonvela::test
