#include "orderfields/fixedorderlist.h"

#include "ui_fixedorderlist.h"

FixedOrderList::FixedOrderList(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::FixedOrderList)
{
    ui->setupUi(this);
}

FixedOrderList::~FixedOrderList()
{
    delete ui;
}
