#include "base/pathutil.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace PathUtil {

QString toFs(const QString &path)
{
#ifdef Q_OS_WIN
    return path;
#else
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
#endif
}

bool isUnc(const QString &path)
{
    auto separator = [](QChar c) { return c == QLatin1Char('/') || c == QLatin1Char('\\'); };
    return path.size() >= 2 && separator(path.at(0)) && separator(path.at(1));
}

bool isAbsolute(const QString &path)
{
    if (path.isEmpty())
        return false;
#ifndef Q_OS_WIN
    if (isUnc(path))
        return false;
#endif
    return QDir::isAbsolutePath(toFs(path));
}

bool hasDotComponent(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = p.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return true;
    }
    return false;
}

bool isPlainName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

bool sameFile(const QString &a, const QString &b)
{
#ifdef Q_OS_WIN
    auto identity = [](const QString &p, BY_HANDLE_FILE_INFORMATION *info) {
        HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(p).utf16()), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        const bool ok = GetFileInformationByHandle(h, info);
        CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!identity(a, &ia) || !identity(b, &ib))
        return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh
        && ia.nFileIndexLow == ib.nFileIndexLow;
#else
    struct stat sa;
    struct stat sb;
    const QByteArray pa = QFile::encodeName(toFs(a));
    const QByteArray pb = QFile::encodeName(toFs(b));
    if (::stat(pa.constData(), &sa) != 0 || ::stat(pb.constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#endif
}

namespace {

// Links followed one after another before a path counts as a loop.
constexpr int kMaxLinkDepth = 40;

QString resolved(const QString &abs, int depth)
{
    const QString canonical = QFileInfo(abs).canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    // A path that does not exist yet: resolve the deepest part that does and
    // append the rest, so a symbolic link above it is still seen through.
    QString head = abs;
    QString tail;
    while (!head.isEmpty()) {
        QString probe = head;
#ifdef Q_OS_WIN
        // "C:" alone names the current folder of drive C, not its root.
        if (probe.size() == 2 && probe.at(1) == QLatin1Char(':'))
            probe += QLatin1Char('/');
#endif
        const QFileInfo info(probe);
        const QString c = info.canonicalFilePath();
        if (!c.isEmpty())
            return QDir::cleanPath(c + tail);
        // A link whose target does not exist: a write through it creates
        // the target, so the path is where the link points.
        if (info.isSymLink() && depth < kMaxLinkDepth) {
            const QString target = info.symLinkTarget();
            if (!target.isEmpty())
                return resolved(QDir::cleanPath(target + tail), depth + 1);
        }
        const int slash = head.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            break;
        tail.prepend(head.mid(slash));
        head.truncate(slash);
    }
    return abs;
}

} // namespace

QString cleanAbsolute(const QString &path)
{
    return resolved(QDir::cleanPath(QFileInfo(toFs(path)).absoluteFilePath()), 0);
}

qint64 modifiedMSecs(const QString &path)
{
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    return info.exists() ? info.lastModified().toMSecsSinceEpoch() : -1;
#else
    struct stat st;
    if (::stat(QFile::encodeName(toFs(path)).constData(), &st) != 0)
        return -1;
#ifdef Q_OS_DARWIN
    const struct timespec &t = st.st_mtimespec;
#else
    const struct timespec &t = st.st_mtim;
#endif
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
#endif
}

bool isLink(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(toFs(path));
    // isSymLink() also takes a Windows shortcut (.lnk), an ordinary file.
    return info.isSymbolicLink() || info.isJunction();
}

bool isInside(const QString &path, const QString &folder)
{
    if (path.isEmpty() || folder.isEmpty())
        return false;
    const QString p = cleanAbsolute(path);
    QString f = cleanAbsolute(folder);
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    if (p.compare(f, cs) == 0)
        return true;
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    return p.startsWith(f, cs);
}

QString toDisplay(const QString &path)
{
    return QDir::toNativeSeparators(toFs(path));
}

bool isRootFolder(const QString &folder)
{
    QString p = folder;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool share = p.startsWith(QLatin1String("//"));
    QStringList parts = p.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (share)
        return parts.size() <= 2;
    if (p.startsWith(QLatin1Char('/')) && !parts.isEmpty() && parts.first().compare(QLatin1String("Volumes"), Qt::CaseInsensitive) == 0)
        return parts.size() <= 2;
    if (!parts.isEmpty() && parts.first().size() == 2 && parts.first().at(1) == QLatin1Char(':'))
        parts.removeFirst();
    return parts.isEmpty();
}

} // namespace PathUtil
