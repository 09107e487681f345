#include "shell/frame/window_placement.h"

#include "shell/settings_store.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include <algorithm>

namespace tonvela {
namespace {

// What the window manager's title bar and frame are likely to take beyond the client height.
constexpr int kFrameAllowance = 40;
constexpr int kSmallestWidth = 650;
constexpr int kSmallestHeight = 550;

} // namespace

QRect firstStartGeometry(const QRect& available)
{
    const int roomWidth = std::max(available.width(), 1);
    const int roomHeight = std::max(available.height() - kFrameAllowance, 1);
    const int width = std::clamp(roomWidth * 4 / 5, std::min(kSmallestWidth, roomWidth), roomWidth);
    const int height = std::clamp(roomHeight * 4 / 5, std::min(kSmallestHeight, roomHeight), roomHeight);
    return {available.left() + (available.width() - width) / 2,
            available.top() + (available.height() - kFrameAllowance - height) / 2, width, height};
}

void showAtPlacement(QMainWindow& window, const SettingsStore& store)
{
    const WindowPlacement placement = readWindowPlacement(store);
    QRect geometry(placement.left, placement.top, placement.width(), placement.height());
    if (!hasStoredPlacement(store)) {
        const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
        geometry = firstStartGeometry(screen ? screen->availableGeometry() : QRect(0, 0, 800, 600));
    }
    window.move(geometry.topLeft());
    window.resize(geometry.size());
    if (placement.maximized)
        window.showMaximized();
    else
        window.show();
}

void savePlacement(const QMainWindow& window, SettingsStore& store)
{
    WindowPlacement placement;
    placement.maximized = window.isMaximized();
    const QRect normal = placement.maximized ? window.normalGeometry() : QRect(window.pos(), window.size());
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    writeWindowPlacement(store, placement);
}

} // namespace tonvela
