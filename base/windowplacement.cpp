#include "base/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace WindowPlacement {

void showMaximized(QWidget *window, const QWidget *near)
{
    if (!window)
        return;
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !window->isVisible()) {
        QScreen *screen = near ? near->screen() : nullptr;
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen)
            window->setGeometry(screen->availableGeometry());
    }
    window->showMaximized();
}

} // namespace WindowPlacement
