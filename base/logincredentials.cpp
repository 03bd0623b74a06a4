#include "base/logincredentials.h"

#include <QFile>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QTextCodec>
#include <QTextStream>

Q_LOGGING_CATEGORY(lcCredentials, "velquora.login.credentials")

namespace LoginCredentials {

namespace {

const QString kUsernameKey = QStringLiteral("username=");
const QString kPasswordKey = QStringLiteral("password=");
const QString kRememberKey = QStringLiteral("remember=");
const QString kEnterpriseKey = QStringLiteral("enterprise_id=");

} // namespace

QString filePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    qCDebug(lcCredentials) << "文件保存路径：" << folder;
    return folder + QStringLiteral("/login_config.txt");
}

QByteArray fileContent(const QString &username, const QString &password, bool remember,
                       const std::function<QString(const QString &)> &encode)
{
#ifdef Q_OS_WIN
    const QString lineEnd = QStringLiteral("\r\n");
#else
    const QString lineEnd = QStringLiteral("\n");
#endif
    QString text = kUsernameKey + username + lineEnd;
    if (remember)
        text += kPasswordKey + encode(password) + lineEnd;
    text += kRememberKey + (remember ? QStringLiteral("1") : QStringLiteral("0")) + lineEnd;
    // The same codec a text stream uses by default, so readers on the
    // machine read what was written.
    return QTextCodec::codecForLocale()->fromUnicode(text);
}

Credentials parse(const QStringList &lines, const std::function<QString(const QString &)> &decode)
{
    Credentials credentials;
    for (const QString &line : lines) {
        if (line.startsWith(kEnterpriseKey)) {
            continue;
        } else if (line.startsWith(kUsernameKey)) {
            credentials.username = line.mid(kUsernameKey.size());
        } else if (line.startsWith(kPasswordKey)) {
            credentials.password = decode(line.mid(kPasswordKey.size()));
        } else if (line.startsWith(kRememberKey)) {
            credentials.remember = line.mid(kRememberKey.size()) == QLatin1String("1");
        }
    }
    return credentials;
}

bool readFile(Credentials *credentials, const QString &path,
              const std::function<QString(const QString &)> &decode)
{
    QFile file(path.isEmpty() ? filePath() : path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream stream(&file);
    QStringList lines;
    while (!stream.atEnd())
        lines.append(stream.readLine());
    file.close();
    *credentials = parse(lines, decode);
    return true;
}

QString encodePassword(const QString &password)
{
    return QString::fromLatin1(password.toUtf8().toBase64());
}

QString decodePassword(const QString &encoded)
{
    QByteArray bytes = QByteArray::fromBase64(encoded.toLatin1());
    if (bytes.isNull())
        return QString();
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return QString::fromUtf8(bytes);
}

} // namespace LoginCredentials
