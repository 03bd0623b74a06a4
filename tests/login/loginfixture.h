#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include "base/modalbox.h"
#include "login/customcheckboxnew.h"
#include "login/loginnew.h"

// Answers every modal box of the login window with OK and keeps what it said.
struct BoxRecorder
{
    struct Box
    {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString styleSheet;
    };
    QList<Box> boxes;

    BoxRecorder()
    {
        ModalBox::setHook([this](QDialog *dialog) {
            Box box;
            box.title = dialog->windowTitle();
            box.styleSheet = dialog->styleSheet();
            if (auto *message = qobject_cast<QMessageBox *>(dialog)) {
                box.text = message->text();
                box.icon = message->icon();
            }
            boxes.append(box);
            return int(QMessageBox::Ok);
        });
    }
    ~BoxRecorder() { ModalBox::setHook(nullptr); }
    QStringList texts() const
    {
        QStringList out;
        for (const Box &box : boxes)
            out << box.text;
        return out;
    }
};

// The login form's parts, found the way a user sees them.
struct LoginForm
{
    explicit LoginForm(LoginNew *window)
    {
        const auto edits = window->findChildren<QLineEdit *>(QStringLiteral("inputField"));
        for (QLineEdit *edit : edits) {
            if (edit->placeholderText() == QStringLiteral("请输入账号"))
                account = edit;
            else if (edit->placeholderText() == QStringLiteral("请输入密码"))
                password = edit;
        }
        button = window->findChild<QPushButton *>(QStringLiteral("loginButton"));
        remember = window->findChild<CustomCheckBoxNew *>(QStringLiteral("rememberPasswordBox"));
    }
    bool complete() const { return account && password && button && remember; }

    QLineEdit *account = nullptr;
    QLineEdit *password = nullptr;
    QPushButton *button = nullptr;
    CustomCheckBoxNew *remember = nullptr;
};

// Qt's test-mode configuration folder, never the user's own, and one per
// process: builds in other folders run the same test at the same time.
inline void useOwnConfigFolder()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QCoreApplication::applicationName() + QLatin1Char('-')
                                         + QString::number(QCoreApplication::applicationPid()));
}

inline void removeConfigFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (folder.contains(QStringLiteral(".qttest")))
        QDir(folder).removeRecursively();
}

// The remembered-login file of the test run.
inline QString credentialsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/login_config.txt");
}

inline void removeCredentials()
{
    const QString path = credentialsPath();
    if (QFileInfo(path).isDir())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

inline bool writeCredentials(const QByteArray &content)
{
    QDir().mkpath(QFileInfo(credentialsPath()).absolutePath());
    QFile file(credentialsPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

inline QByteArray readCredentials()
{
    QFile file(credentialsPath());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}
