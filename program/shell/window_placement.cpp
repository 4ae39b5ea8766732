#include "program/shell/window_placement.h"

#include <QGuiApplication>
#include <QScreen>

namespace dravik::shell {

namespace {

// A window smaller than this, or larger than any screen could be, comes
// from a damaged value.
constexpr int kSmallestSide = 100;
constexpr int kLargestSide = 32767;

}  // namespace

app::WindowPlacement PlacementOf(const QWidget& window) {
    app::WindowPlacement placement;
    const QRect normal = window.isMaximized() || window.isMinimized() ? window.normalGeometry() : window.geometry();
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    placement.showState = window.isMinimized() ? app::kShowMinimized : window.isMaximized() ? app::kShowMaximized : app::kShowNormal;
    return placement;
}

bool ApplyPlacement(QWidget& window, const app::WindowPlacement& placement) {
    const long long width = static_cast<long long>(placement.right) - placement.left;
    const long long height = static_cast<long long>(placement.bottom) - placement.top;
    if (width < kSmallestSide || height < kSmallestSide || width > kLargestSide || height > kLargestSide) return false;
    QRect rectangle(placement.left, placement.top, static_cast<int>(width), static_cast<int>(height));
    // A screen that is gone since: bring the window back onto the first one.
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(rectangle);
    if (!onScreen) {
        if (const QScreen* primary = QGuiApplication::primaryScreen())
            rectangle.moveTopLeft(primary->availableGeometry().topLeft());
    }
    window.setGeometry(rectangle);
    // A window that was minimised at close opens normal: starting as an
    // icon would hide the program from the user.
    if (placement.showState == app::kShowMaximized) window.setWindowState(window.windowState() | Qt::WindowMaximized);
    return true;
}

void SaveWindowPlacement(const QWidget& window) {
    app::WriteProgramString(app::kWindowPositionValue, app::FormatWindowPlacement(PlacementOf(window)));
}

bool RestoreWindowPlacement(QWidget& window) {
    std::optional<app::WindowPlacement> placement = app::ParseWindowPlacement(app::ReadProgramString(app::kWindowPositionValue, ""));
    return placement && ApplyPlacement(window, *placement);
}

}  // namespace dravik::shell
