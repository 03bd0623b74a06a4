#pragma once

#include <QWidget>

namespace Ui {
class OrderTypeList;
}

// Empty form of the order-list views, kept for the order view that will use
// the field dictionary; nothing in the program opens it yet.
class OrderTypeList : public QWidget
{
    Q_OBJECT

public:
    explicit OrderTypeList(QWidget *parent = nullptr);
    ~OrderTypeList() override;

private:
    Ui::OrderTypeList *ui;
};
