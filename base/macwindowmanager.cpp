#include "base/macwindowmanager.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>
#include <QWidget>

Q_LOGGING_CATEGORY(lcWindow, "velquora.window")

MacWindowManager *MacWindowManager::instance()
{
    // Kept for the life of the process, like the windows that connect to it.
    static MacWindowManager *manager = new MacWindowManager;
    return manager;
}

bool MacWindowManager::minimizeWindow(QWidget *window)
{
    if (!window) {
        qCDebug(lcWindow) << "MacWindowManager: 窗口指针为空";
        return false;
    }
    qCDebug(lcWindow) << "MacWindowManager: 开始最小化窗口";
    qCDebug(lcWindow) << "当前窗口状态:" << window->windowState();
    qCDebug(lcWindow) << "窗口标志:" << window->windowFlags();
    window->setWindowState(Qt::WindowMinimized);
    return true;
}

void MacWindowManager::releaseWindow(QWidget *window)
{
    Q_UNUSED(window)
}

void MacWindowManager::restoreWindowTransparency(QWidget *window)
{
    if (!window)
        return;
    qCDebug(lcWindow) << "MacWindowManager: 恢复窗口透明属性";
    window->setAttribute(Qt::WA_TranslucentBackground, true);
    window->update();
    window->repaint();
    for (QObject *child : window->children()) {
        if (auto *widget = qobject_cast<QWidget *>(child)) {
            widget->update();
            widget->repaint();
        }
    }
    qCDebug(lcWindow) << "MacWindowManager: 窗口透明属性已恢复";
}

void MacWindowManager::onWindowRestored(QWidget *window)
{
    qCDebug(lcWindow) << "MacWindowManager: 收到窗口恢复信号";
    if (!window)
        return;
    QTimer::singleShot(100, window, [this, window]() {
        restoreWindowTransparency(window);
        emit windowRestored(window);
    });
}

void MacWindowManager::postWindowRestored(QWidget *window)
{
    if (!window)
        return;
    QMetaObject::invokeMethod(this, "onWindowRestored", Qt::QueuedConnection, Q_ARG(QWidget *, window));
}
