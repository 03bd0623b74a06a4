#include "login/loginkeys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace LoginKeys {

bool pressOnEnter(QWidget *window, QKeyEvent *event, QAbstractButton *loginButton)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    event->accept();
    auto *focused = qobject_cast<QPushButton *>(window->focusWidget());
    QAbstractButton *pressed = focused && focused->isVisible() ? focused : loginButton;
    if (pressed->isEnabled() && pressed->isVisible())
        pressed->click();
    return true;
}

} // namespace LoginKeys
