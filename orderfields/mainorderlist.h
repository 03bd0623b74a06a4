#pragma once

#include <QWidget>

namespace Ui {
class MainOrderList;
}

// Empty form of the order-list views, kept for the order view that will use
// the field dictionary; nothing in the program opens it yet.
class MainOrderList : public QWidget
{
    Q_OBJECT

public:
    explicit MainOrderList(QWidget *parent = nullptr);
    ~MainOrderList() override;

private:
    Ui::MainOrderList *ui;
};
