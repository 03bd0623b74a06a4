#include "base/sharedfolderopener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "base/pathutil.h"

namespace {

bool openWithDesktop(const QString &localPath)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(localPath));
}

bool (*s_openHook)(const QString &) = &openWithDesktop;

} // namespace

SharedFolderOpener::SharedFolderOpener(QObject *parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(5);
    m_pool.setExpiryTimeout(60000);
}

void SharedFolderOpener::setOpenUrlHook(bool (*hook)(const QString &))
{
    s_openHook = hook ? hook : &openWithDesktop;
}

QString SharedFolderOpener::openLocalFolder(const QString &path)
{
    if (path.trimmed().isEmpty())
        return QStringLiteral("文件夹路径为空");
    const QString local = PathUtil::toFs(path);
    const QFileInfo info(local);
    if (!info.exists())
        return QStringLiteral("文件夹不存在：") + PathUtil::toDisplay(path);
    if (!info.isDir())
        return QStringLiteral("不是文件夹：") + PathUtil::toDisplay(path);
    if (!s_openHook(local))
        return QStringLiteral("无法打开文件夹：") + PathUtil::toDisplay(path);
    return QString();
}

QString SharedFolderOpener::normalizePath(const QString &path)
{
    QString p = path;
    if (p.startsWith(QLatin1String("file://"), Qt::CaseInsensitive))
        p.remove(0, 7);
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (p.startsWith(QLatin1String("//")))
        p.prepend(QLatin1String("smb:"));
    return p;
}

void SharedFolderOpener::clearBusy(const QString &path)
{
    const QString p = normalizePath(path);
    m_busy.remove(p);
    emit stateChanged(p, false);
}

bool SharedFolderOpener::isBusy(const QString &path) const
{
    return m_busy.contains(normalizePath(path));
}

QPair<bool, QString> SharedFolderOpener::openWithExplorer(const QString &path, int timeoutMs)
{
    QProcess process;
    process.start(QStringLiteral("explorer.exe"), {QDir::toNativeSeparators(path)});
    if (!process.waitForStarted(3000))
        return {false, QStringLiteral("无法启动系统文件管理器")};
    if (!process.waitForFinished(timeoutMs)) {
        process.terminate();
        process.waitForFinished(1000);
        return {false, QStringLiteral("操作超时：请检查网络或服务器状态")};
    }
    if (process.exitCode() == 0)
        return {true, QString()};
    return {false, QString::fromUtf8(process.readAllStandardError())};
}

bool SharedFolderOpener::isHostReachable(const QString &path, int timeoutMs)
{
    QString host = QUrl(path).host(QUrl::FullyDecoded);
    if (host.isEmpty() && path.startsWith(QLatin1String("//"))) {
        const int end = path.indexOf(QLatin1Char('/'), 2);
        host = end < 0 ? path.mid(2) : path.mid(2, end - 2);
    }
    if (host.isEmpty())
        return true;
    QProcess process;
    process.start(QStringLiteral("ping"), {QStringLiteral("-n"), QStringLiteral("1"), QStringLiteral("-w"),
                                           QString::number(timeoutMs), host});
    if (!process.waitForFinished(timeoutMs))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
