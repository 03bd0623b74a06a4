#pragma once

class QRect;
class QWidget;

// Where the program's windows appear.
namespace WindowPlacement {

// Shows window maximised on the screen of near (the primary screen without
// one). On X11 maximising is only a request to the window manager: without
// one, or with one that ignores it, the window kept the small size it was
// built with in the screen's corner. There it starts on the screen's whole
// available area, which a window manager then maximises as usual.
// Elsewhere the size it has when restored from maximised is its own, never
// larger than the screen, and it lies on the screen.
void showMaximized(QWidget *window, const QWidget *near = nullptr);

// Gives the window the size it will be shown with: its layout's minimum
// where the nominal size is smaller (a shown window grows to it, downwards,
// and would sit off the centre it was placed on).
void growToLayout(QWidget *window);

// Gives the window the size its layout asks for (at least its nominal
// size), but no more of the height than the primary screen has free, and
// never less than its layout's minimum.
void fitToScreen(QWidget *window);

// Centres the window on area; a window larger than the area keeps its
// top-left corner on it, with the title row and its close button.
void centreWithin(QWidget *window, const QRect &area);

} // namespace WindowPlacement
