#include "designsplit/jobs/fjorderplanner.h"

#include <algorithm>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonObject>
#include <QSet>
#include <QThread>
#include <QThreadPool>

#include "base/confined.h"
#include "base/formfield.h"
#include "base/globals.h"
#include "base/handover.h"
#include "base/k.h"
#include "base/orderservice.h"
#include "base/pathutil.h"
#include "base/safename.h"
#include "designsplit/jobs/fjdataoperate.h"
#include "designsplit/jobs/fjdatathread.h"
#include "designsplit/jobs/fjlog.h"
#include "designsplit/jobs/fjunfinished.h"

namespace {

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

QJsonArray array(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toArray();
}

// A folder of the order's, made inside the order folder and never through
// a link; one that cannot be made shows in the failures of the jobs that
// write into it.
void makeFolder(const QString &path, const QString &orderRoot)
{
    QString error;
    if (!Confined::makePath(PathUtil::toFs(path), PathUtil::toFs(orderRoot), &error))
        qCWarning(lcDesignSplit) << "文件夹创建失败:" << path << error;
}

// Every job writes only inside the order folder, and passes the batch's
// gate.
FJDataThread *confined(FJDataThread *job, const FJDataOperate &data)
{
    job->orderRoot = data.orderRoot;
    job->gate = data.gate;
    return job;
}

void queueDownload(FJDataOperate &data, const QString &url, QJsonObject item, const QString &type)
{
    item.insert(QStringLiteral("image_type"), type);
    data.downImgUrls.append(url);
    data.downImgInfos.insert(url, item);
}

void startJob(QThreadPool *pool, FJDataThread *job)
{
    HandOver::start(pool, job);
}

// "a.JPG" -> "a.jpg": how a finished photo and its retouched version are
// matched.
QString matchKey(const QString &name)
{
    const QFileInfo info(name);
    return info.baseName() + QLatin1Char('.') + info.suffix().toLower();
}

// Takes back an order folder that this plan made and that nothing went
// into: only empty folders go (rmdir refuses any other), links are not
// followed, and a folder that was there before the plan is left alone.
void removeEmptyTree(const QString &rootFs)
{
    QStringList folders;
    QDirIterator it(rootFs, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (!it.fileInfo().isSymLink())
            folders.append(it.filePath());
    }
    // Deepest first.
    std::sort(folders.begin(), folders.end(),
              [](const QString &a, const QString &b) { return a.count(QLatin1Char('/')) > b.count(QLatin1Char('/')); });
    QDir dir;
    for (const QString &folder : qAsConst(folders))
        dir.rmdir(folder);
    dir.rmdir(rootFs);
}

FJPlan skipped(const QString &line)
{
    FJPlan plan;
    plan.outcome = FJPlan::Outcome::Skipped;
    plan.message = line;
    return plan;
}

void planDelivery(const QJsonObject &obj, const FJPlanInput &input, const QString &share, const QString &label,
                  FJDataOperate &data, QThreadPool *pool, QObject *owner, FJPlan *plan)
{
    const QString root = plan->orderRoot;
    if (input.simpleRetouch || input.simpleRetouchRejects) {
        makeFolder(root + QStringLiteral("简修"), root);
        for (const QJsonValue &value : array(obj, "images_all")) {
            const QJsonObject item = value.toObject();
            queueDownload(data, text(item, "url"), item, QStringLiteral("简修"));
        }
    }
    if (input.raw) {
        makeFolder(root + QStringLiteral("原始档"), root);
        const QDir source(PathUtil::toFs(share + QStringLiteral("/原始档")));
        // Asked for and not there: said, not passed over in silence.
        if (!source.exists())
            plan->warning = label + QStringLiteral(" 连接不上共享目录;");
        for (const QFileInfo &file : source.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
            startJob(pool, confined(new FJDataThread(QStringLiteral("下载照片交付-拷贝原始档"), QStringLiteral("原始档"),
                                                     file.absoluteFilePath(), file.fileName(),
                                                     root + QStringLiteral("原始档/") + file.fileName(), owner),
                                    data));
            ++plan->copyPicTotal;
        }
    }
    if (input.original) {
        makeFolder(root + QStringLiteral("原片"), root);
        for (const QJsonValue &value : array(obj, "images_yuanpian")) {
            const QJsonObject item = value.toObject();
            const QString name = text(item, "img_name");
            startJob(pool, confined(new FJDataThread(QStringLiteral("下载照片交付-拷贝原片"), QStringLiteral("原片"),
                                                     text(item, "localpath"), name,
                                                     root + QStringLiteral("原片/") + name, owner),
                                    data));
            ++plan->copyPicTotal;
        }
    }
    if (input.simpleRetouchRejects) {
        makeFolder(root + QStringLiteral("汰片"), root);
        for (const QJsonValue &value : array(obj, "images_taipian")) {
            const QJsonObject item = value.toObject();
            queueDownload(data, text(item, "url_all"), item, QStringLiteral("汰片"));
        }
    }
    if (input.fineRetouch) {
        makeFolder(root + QStringLiteral("精修"), root);
        for (const QJsonValue &value : array(obj, "images_jingxiu")) {
            const QJsonObject item = value.toObject();
            queueDownload(data, text(item, "url"), item, QStringLiteral("精修"));
        }
    }
    plan->downImgTotal = data.downImgUrls.size();
    plan->total = plan->downImgTotal + plan->copyPicTotal;
}

void planRawDownload(const FJPlanInput &input, const QString &share, const QString &label, const FJDataOperate &data,
                     QThreadPool *pool, QObject *owner, FJPlan *plan)
{
    if (!QDir(PathUtil::toFs(share + QStringLiteral("/原始档"))).exists()) {
        *plan = skipped(label + QStringLiteral(" 连接不上共享目录;"));
        return;
    }
    QList<ThumbnailPhoto> picked;
    for (const ThumbnailPhoto &photo : input.order.downloadedImages) {
        if (photo.selected)
            picked.append(photo);
    }
    for (const ThumbnailPhoto &photo : input.order.undownloadedImages) {
        if (photo.selected)
            picked.append(photo);
    }
    if (picked.isEmpty()) {
        *plan = skipped(label + QStringLiteral(" 没有选择原始档;"));
        return;
    }
    const QString root = plan->orderRoot;
    makeFolder(root + QStringLiteral("原始档"), root);
    for (const ThumbnailPhoto &photo : qAsConst(picked)) {
        auto *job = confined(new FJDataThread(QStringLiteral("下载原始档"), QFileInfo(photo.name).suffix(),
                                              photo.filePath, photo.name, root + QStringLiteral("原始档"), owner),
                             data);
        job->photoId = photo.id;
        startJob(pool, job);
    }
    plan->total = picked.size();
    plan->copyPicTotal = picked.size();
}

void planSelection(const QJsonObject &obj, const QString &share, FJDataOperate &data, QThreadPool *pool,
                   QObject *owner, FJPlan *plan)
{
    const QString other = plan->orderRoot + QStringLiteral("其他/");
    data.setAllDir(share);
    const QJsonArray all = array(obj, "images_all");
    data.copyFinishedOnly(all, other, pool, owner);
    QSet<QString> names;
    for (const QJsonValue &value : all)
        names.insert(QFileInfo(text(value.toObject(), "img_name")).completeBaseName());
    const QJsonArray base = array(obj, "images_rudi");
    data.copyBasePhotos(base, other, pool, owner);
    data.collectCropImages(array(obj, "orderpicdescr"));
    data.normaliseOrders(array(obj, "servicetime"));

    int raws = 0;
    const QJsonObject shop = obj.value(QStringLiteral("shop_message")).toObject();
    if (text(shop, "isbdyxzysd") == QLatin1String("1")) {
        const QJsonObject ysd = obj.value(QStringLiteral("ysdimgs")).toObject();
        for (const char *key : {"images_1_1", "images_1_0"}) {
            for (const QJsonValue &value : array(ysd, key)) {
                const QJsonObject item = value.toObject();
                const QString name = text(item, "img_name");
                if (!names.contains(QFileInfo(name).completeBaseName()))
                    continue;
                auto *job = confined(new FJDataThread(QStringLiteral("下载原始档"), QFileInfo(name).suffix(),
                                                      text(item, "localpath"), name,
                                                      other + QStringLiteral("成品原始档"), owner),
                                     data);
                job->photoId = text(item, "id");
                startJob(pool, job);
                ++raws;
            }
        }
    }
    queueDownload(data, data.barcodeUrl, QJsonObject{{QStringLiteral("img_name"), QStringLiteral("条形码.jpg")}},
                  QStringLiteral("条形码"));
    plan->copyPicTotal = all.size() + base.size() + raws;
    plan->downImgTotal = data.downImgUrls.size();
    plan->total = plan->copyPicTotal + 1 + plan->downImgTotal;
}

void planDesignSplit(const QJsonObject &obj, const FJPlanInput &input, const QString &share, FJDataOperate &data,
                     QThreadPool *pool, QObject *owner, FJPlan *plan)
{
    const QString other = plan->orderRoot + QStringLiteral("其他/");
    data.setAllDir(share);
    QJsonArray finished;
    QJsonArray thumbs;
    if (input.issjfenjianms != QLatin1String("2")) {
        finished = array(obj, "images");
        data.copyFinishedPhotos(finished, other, pool, owner);
    } else {
        thumbs = array(obj, "images");
        QSet<QString> keys;
        for (const QJsonValue &value : qAsConst(thumbs))
            keys.insert(matchKey(text(value.toObject(), "img_name")));
        data.copyFinishedThumbnails(thumbs, other, pool, owner);
        for (const QJsonValue &value : array(obj, "images_jingxiu")) {
            if (keys.contains(matchKey(text(value.toObject(), "img_name"))))
                finished.append(value);
        }
        data.copyRetouchedPhotos(finished, other, pool, owner);
    }
    QJsonArray rejected;
    const QJsonObject shop = obj.value(QStringLiteral("shop_message")).toObject();
    if (text(shop, "xztp") == QLatin1String("1"))
        rejected = array(obj, "images_taipian");
    data.copyRejectedPhotos(rejected, other, pool, owner);
    const QJsonArray base = array(obj, "images_rudi");
    data.copyBasePhotos(base, other, pool, owner);
    data.collectCropImages(array(obj, "orderpicdescr"));
    data.normaliseOrders(array(obj, "servicetime"));

    queueDownload(data, data.barcodeUrl, QJsonObject{{QStringLiteral("img_name"), QStringLiteral("条形码.jpg")}},
                  QStringLiteral("条形码"));
    const QString courier = text(obj, "down_txt");
    if (!courier.isEmpty()) {
        queueDownload(data, courier, QJsonObject{{QStringLiteral("img_name"), QStringLiteral("快递信息.txt")}},
                      QStringLiteral("快递信息"));
    }
    plan->copyPicTotal = thumbs.size() + finished.size() + rejected.size() + base.size();
    plan->downImgTotal = data.downImgUrls.size();
    data.namingRule = input.namingRule;
    plan->total = plan->copyPicTotal + plan->downImgTotal + data.pros.size() + 1;
    plan->startProductsNow = plan->copyPicTotal == 0 && !data.pros.isEmpty();
    qCDebug(lcDesignSplit) << "chenpins 总数:" << finished.size();
    qCDebug(lcDesignSplit) << "images_taipians 总数:" << rejected.size();
    qCDebug(lcDesignSplit) << "images_rudis 总数:" << base.size();
    qCDebug(lcDesignSplit) << "downImgUrls 总数:" << data.downImgUrls.size();
    qCDebug(lcDesignSplit) << "pros 总数:" << data.pros.size();
    qCDebug(lcDesignSplit) << "开始拷贝数据了 总进度:" << plan->total;
}

} // namespace

