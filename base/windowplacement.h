#pragma once

class QRect;
class QWidget;

// Gives the window the size it will be shown with: its layout's minimum
// where the nominal size is smaller (a shown window grows to it, downwards,
// and would sit off the centre it was placed on).
void growToLayout(QWidget *window);

// Centres the window on area; a window larger than the area keeps its
// top-left corner on it, with the title row and its close button.
void centreWithin(QWidget *window, const QRect &area);
