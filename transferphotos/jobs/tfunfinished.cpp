#include "transferphotos/jobs/tfunfinished.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>

#include "base/confined.h"
#include "base/pathutil.h"
#include "base/unfinishednote.h"
#include "transferphotos/jobs/tfimportworker.h"
#include "transferphotos/jobs/tflog.h"

namespace {

QString notePath(const QString &folder)
{
    return QDir(folder).filePath(TfUnfinished::fileName());
}

// The copy of entry the run would make, when the earlier runs left it: a
// regular file inside the order's folder, not a link, written since the
// note.
bool copyMade(const PhotoInfo &entry, const QString &folder, const QDateTime &since)
{
    if (!PathUtil::isPlainName(entry.img_name) || !PathUtil::isPlainName(entry.sizeTag))
        return false;
    ImportTask task;
    task.photo = entry;
    task.sizeFolder = folder + QLatin1Char('/') + entry.sizeTag;
    const QString target = tfimportworker::targetPathOf(task);
    if (Confined::locate(target, folder) != Confined::Where::Inside)
        return false;
    const QFileInfo copy(target);
    return copy.isFile() && !copy.isSymLink() && copy.size() > 0 && copy.lastModified() >= since;
}

void writeNote(const QString &folder)
{
    const QString text = QStringLiteral("这个订单的导片还没有完成（开始于 %1）。\n"
                                        "再次导片时，已导入的照片保留，只补齐未完成的照片；导片完成后本文件自动删除。\n")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    QString error;
    if (!UnfinishedNote::write(folder, TfUnfinished::fileName(), text, &error))
        qCWarning(lcTransfer) << "导片未完成说明写入失败:" << folder << error;
}

} // namespace

namespace TfUnfinished {

QString fileName()
{
    return QStringLiteral("导片未完成.txt");
}

Resume begin(OrderInfo *order, const QString &orderFolder)
{
    Resume resume;
    const QString folder = QDir::cleanPath(orderFolder);
    const QFileInfo note(notePath(folder));
    if (!note.isFile() || note.isSymLink()) {
        writeNote(folder);
        return resume;
    }
    resume.resumed = true;
    const QDateTime since = note.lastModified();
    const int done = static_cast<int>(PhotoStatus::Uploaded);
    // Per photo (its source), whether a copy is still to make; in pick order.
    QStringList sources;
    QHash<QString, bool> open;
    QList<PhotoInfo> &entries = order->selectedFiles;
    for (int i = 0; i < entries.size(); ++i) {
        PhotoInfo &entry = entries[i];
        if (entry.importFlag != done && copyMade(entry, folder, since)) {
            entry.importFlag = done;
            resume.kept << i;
        }
        if (!open.contains(entry.url))
            sources << entry.url;
        open[entry.url] = open.value(entry.url) || entry.importFlag != done;
    }
    for (const QString &source : qAsConst(sources))
        ++(open.value(source) ? resume.redo : resume.whole);
    qCDebug(lcTransfer) << "订单上次导片未完成，保留已有的拷贝:" << order->orderpayforkey << resume.kept.size()
                        << "重新导入:" << resume.redo;
    return resume;
}

void finish(const QString &orderFolder)
{
    const QString folder = QDir::cleanPath(orderFolder);
    QString error;
    if (!UnfinishedNote::remove(folder, fileName(), &error))
        qCWarning(lcTransfer) << "导片未完成说明删除失败:" << folder << error;
}

} // namespace TfUnfinished
