#pragma once

#include <functional>

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

// Answers every modal box with OK and keeps what it said. A question with
// a No button gets the next of answers instead (OK when none is left), after
// onQuestion has run while it is open.
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
    QList<int> answers;
    std::function<void()> onQuestion;

    BoxRecorder()
    {
        ModalBox::setHook([this](QDialog *dialog) {
            Box box;
            box.title = dialog->windowTitle();
            box.styleSheet = dialog->styleSheet();
            auto *message = qobject_cast<QMessageBox *>(dialog);
            if (message) {
                box.text = message->text();
                box.icon = message->icon();
            }
            boxes.append(box);
            if (!message || !(message->standardButtons() & QMessageBox::No))
                return int(QMessageBox::Ok);
            if (onQuestion)
                onQuestion();
            return answers.isEmpty() ? int(QMessageBox::Ok) : answers.takeFirst();
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
