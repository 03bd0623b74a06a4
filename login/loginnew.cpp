#include "login/loginnew.h"

LoginNew::LoginNew(QWidget *parent)
    : QWidget(parent)
{
}
