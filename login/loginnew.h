#pragma once

#include <QWidget>

// The login window shown at start.
class LoginNew : public QWidget
{
    Q_OBJECT

public:
    explicit LoginNew(QWidget *parent = nullptr);
};
