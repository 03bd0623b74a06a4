#include "importfiles/jobs/importunfinished.h"

#include <QDir>
#include <QFileInfo>

#include "base/confined.h"
#include "base/unfinishednote.h"
#include "importfiles/jobs/importlog.h"

namespace {

QString notePath(const QString &orderFolder)
{
    return QDir(orderFolder).filePath(ImportUnfinished::fileName());
}

} // namespace

namespace ImportUnfinished {

QString fileName()
{
    return QStringLiteral("导入未完成.txt");
}

Begin begin(const QString &orderFolder)
{
    Begin begin;
    const QFileInfo note(notePath(orderFolder));
    if (note.isFile() && !note.isSymLink() && Confined::locate(note.filePath(), orderFolder) == Confined::Where::Inside) {
        begin.found = true;
        begin.since = note.lastModified();
        return begin;
    }
    const QString text = QStringLiteral("这个订单的导入还没有完成（开始于 %1）。\n"
                                        "再次为这个订单导入时，已导入的文件保留，只补齐其余的文件；导入完成后本文件自动删除。\n")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    if (!UnfinishedNote::write(orderFolder, fileName(), text, &begin.error))
        qCWarning(lcImport) << "导入未完成说明写入失败:" << orderFolder << begin.error;
    return begin;
}

bool copyKept(const QString &target, const QString &orderFolder, qint64 sourceSize, const QDateTime &since)
{
    if (!since.isValid() || Confined::locate(target, orderFolder) != Confined::Where::Inside)
        return false;
    const QFileInfo copy(target);
    return copy.isFile() && !copy.isSymLink() && copy.size() == sourceSize && copy.lastModified() >= since;
}

void finish(const QString &orderFolder)
{
    QString error;
    if (!UnfinishedNote::remove(orderFolder, fileName(), &error))
        qCWarning(lcImport) << "导入未完成说明删除失败:" << orderFolder << error;
}

} // namespace ImportUnfinished
