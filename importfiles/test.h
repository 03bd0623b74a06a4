#pragma once

#include <QWidget>

namespace Ui {
class Test;
}

// A developer's trial form with one button that does nothing. Nothing in
// the program opens it.
class Test : public QWidget
{
    Q_OBJECT

public:
    explicit Test(QWidget *parent = nullptr);
    ~Test() override;

private slots:
    void on_pushButton_clicked();

private:
    Ui::Test *ui;
};