namespace FJOrderPlanner {

QString orderFolderName(const QJsonObject &order)
{
    // One pass: a value holding "%2" stays as it is.
    const QString name = QStringLiteral("%1-服务%2 %3-%4 %5")
                             .arg(text(order, "orderpayforkey"), text(order, "servicetimes"), text(order, "mname"),
                                  text(order, "wname"), text(order, "pickuptypename"));
    return SafeName::clean(name);
}

QString barcodeUrl(const QString &orderPhotoId, const QString &shopId, const QString &superId)
{
    return g_barcodeUrl + QStringLiteral("&order_photo_id=") + QString::fromUtf8(FormField::encodeValue(orderPhotoId))
        + QStringLiteral("&shopid=") + QString::fromUtf8(FormField::encodeValue(shopId)) + QStringLiteral("&superid=")
        + QString::fromUtf8(FormField::encodeValue(superId)) + QStringLiteral("&token=") + g_token;
}

FJPlan plan(bool ok, const QJsonDocument &reply, const FJPlanInput &input, FJDataOperate &data, QThreadPool *pool,
            QObject *owner)
{
    FJPlan plan;
    const QString number = input.order.orderpayforkey;
    if (!ok) {
        qCDebug(lcDesignSplit) << "订单获取详情失败了";
        plan.outcome = FJPlan::Outcome::ServiceError;
        plan.message = number + QStringLiteral("订单详情获取失败");
        return plan;
    }
    QJsonObject obj = reply.object();
    const OrderService::Answer answer = OrderService::check(obj, OrderService::TextField::MessageOrMsg);
    obj.remove(QStringLiteral("code"));
    if (!answer.ok) {
        plan.outcome = FJPlan::Outcome::ServiceError;
        plan.message = number + answer.message;
        return plan;
    }

    data.orderDetail = obj;
    data.order = obj.value(QStringLiteral("order")).toObject();
    data.order.insert(QStringLiteral("selectphotoname"), input.order.selectphotoname);
    data.serviceCount = text(obj, "count_order_sample_infoservicetimes");
    data.downImgUrls.clear();
    data.downImgInfos.clear();
    data.pros.clear();

    const QJsonObject &order = data.order;
    const QString label = text(order, "orderpayforkey") + QLatin1Char('-') + text(order, "servicetimes");
    // An order without a share folder would read its photos from a relative
    // folder or the root of the drive.
    const QString share = K::instance()->toLocalPath(text(order, "netpath"));
    if (share.trimmed().isEmpty())
        return skipped(label + QStringLiteral(" 没有共享目录;"));

    plan.orderRoot = input.splitDirectory + QLatin1Char('/') + orderFolderName(order) + QLatin1Char('/');
    qCDebug(lcDesignSplit) << "生成的导入路径是：" << plan.orderRoot;
    // The chosen folder may lie on a linked share; the order folder itself
    // may not be a link, or all the order's files would land elsewhere.
    const QString rootFs = PathUtil::toFs(plan.orderRoot);
    const bool rootExisted = QFileInfo::exists(rootFs);
    QString error;
    if (!Confined::makePath(rootFs, rootFs, &error)) {
        qCWarning(lcDesignSplit) << "订单目录创建失败:" << plan.orderRoot << error;
        return skipped(label + QStringLiteral(" 订单目录创建失败：") + error + QLatin1Char(';'));
    }
    data.orderRoot = plan.orderRoot;
    if (rootExisted)
        plan.redo = FJUnfinished::read(plan.orderRoot, input.mode);

    data.barcodeUrl = barcodeUrl(text(order, "order_photo_id"), input.shopId, input.superId);
    pool->clear();
    pool->setMaxThreadCount(qMax(QThread::idealThreadCount() / 4, 3));
    pool->setExpiryTimeout(-1);

    switch (input.mode) {
    case DownloadPhotoDelivery:
        planDelivery(obj, input, share, label, data, pool, owner, &plan);
        break;
    case DownloadRawFiles:
        planRawDownload(input, share, label, data, pool, owner, &plan);
        break;
    case DownloadSelectionResults:
        planSelection(obj, share, data, pool, owner, &plan);
        break;
    default:
        planDesignSplit(obj, input, share, data, pool, owner, &plan);
        break;
    }
    // Nothing to copy or download (no delivery folder holds a file): said
    // as such, not as a finished order.
    if (plan.outcome == FJPlan::Outcome::Planned && plan.total == 0)
        plan = skipped(plan.warning.isEmpty() ? label + QStringLiteral(" 没有可下载的文件;") : plan.warning);
    // An order that came to nothing leaves no empty folder behind.
    if (plan.outcome == FJPlan::Outcome::Skipped && !rootExisted)
        removeEmptyTree(rootFs);
    return plan;
}

} // namespace FJOrderPlanner
