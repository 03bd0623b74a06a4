#include "batchdelete/jobs/batchdeleteunfinished.h"

#include <QDateTime>
#include <QLoggingCategory>

#include "base/pathutil.h"
#include "base/unfinishednote.h"

Q_LOGGING_CATEGORY(lcUnfinished, "velquora.batchdelete.unfinished")

namespace BatchDeleteUnfinished {

QString fileName()
{
    return QStringLiteral("删除未完成.txt");
}

bool write(const QString &folder, QString *error)
{
    const QString fsFolder = PathUtil::toFs(folder);
    const QString text = QStringLiteral("这个订单目录的批量删除被中断（%1），还有文件没有删除。\n"
                                        "再次批量删除这个订单时会继续删除其余的文件，删除完成后本文件自动删除。\n")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    QString why;
    const bool ok = UnfinishedNote::write(fsFolder, fileName(), text, &why);
    if (!ok)
        qCWarning(lcUnfinished) << "删除未完成说明写入失败:" << folder << why;
    if (error)
        *error = why;
    return ok;
}

void remove(const QString &folder)
{
    const QString fsFolder = PathUtil::toFs(folder);
    QString error;
    if (!UnfinishedNote::remove(fsFolder, fileName(), &error))
        qCWarning(lcUnfinished) << "删除未完成说明删除失败:" << folder << error;
}

} // namespace BatchDeleteUnfinished
