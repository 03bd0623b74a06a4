#pragma once

// Helpers of the file-import tests: files on disk, the program's own
// dialogs, and waiting for a window's service requests to be answered.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QPushButton>
#include <QTextBrowser>

#include "base/basereq.h"
#include "public/simpledialog.h"

namespace ImportFixture {

inline bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Everything in a folder, hidden files included, by name.
inline QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// name -> size of a report's listing (a JSON array of {"name", "size"}).
inline QMap<QString, QString> listed(const QString &json)
{
    QMap<QString, QString> result;
    for (const QJsonValue &value : QJsonDocument::fromJson(json.toUtf8()).array())
        result.insert(value.toObject().value(QStringLiteral("name")).toString(),
                      value.toObject().value(QStringLiteral("size")).toString());
    return result;
}

// The program's dialogs now on screen, wherever they are parented.
inline QList<SimpleDialog *> openDialogs()
{
    QList<SimpleDialog *> result;
    for (QWidget *widget : QApplication::allWidgets()) {
        auto *dialog = qobject_cast<SimpleDialog *>(widget);
        if (dialog && dialog->isVisible())
            result.append(dialog);
    }
    return result;
}

inline QString dialogText(SimpleDialog *dialog, bool html = false)
{
    QTextBrowser *browser = dialog->findChild<QTextBrowser *>();
    if (!browser)
        return QString();
    return html ? browser->toHtml() : browser->toPlainText();
}

inline void answer(SimpleDialog *dialog, bool ok)
{
    const QString text = ok ? QStringLiteral("确定") : QStringLiteral("取消");
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (button->text() == text) {
            button->click();
            return;
        }
    }
}

inline void closeDialogs()
{
    for (SimpleDialog *dialog : openDialogs())
        delete dialog;
}

// No request of the owner is waiting for its answer.
inline bool repliesHandled(QObject *owner)
{
    return owner->findChildren<BaseReq *>().isEmpty();
}

} // namespace ImportFixture
