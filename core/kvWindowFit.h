#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

namespace Kv {

// The geometry for a window whose client area the window manager put at pPlaced, with frame
// margins pFrame, so that all of its frame, title bar included, lies within the work area
// pArea: its size where that has room, else shrunk to fit; pPlaced's place where the frame
// lies within pArea there, else the nearest place that does (the frame's top-left corner at
// the area's along a side the frame cannot fit). An empty or invalid pArea leaves pPlaced as
// it is.
QRect fittedGeometry(const QRect &pArea, const QMargins &pFrame, const QRect &pPlaced);

// Keeps the top-level window pWindow, frame included, within the available area of its
// screen: it keeps its size where that fits and is shrunk to fit otherwise (its minimum size
// lowered as far as needed). It is moved only when it would not fit where the window manager
// puts it, judged once it is on the screen and its frame is known. A screen without a usable
// area leaves the window as it is.
void fitToScreen(QWidget *pWindow);

// Fits pWindow to its screen each time it is shown.
void fitWhenShown(QWidget *pWindow);

} // namespace Kv
