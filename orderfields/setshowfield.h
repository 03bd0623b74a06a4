#pragma once

#include <QWidget>

namespace Ui {
class SetShowField;
}

// Empty form of the order-list views, kept for the order view that will use
// the field dictionary; nothing in the program opens it yet.
class SetShowField : public QWidget
{
    Q_OBJECT

public:
    explicit SetShowField(QWidget *parent = nullptr);
    ~SetShowField() override;

private:
    Ui::SetShowField *ui;
};
