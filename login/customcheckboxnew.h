#pragma once

#include <QCheckBox>

// The login form's check box, painted as a small rounded square with a tick
// and a grey label.
class CustomCheckBoxNew : public QCheckBox
{
    Q_OBJECT

public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent *event) override;
};
