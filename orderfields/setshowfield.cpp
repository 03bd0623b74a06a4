#include "orderfields/setshowfield.h"

#include "ui_setshowfield.h"

SetShowField::SetShowField(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::SetShowField)
{
    ui->setupUi(this);
}

SetShowField::~SetShowField()
{
    delete ui;
}
