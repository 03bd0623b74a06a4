#pragma once

#include <QWidget>

namespace Ui {
class FixedOrderList;
}

// Empty form of the order-list views, kept for the order view that will use
// the field dictionary; nothing in the program opens it yet.
class FixedOrderList : public QWidget
{
    Q_OBJECT

public:
    explicit FixedOrderList(QWidget *parent = nullptr);
    ~FixedOrderList() override;

private:
    Ui::FixedOrderList *ui;
};
