#include "designsplit/jobs/fjunfinished.h"

#include "base/pathutil.h"
#include "base/unfinishednote.h"
#include "designsplit/jobs/fjlog.h"
#include "designsplit/jobs/fjrecords.h"

namespace FJUnfinished {

QString fileName(int mode)
{
    return mode == DownloadRawFiles ? QStringLiteral("下载未完成.txt") : QStringLiteral("分件未完成.txt");
}

QString read(const QString &orderRoot, int mode)
{
    return UnfinishedNote::firstLine(PathUtil::toFs(orderRoot), fileName(mode));
}

bool write(const QString &orderRoot, int mode, const QString &left, QString *error)
{
    const QString doing = mode == DownloadRawFiles ? QStringLiteral("下载") : QStringLiteral("分件");
    const QString text = left + QLatin1Char('\n')
        + QStringLiteral("这个订单的%1被中断，以上部分没有完成。再次%1时会补齐（已有的文件保留），完成后本文件自动删除。\n")
              .arg(doing);
    QString why;
    const bool ok = UnfinishedNote::write(PathUtil::toFs(orderRoot), fileName(mode), text, &why);
    if (!ok)
        qCWarning(lcDesignSplit) << "未完成说明写入失败:" << orderRoot << why;
    if (error)
        *error = why;
    return ok;
}

void remove(const QString &orderRoot, int mode)
{
    QString error;
    if (!UnfinishedNote::remove(PathUtil::toFs(orderRoot), fileName(mode), &error))
        qCWarning(lcDesignSplit) << "未完成说明删除失败:" << orderRoot << error;
}

} // namespace FJUnfinished
