#pragma once

class QWidget;

// Where the program's tool windows appear.
namespace WindowPlacement {

// Shows window maximised on the screen of near (the primary screen without
// one). On X11 maximising is only a request to the window manager: without
// one, or with one that ignores it, the window kept the small size it was
// built with in the screen's corner. There it starts on the screen's whole
// available area, which a window manager then maximises as usual.
void showMaximized(QWidget *window, const QWidget *near = nullptr);

} // namespace WindowPlacement
