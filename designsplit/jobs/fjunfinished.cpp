#include "designsplit/jobs/fjunfinished.h"

#include <QDir>
#include <QFile>

#include "base/confined.h"
#include "base/fileops.h"
#include "base/pathutil.h"
#include "designsplit/jobs/fjlog.h"
#include "designsplit/jobs/fjrecords.h"

namespace {

QString notePath(const QString &orderRoot, int mode)
{
    return QDir(PathUtil::toFs(orderRoot)).filePath(FJUnfinished::fileName(mode));
}

// A note is a line and a sentence: anything longer is not one of ours.
const qint64 kLongestNote = 4096;

} // namespace

namespace FJUnfinished {

QString fileName(int mode)
{
    return mode == DownloadRawFiles ? QStringLiteral("下载未完成.txt") : QStringLiteral("分件未完成.txt");
}

QString read(const QString &orderRoot, int mode)
{
    QFile file;
    // Opened as a source: a pipe or a link standing there is not read.
    if (!FileOps::openSource(notePath(orderRoot, mode), &file))
        return QString();
    const QString text = QString::fromUtf8(file.read(kLongestNote));
    return text.section(QLatin1Char('\n'), 0, 0).trimmed();
}

bool write(const QString &orderRoot, int mode, const QString &left, QString *error)
{
    const QString doing = mode == DownloadRawFiles ? QStringLiteral("下载") : QStringLiteral("分件");
    const QString text = left + QLatin1Char('\n')
        + QStringLiteral("这个订单的%1被中断，以上部分没有完成。再次%1时会补齐（已有的文件保留），完成后本文件自动删除。\n")
              .arg(doing);
    const bool ok = Confined::writeFile(notePath(orderRoot, mode), PathUtil::toFs(orderRoot), text.toUtf8(), error);
    if (!ok)
        qCWarning(lcDesignSplit) << "未完成说明写入失败:" << orderRoot << (error ? *error : QString());
    return ok;
}

void remove(const QString &orderRoot, int mode)
{
    QString error;
    const Confined::Removal removal = Confined::removeFile(notePath(orderRoot, mode), PathUtil::toFs(orderRoot), &error);
    if (removal != Confined::Removal::Removed && removal != Confined::Removal::Missing)
        qCWarning(lcDesignSplit) << "未完成说明删除失败:" << orderRoot << error;
}

} // namespace FJUnfinished
