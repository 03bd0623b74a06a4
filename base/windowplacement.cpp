#include "base/windowplacement.h"

#include <QRect>
#include <QWidget>

void growToLayout(QWidget *window)
{
    window->ensurePolished();
    window->resize(window->size().expandedTo(window->minimumSizeHint()));
}

void centreWithin(QWidget *window, const QRect &area)
{
    window->move(area.left() + qMax(0, (area.width() - window->width()) / 2),
                 area.top() + qMax(0, (area.height() - window->height()) / 2));
}
