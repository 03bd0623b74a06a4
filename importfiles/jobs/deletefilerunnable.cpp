#include "importfiles/jobs/deletefilerunnable.h"

#include <QFileInfo>
#include <QStringList>

#include "base/confined.h"
#include "base/pathutil.h"
#include "importfiles/jobs/importlog.h"

namespace {

void addLine(QString *message, const QString &text)
{
    if (!message->isEmpty())
        message->append(QLatin1Char('\n'));
    message->append(text);
}

// "\folder\name" of a companion path, or empty when it has no separator.
QString displayForm(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QStringList parts = p.split(QLatin1Char('\\'));
    if (parts.size() < 2)
        return QString();
    return QLatin1Char('\\') + parts.at(parts.size() - 2) + QLatin1Char('\\') + parts.last();
}

} // namespace

DeleteFileRunnable::DeleteFileRunnable(const ThumbnailPhoto &photo, const QString &orderFolder, QObject *parent)
    : QObject(parent)
    , photo(photo)
    , orderFolder(orderFolder)
{
    setAutoDelete(true);
}

DeleteFileRunnable::~DeleteFileRunnable()
{
    qCDebug(lcImport) << "DeleteFileRunnable 析构";
}

QString DeleteFileRunnable::refusal(const QString &path, const QString &label)
{
    // A share path is judged by its place before this machine is asked
    // whether it can reach it, so a share's root is named as such everywhere.
    if (!PathUtil::isAbsolute(path) && !PathUtil::isUnc(path))
        return label + QStringLiteral(" 不是完整的文件路径，未删除");
    if (PathUtil::hasDotComponent(path))
        return label + QStringLiteral(" 的路径含有\".\"或\"..\"，未删除");
    QString parent = path;
    parent.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const int slash = parent.lastIndexOf(QLatin1Char('/'));
    parent.truncate(slash <= 0 ? slash + 1 : slash);
    if (PathUtil::isRootFolder(parent))
        return label + QStringLiteral(" 位于磁盘或共享的根目录，未删除");
    if (!PathUtil::isAbsolute(path))
        return label + QStringLiteral(" 不是完整的文件路径，未删除");
    const QFileInfo info(PathUtil::toFs(path));
    if (!info.exists() && !info.isSymLink())
        return label + QStringLiteral(" 文件不存在");
    if (info.isSymLink() || !info.isFile())
        return label + QStringLiteral(" 不是普通文件，未删除");
    if (!info.isWritable())
        return label + QStringLiteral(" 没有删除权限");
    return QString();
}

bool DeleteFileRunnable::remove(const QString &path, const QString &label, const QString &failed,
                                QString *reason) const
{
    QString error;
    switch (Confined::removeFile(PathUtil::toFs(path), PathUtil::toFs(orderFolder), &error)) {
    case Confined::Removal::Removed:
        return true;
    case Confined::Removal::Missing:
        *reason = label + QStringLiteral(" 文件不存在");
        return false;
    case Confined::Removal::Refused:
        *reason = label + QLatin1Char(' ') + error;
        return false;
    case Confined::Removal::Failed:
        break;
    }
    *reason = label + failed + error;
    return false;
}

void DeleteFileRunnable::run()
{
    DeleteFileResult result;
    result.photo = photo;

    if (photo.localPath.isEmpty()) {
        result.message = photo.name + QStringLiteral(" 文件路径为空");
        emit deleteFinished(result);
        return;
    }
    const QString refused = refusal(photo.localPath, photo.name);
    if (!refused.isEmpty()) {
        result.message = refused;
        emit deleteFinished(result);
        return;
    }
    QString reason;
    if (remove(photo.localPath, photo.name, QStringLiteral("删除失败:"), &reason)) {
        result.success = true;
        qCDebug(lcImport) << "文件删除成功:" << photo.localPath;
    } else {
        result.message = reason;
        qCDebug(lcImport) << "文件删除失败:" << photo.localPath << "错误:" << result.message;
    }

    for (const QString &companion : photo.companionFiles) {
        if (companion.isEmpty())
            continue;
        const QString shown = displayForm(companion);
        if (shown.isEmpty())
            addLine(&result.message, companion + QStringLiteral(" 的路径错误"));
        const QString companionRefused = refusal(companion, shown.isEmpty() ? companion : shown);
        if (!companionRefused.isEmpty()) {
            addLine(&result.message, companionRefused);
            continue;
        }
        QString reason;
        if (remove(companion, shown, QStringLiteral(" 删除失败 "), &reason)) {
            result.success = true;
        } else {
            addLine(&result.message, reason);
            qCDebug(lcImport) << "文件删除失败:" << companion << "错误:" << result.message;
        }
    }
    emit deleteFinished(result);
}
