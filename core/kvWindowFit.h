#pragma once

class QWidget;

namespace Kv {

// Keeps the top-level window pWindow, frame included, within the available area of its
// screen: it keeps its size where that fits and is shrunk to fit otherwise (its minimum size
// lowered as far as needed), and a window placed partly off the area is moved onto it.
void fitToScreen(QWidget *pWindow);

// Fits pWindow to its screen each time it is shown.
void fitWhenShown(QWidget *pWindow);

} // namespace Kv
