#pragma once

#include <QApplication>
#include <QLabel>
#include <QList>
#include <QStringList>
#include <QWidget>

#include "public/toastwidget.h"

// What a user sees of transient widgets, found the way tests need them.
namespace WidgetProbe {

// The texts of the toasts currently shown over parent.
inline QStringList toastTexts(QWidget *parent)
{
    QStringList texts;
    const auto toasts = parent->findChildren<ToastWidget *>();
    for (ToastWidget *toast : toasts) {
        if (auto *label = toast->findChild<QLabel *>())
            texts << label->text();
    }
    return texts;
}

// Every live top-level widget of type T.
template<typename T>
QList<T *> topLevels()
{
    QList<T *> found;
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        if (auto *typed = qobject_cast<T *>(widget))
            found << typed;
    }
    return found;
}

} // namespace WidgetProbe
