#include "transferphotos/tfdellocalphotoimg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/pathutil.h"
#include "transferphotos/tflog.h"

namespace {

const QStringList kSizeFolders = {QStringLiteral("90"), QStringLiteral("190"), QStringLiteral("1920")};
const QStringList kVideoFolders = {QStringLiteral("试拍视频"), QStringLiteral("精修视频")};

} // namespace

TFDelLocalPhotoImg::TFDelLocalPhotoImg(QObject *parent)
    : QThread(parent)
{
}

TFDelLocalPhotoImg::~TFDelLocalPhotoImg() = default;

void TFDelLocalPhotoImg::delPhotos(const QStringList &paths)
{
    for (const QString &path : paths) {
        // Only a copy this tool wrote may go: an absolute path straight inside
        // an "all" folder (with its size siblings) or a video folder.
        if (!PathUtil::isAbsolute(path) || PathUtil::hasDotComponent(path)) {
            qCWarning(lcTransfer) << "跳过无效的本地照片路径:" << path;
            continue;
        }
        const QFileInfo info(PathUtil::toFs(path));
        const QString name = info.fileName();
        const QDir folder = info.dir();
        const QString folderName = folder.dirName();
        if (name.isEmpty()) {
            qCWarning(lcTransfer) << "跳过无效的本地照片路径:" << path;
            continue;
        }
        if (folderName == QLatin1String("all") || kVideoFolders.contains(folderName)) {
            pendingPaths.append(copiesOf(info.filePath()));
        } else {
            qCWarning(lcTransfer) << "跳过不在导片目录中的文件:" << path;
        }
    }
    if (!isRunning())
        run();
}

QStringList TFDelLocalPhotoImg::copiesOf(const QString &fsPath)
{
    const QFileInfo info(fsPath);
    QStringList copies{info.filePath()};
    const QDir folder = info.dir();
    if (folder.dirName() == QLatin1String("all")) {
        const QString orderFolder = QFileInfo(folder.absolutePath()).path();
        for (const QString &size : kSizeFolders)
            copies.append(orderFolder + QLatin1Char('/') + size + QLatin1Char('/') + info.fileName());
    }
    return copies;
}

void TFDelLocalPhotoImg::run()
{
    while (!pendingPaths.isEmpty()) {
        const QString path = pendingPaths.takeFirst();
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            continue;
        if (info.isSymLink() || !info.isFile()) {
            qCWarning(lcTransfer) << "跳过非普通文件:" << path;
            continue;
        }
        if (!QFile::remove(path))
            qCWarning(lcTransfer) << "删除本地照片失败:" << path;
    }
}
