#pragma once

#include <QMainWindow>

class QMenuBar;
class QStatusBar;

// An empty main window with a menu bar and a status bar, kept for a later
// design; nothing in the program opens it.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private:
    // What the window's form holds; the widgets belong to the window.
    struct Form
    {
        QWidget *centralwidget = nullptr;
        QMenuBar *menubar = nullptr;
        QStatusBar *statusbar = nullptr;
    };

    void setupForm();

    Form *ui = nullptr;
};
