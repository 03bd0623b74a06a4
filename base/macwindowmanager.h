#pragma once

#include <QObject>

class QWidget;

// Minimises frameless windows and restores their translucent background after
// they come back, announcing the restore.
class MacWindowManager : public QObject
{
    Q_OBJECT

public:
    static MacWindowManager *instance();

    static bool minimizeWindow(QWidget *window);
    static void releaseWindow(QWidget *window);
    static void restoreWindowTransparency(QWidget *window);
    void postWindowRestored(QWidget *window);

signals:
    void windowRestored(QWidget *window);

public slots:
    void onWindowRestored(QWidget *window);

private:
    MacWindowManager() = default;
};
