#include "base/windowplacement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace WindowPlacement {

void showMaximized(QWidget *window, const QWidget *near)
{
    if (!window)
        return;
    if (!window->isVisible()) {
        QScreen *screen = near ? near->screen() : nullptr;
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen) {
            const QRect available = screen->availableGeometry();
            if (QGuiApplication::platformName() == QLatin1String("xcb")) {
                window->setGeometry(available);
            } else {
                growToLayout(window);
                window->resize(window->size().boundedTo(available.size()).expandedTo(window->minimumSize()));
                centreWithin(window, available);
            }
        }
    }
    window->showMaximized();
}

void growToLayout(QWidget *window)
{
    window->ensurePolished();
    window->resize(window->size().expandedTo(window->minimumSizeHint()));
}

void fitToScreen(QWidget *window)
{
    window->ensurePolished();
    QSize size = window->size().expandedTo(window->sizeHint());
    if (QScreen *screen = QGuiApplication::primaryScreen())
        size.setHeight(qMin(size.height(), screen->availableGeometry().height()));
    window->resize(size.expandedTo(window->minimumSizeHint()));
}

void centreWithin(QWidget *window, const QRect &area)
{
    window->move(area.left() + qMax(0, (area.width() - window->width()) / 2),
                 area.top() + qMax(0, (area.height() - window->height()) / 2));
}

} // namespace WindowPlacement
