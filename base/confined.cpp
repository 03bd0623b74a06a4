#include "base/confined.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "base/pathutil.h"

namespace Confined {

namespace {

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kCase = Qt::CaseSensitive;
#endif

QString cleaned(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Whether a link of the file system stands at path: a symbolic link or a
// junction, also one whose target is missing. No conversion of separators:
// the path is the file system's already.
bool linkAt(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymbolicLink() || info.isJunction();
}

} // namespace

Where locate(const QString &path, const QString &folder, QString *link)
{
    if (path.isEmpty() || folder.isEmpty())
        return Where::Outside;
    const QString f = cleaned(folder);
    const QString p = cleaned(path);
    // The folder itself may lie below links (a mounted share); it may not
    // be one, or everything in it lies elsewhere.
    if (linkAt(f)) {
        if (link)
            *link = f;
        return p.compare(f, kCase) == 0 ? Where::IsLink : Where::ThroughLink;
    }
    if (p.compare(f, kCase) == 0)
        return Where::Inside;
    const QString prefix = f.endsWith(QLatin1Char('/')) ? f : f + QLatin1Char('/');
    if (!p.startsWith(prefix, kCase))
        return Where::Outside;
    const QStringList parts = p.mid(prefix.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString at = f;
    for (int i = 0; i < parts.size(); ++i) {
        if (!at.endsWith(QLatin1Char('/')))
            at += QLatin1Char('/');
        at += parts.at(i);
        if (linkAt(at)) {
            if (link)
                *link = at;
            return i == parts.size() - 1 ? Where::IsLink : Where::ThroughLink;
        }
        // Below a missing folder there is nothing, links included.
        if (!QFileInfo::exists(at))
            break;
    }
    return Where::Inside;
}

QString writeRefusal(const QString &path, const QString &folder)
{
    QString link;
    switch (locate(path, folder, &link)) {
    case Where::Inside:
        return QString();
    case Where::IsLink:
        // A link to a folder stands where a folder would be made.
        return (QFileInfo(link).isDir() ? QStringLiteral("目标目录是链接，拒绝写入: ")
                                         : QStringLiteral("目标文件是链接，拒绝写入: "))
            + PathUtil::toDisplay(link);
    case Where::ThroughLink:
        return QStringLiteral("目标目录是链接，拒绝写入: ") + PathUtil::toDisplay(link);
    case Where::Outside:
        break;
    }
    return QStringLiteral("目标路径指向订单目录之外，拒绝写入: ") + PathUtil::toDisplay(path);
}

bool makePath(const QString &sub, const QString &folder, QString *error)
{
    const QString refusal = writeRefusal(sub, folder);
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return false;
    }
    if (QFileInfo(sub).isDir() || QDir().mkpath(sub)) {
        // A link put in place of a folder while it was made.
        const QString again = writeRefusal(sub, folder);
        if (again.isEmpty())
            return true;
        if (error)
            *error = again;
        return false;
    }
    if (error)
        *error = QStringLiteral("无法创建目标目录: ") + PathUtil::toDisplay(sub);
    return false;
}

bool writeFile(const QString &path, const QString &folder, const QByteArray &data, QString *error)
{
    const QString refusal = writeRefusal(path, folder);
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return false;
    }
    return FileOps::writeAtomically(path, data, false, error);
}

bool writeImage(const QString &path, const QString &folder, const QImage &image, const QByteArray &format,
                int quality, QString *error)
{
    const QString refusal = writeRefusal(path, folder);
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return false;
    }
    return FileOps::writeImageAtomically(path, image, format, quality, error);
}

FileOps::CopyOutcome copyFile(const QString &src, const QString &path, const QString &folder,
                              const std::function<bool(qint64)> &check, QString *error,
                              const std::atomic_bool *cancel)
{
    const QString refusal = writeRefusal(path, folder);
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return FileOps::CopyOutcome::Refused;
    }
    return FileOps::copyChecked(src, path, check, error, cancel);
}

Removal removeFile(const QString &path, const QString &folder, QString *error)
{
    QString link;
    switch (locate(path, folder, &link)) {
    case Where::Inside:
        break;
    case Where::Outside:
        if (error)
            *error = QStringLiteral("文件不在订单目录中，未删除");
        return Removal::Refused;
    case Where::ThroughLink:
        if (error)
            *error = QStringLiteral("路径经过链接目录，未删除: ") + PathUtil::toDisplay(link);
        return Removal::Refused;
    case Where::IsLink:
        // Deleting the link would not delete the file it stands for, and
        // the service would be told it was.
        if (error)
            *error = QStringLiteral("文件是链接，未删除: ") + PathUtil::toDisplay(link);
        return Removal::Refused;
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        if (error)
            *error = QStringLiteral("文件不存在");
        return Removal::Missing;
    }
    if (info.isDir()) {
        if (error)
            *error = QStringLiteral("不是文件，未删除");
        return Removal::Refused;
    }
    QFile file(path);
    if (file.remove())
        return Removal::Removed;
    if (error)
        *error = file.error() == QFileDevice::RemoveError && !QFileInfo(info.absolutePath()).isWritable()
            ? QStringLiteral("没有删除权限")
            : file.errorString();
    return Removal::Failed;
}

QString orderFolderRefusal(const QString &folder)
{
    if (folder.isEmpty() || PathUtil::isRootFolder(folder))
        return QStringLiteral("订单目录是磁盘或共享的根目录，未删除");
    const QString f = cleaned(folder);
    if (linkAt(f))
        return QStringLiteral("订单目录是链接，未删除: ") + PathUtil::toDisplay(f);
    const QString real = QFileInfo(f).canonicalFilePath();
    if (!real.isEmpty() && real.compare(f, kCase) != 0)
        return QStringLiteral("订单目录经过链接指向别处，未删除: ") + PathUtil::toDisplay(f);
    return QString();
}

} // namespace Confined
