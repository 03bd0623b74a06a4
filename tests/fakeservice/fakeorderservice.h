#pragma once

#include <QObject>

class FakeOrderService : public QObject
{
    Q_OBJECT
};
