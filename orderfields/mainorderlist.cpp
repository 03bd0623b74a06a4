#include "orderfields/mainorderlist.h"

#include "ui_mainorderlist.h"

MainOrderList::MainOrderList(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::MainOrderList)
{
    ui->setupUi(this);
}

MainOrderList::~MainOrderList()
{
    delete ui;
}
