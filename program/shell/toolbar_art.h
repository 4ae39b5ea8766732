// Dravik's own toolbar pictures, drawn here rather than taken from the
// desktop's theme so that the buttons look the same everywhere: select
// drive (a drive with its tray), scan again (a disc under a turning
// arrow), copy files (a page leaving a disc), eject and load (the symbols
// drives print on their buttons), and the view choice (a list with
// icons). Each picture is drawn on a 24-unit grid at every size a toolbar
// asks for, at one and two device pixels a pixel (crisp on high-density
// screens), in colour for the normal state and in flat grey for the
// disabled one.
#pragma once

#include <QIcon>

namespace dravik::shell {

enum class ToolbarArt { kSelectDrive, kScanAgain, kCopyFiles, kEject, kLoad, kViews };

// The sizes (in pixels) a picture is drawn at, each also at twice the
// density.
inline constexpr int kToolbarArtSizes[] = {16, 22, 24, 32, 48};

QIcon ToolbarIcon(ToolbarArt art);
// One picture, `side` pixels at `ratio` device pixels a pixel.
QPixmap DrawToolbarArt(ToolbarArt art, int side, qreal ratio, bool enabled);

}  // namespace dravik::shell
