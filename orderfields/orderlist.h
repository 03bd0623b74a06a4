#pragma once

#include <QMainWindow>

namespace Ui {
class OrderList;
}

// Shell of the order-list window: a central widget, an empty menu bar and a
// status bar, ready for the order view that will use the field dictionary;
// nothing in the program opens it yet.
class OrderList : public QMainWindow
{
    Q_OBJECT

public:
    explicit OrderList(QWidget *parent = nullptr);
    ~OrderList() override;

private:
    Ui::OrderList *ui;
};
