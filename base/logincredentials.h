#pragma once

#include <functional>

#include <QByteArray>
#include <QString>
#include <QStringList>

// The remembered-login file: the account, and the password when the user
// asked to be remembered. The login windows write it; the account
// re-verification dialog reads the account from it.
namespace LoginCredentials {

// What the file holds.
struct Credentials
{
    QString username;
    QString password;
    bool remember = false;
};

QString encodePassword(const QString &password);
QString decodePassword(const QString &encoded);

QString filePath();
// The file's lines for these form values, with the platform's line ends and
// the locale's text encoding. encode turns the password into its
// "password=" value (the older login window stores it differently).
QByteArray fileContent(const QString &username, const QString &password, bool remember,
                       const std::function<QString(const QString &)> &encode = encodePassword);
// The file's reading rules (the last line of a key wins); decode turns a
// "password=" value into the password.
Credentials parse(const QStringList &lines, const std::function<QString(const QString &)> &decode = decodePassword);
// Reads and parses a remembered-login file (the login window's own when no
// path is given); false when it does not open.
bool readFile(Credentials *credentials, const QString &path = QString(),
              const std::function<QString(const QString &)> &decode = decodePassword);

} // namespace LoginCredentials
