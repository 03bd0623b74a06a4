#include "base/confined.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "base/heldfolder.h"
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

namespace {

bool refused(const QString &path, const QString &folder, QString *error)
{
    const QString refusal = writeRefusal(path, folder);
    if (refusal.isEmpty())
        return false;
    if (error)
        *error = refusal;
    return true;
}

} // namespace

HeldFolder holdFolderOf(const QString &path, const QString &folder, QString *error)
{
    return HeldFolder::openBeneath(folder, QFileInfo(path).absolutePath(), false, error);
}

bool makePath(const QString &sub, const QString &folder, QString *error)
{
    if (refused(sub, folder, error))
        return false;
    QString why;
    QString link;
    if (HeldFolder::openBeneath(folder, sub, true, &why, &link).isValid())
        return true;
    if (error)
        *error = link.isEmpty() ? QStringLiteral("无法创建目标目录: ") + PathUtil::toDisplay(sub) + QStringLiteral(" (")
                    + why + QLatin1Char(')')
                                : why;
    return false;
}

HeldFolder::MakeFolder makeFolder(const QString &path, const QString &folder, QString *error)
{
    if (refused(path, folder, error))
        return HeldFolder::MakeFolder::Failed;
    const HeldFolder held = holdFolderOf(path, folder, error);
    if (!held.isValid())
        return HeldFolder::MakeFolder::Failed;
    QString why;
    const HeldFolder::MakeFolder made = held.makeFolder(QFileInfo(path).fileName(), &why);
    if (made == HeldFolder::MakeFolder::Failed && error)
        *error = QStringLiteral("无法创建目录: ") + PathUtil::toDisplay(path) + QStringLiteral(" (") + why
                 + QLatin1Char(')');
    return made;
}

bool writeFile(const QString &path, const QString &folder, const QByteArray &data, QString *error)
{
    if (refused(path, folder, error))
        return false;
    const HeldFolder held = holdFolderOf(path, folder, error);
    return held.isValid() && FileOps::writeIn(held, QFileInfo(path).fileName(), data, false, error);
}

bool writeWith(const QString &path, const QString &folder, const std::function<bool(QIODevice *, QString *)> &fill,
               QString *error)
{
    if (refused(path, folder, error))
        return false;
    const HeldFolder held = holdFolderOf(path, folder, error);
    return held.isValid() && FileOps::writeWithIn(held, QFileInfo(path).fileName(), fill, error);
}

bool writeImage(const QString &path, const QString &folder, const QImage &image, const QByteArray &format,
                int quality, QString *error)
{
    if (refused(path, folder, error))
        return false;
    const HeldFolder held = holdFolderOf(path, folder, error);
    return held.isValid() && FileOps::writeImageIn(held, QFileInfo(path).fileName(), image, format, quality, error);
}

FileOps::CopyOutcome copyFile(const QString &src, const QString &path, const QString &folder,
                              const std::function<bool(qint64)> &check, QString *error,
                              const std::atomic_bool *cancel)
{
    if (refused(path, folder, error))
        return FileOps::CopyOutcome::Refused;
    QString link;
    const HeldFolder held =
        HeldFolder::openBeneath(folder, QFileInfo(path).absolutePath(), false, error, &link);
    if (!held.isValid())
        return link.isEmpty() ? FileOps::CopyOutcome::WriteFailed : FileOps::CopyOutcome::Refused;
    return FileOps::copyInto(src, held, QFileInfo(path).fileName(), check, error, cancel);
}

Removal removeFile(const QString &path, const QString &folder, QString *error)
{
    const auto fail = [error](Removal removal, const QString &text) {
        if (error)
            *error = text;
        return removal;
    };
    QString link;
    switch (locate(path, folder, &link)) {
    case Where::Inside:
        break;
    case Where::Outside:
        return fail(Removal::Refused, QStringLiteral("文件不在订单目录中，未删除"));
    case Where::ThroughLink:
        return fail(Removal::Refused, QStringLiteral("路径经过链接目录，未删除: ") + PathUtil::toDisplay(link));
    case Where::IsLink:
        // Deleting the link would not delete the file it stands for, and
        // the service would be told it was.
        return fail(Removal::Refused, QStringLiteral("文件是链接，未删除: ") + PathUtil::toDisplay(link));
    }
    QString why;
    const HeldFolder held = HeldFolder::openBeneath(folder, QFileInfo(path).absolutePath(), false, &why, &link);
    if (!held.isValid()) {
        if (!link.isEmpty())
            return fail(Removal::Refused, QStringLiteral("路径经过链接目录，未删除: ") + PathUtil::toDisplay(link));
        if (!QFileInfo::exists(QFileInfo(path).absolutePath()))
            return fail(Removal::Missing, QStringLiteral("文件不存在"));
        return fail(Removal::Failed, why);
    }
    const QString name = QFileInfo(path).fileName();
    switch (held.kindOf(name)) {
    case HeldFolder::Kind::Missing:
        return fail(Removal::Missing, QStringLiteral("文件不存在"));
    case HeldFolder::Kind::Link:
        return fail(Removal::Refused, QStringLiteral("文件是链接，未删除: ") + PathUtil::toDisplay(path));
    case HeldFolder::Kind::Folder:
        return fail(Removal::Refused, QStringLiteral("不是文件，未删除"));
    case HeldFolder::Kind::Special:
        return fail(Removal::Refused, QStringLiteral("不是普通文件（管道、设备或套接字），未删除"));
    case HeldFolder::Kind::File:
    case HeldFolder::Kind::Unknown:
        break;
    }
    // Looked at, and removed, in the folder held: a link put in its place
    // since is removed as a link at most, never followed.
    if (held.removeFile(name, &why))
        return Removal::Removed;
    return fail(Removal::Failed, why);
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
