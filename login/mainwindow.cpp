#include "login/mainwindow.h"

#include <QCoreApplication>
#include <QMenuBar>
#include <QStatusBar>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Form)
{
    setupForm();
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::setupForm()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("MainWindow"));
    resize(800, 600);

    ui->centralwidget = new QWidget(this);
    ui->centralwidget->setObjectName(QStringLiteral("centralwidget"));
    setCentralWidget(ui->centralwidget);

    ui->menubar = new QMenuBar(this);
    ui->menubar->setObjectName(QStringLiteral("menubar"));
    ui->menubar->setGeometry(QRect(0, 0, 800, 20));
    setMenuBar(ui->menubar);

    ui->statusbar = new QStatusBar(this);
    ui->statusbar->setObjectName(QStringLiteral("statusbar"));
    setStatusBar(ui->statusbar);

    setWindowTitle(QCoreApplication::translate("MainWindow", "MainWindow"));
    QMetaObject::connectSlotsByName(this);
}
