#include "transferphotos/jobs/tfdellocalphotoimg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/confined.h"
#include "base/pathutil.h"
#include "transferphotos/jobs/tflog.h"

namespace {

const QStringList kSizeFolders = {QStringLiteral("90"), QStringLiteral("190"), QStringLiteral("1920")};
const QStringList kVideoFolders = {QStringLiteral("试拍视频"), QStringLiteral("精修视频")};

} // namespace

TFDelLocalPhotoImg::TFDelLocalPhotoImg(QObject *parent)
    : QThread(parent)
{
}

TFDelLocalPhotoImg::~TFDelLocalPhotoImg() = default;

QStringList TFDelLocalPhotoImg::delPhotos(const QStringList &paths)
{
    QStringList refused;
    for (const QString &path : paths) {
        // Only a copy this tool wrote may go: an absolute path straight inside
        // an "all" folder (with its size siblings) or a video folder.
        if (!PathUtil::isAbsolute(path) || PathUtil::hasDotComponent(path)) {
            qCWarning(lcTransfer) << "跳过无效的本地照片路径:" << path;
            refused << path;
            continue;
        }
        const QFileInfo info(PathUtil::toFs(path));
        const QString name = info.fileName();
        const QDir folder = info.dir();
        const QString folderName = folder.dirName();
        if (name.isEmpty()) {
            qCWarning(lcTransfer) << "跳过无效的本地照片路径:" << path;
            refused << path;
            continue;
        }
        if (folderName != QLatin1String("all") && !kVideoFolders.contains(folderName)) {
            qCWarning(lcTransfer) << "跳过不在导片目录中的文件:" << path;
            refused << path;
            continue;
        }
        // A link in the order's folder (a size folder, or the file itself)
        // must not take the deletion anywhere else.
        const QString orderFolder = QFileInfo(folder.absolutePath()).path();
        for (const QString &copy : copiesOf(info.filePath())) {
            const Confined::Where where = Confined::locate(copy, orderFolder);
            if (where != Confined::Where::Inside) {
                qCWarning(lcTransfer) << "本地文件是链接或在订单目录之外，未删除:" << copy;
                refused << copy;
                continue;
            }
            pendingPaths.append({copy, orderFolder});
        }
    }
    if (!isRunning())
        run();
    return refused;
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
        const QPair<QString, QString> pending = pendingPaths.takeFirst();
        QString error;
        // Checked again here: a link may have come in since the request.
        const Confined::Removal removal = Confined::removeFile(pending.first, pending.second, &error);
        if (removal == Confined::Removal::Refused || removal == Confined::Removal::Failed)
            qCWarning(lcTransfer) << "删除本地照片失败:" << pending.first << error;
    }
}
