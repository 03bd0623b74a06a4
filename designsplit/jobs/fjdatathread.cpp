#include "designsplit/jobs/fjdatathread.h"

#include <QMetaObject>

#include "base/confined.h"
#include "base/k.h"
#include "base/pathutil.h"
#include "base/safename.h"
#include "designsplit/jobs/fjlog.h"

FJDataThread::FJDataThread(const QString &mode, const QString &category, const QString &sourcePath,
                           const QString &fileName, const QString &destDir, QObject *owner)
    : owner(owner)
    , mode(mode)
    , sourcePath(K::instance()->toLocalPath(sourcePath))
    , fileName(fileName)
    , destDir(destDir)
    , category(category)
{
    setAutoDelete(true);
}

FJDataThread::FJDataThread(const QString &mode, const QJsonObject &photo, const QString &dataUrl,
                           const QString &destDir, QObject *owner)
    : owner(owner)
    , mode(mode)
    , destDir(destDir)
    , photo(photo)
    , dataUrl(dataUrl)
{
    setAutoDelete(true);
}

FJDataThread::FJDataThread(const QString &mode, const QJsonObject &order, const QJsonObject &good,
                           const QString &destDir, QObject *owner)
    : owner(owner)
    , mode(mode)
    , destDir(destDir)
    , good(good)
    , order(order)
{
    orderRoot = destDir;
    setAutoDelete(true);
}

FJDataThread::FJDataThread(const QString &mode, QObject *owner)
    : owner(owner)
    , mode(mode)
{
    setAutoDelete(true);
}

FJDataThread::~FJDataThread() = default;

namespace {

FJDataThread::RunHook &runHook()
{
    static FJDataThread::RunHook hook;
    return hook;
}

} // namespace

void FJDataThread::setRunHook(RunHook hook)
{
    runHook() = std::move(hook);
}

void FJDataThread::run()
{
    if (gate && !gate->pass())
        return;
    if (runHook())
        runHook()(sourcePath);
    if (mode == QStringLiteral("下载精修片") || mode == QStringLiteral("下载原始档"))
        copyToDir();
    else if (mode == QStringLiteral("拷贝照片"))
        copyPhotoByCategory();
    else if (mode == QStringLiteral("存储照片"))
        saveDataUrlImage();
    else if (mode == QStringLiteral("创建产品"))
        createProductFolders();
    else if (mode == QStringLiteral("生成Html"))
        buildProductionSheet();
    else if (mode == QStringLiteral("下载照片交付-拷贝原始档"))
        copyFile();
    else if (mode == QStringLiteral("下载照片交付-拷贝原片"))
        copyWithExifRotation();
}

QString FJDataThread::orderValue(const QString &key) const
{
    return order.value(key).toString();
}

void FJDataThread::reportResult(bool ok, const QString &detail, const QString &message)
{
    if (!owner)
        return;
    QMetaObject::invokeMethod(owner, "slt_copypicthread", Qt::QueuedConnection, Q_ARG(bool, ok),
                              Q_ARG(QString, mode), Q_ARG(QString, sourcePath), Q_ARG(QString, detail),
                              Q_ARG(QString, message));
}

bool FJDataThread::checkFileName()
{
    if (SafeName::isClean(fileName))
        return true;
    // A name the service sent with a separator or a reserved character would
    // land somewhere else than the folder it is meant for: refuse it.
    qCWarning(lcDesignSplit) << "文件名非法:" << fileName;
    reportResult(false, QString(), fileName + QStringLiteral(" 文件名非法"));
    return false;
}

QString FJDataThread::orderFolder() const
{
    return PathUtil::toFs(orderRoot);
}

bool FJDataThread::makeFolder(const QString &folder, QString *error) const
{
    return Confined::makePath(PathUtil::toFs(folder), orderFolder(), error);
}

QString FJDataThread::copyFailure(const QString &why) const
{
    return fileName + QStringLiteral(" 拷贝失败") + (why.isEmpty() ? QString() : QStringLiteral("：") + why);
}
