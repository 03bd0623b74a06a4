#include "orderfields/ordertypelist.h"

#include "ui_ordertypelist.h"

OrderTypeList::OrderTypeList(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::OrderTypeList)
{
    ui->setupUi(this);
}

OrderTypeList::~OrderTypeList()
{
    delete ui;
}
