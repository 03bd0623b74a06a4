#include "base/orderreplies.h"

#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>

#include "base/k.h"
#include "base/pathutil.h"

Q_LOGGING_CATEGORY(lcOrders, "velquora.orders")

namespace {

const QString kAll = QStringLiteral("all");
const QString kSmall = QStringLiteral("90");
const QString kMiddle = QStringLiteral("190");
const QString kBig = QStringLiteral("1920");
const QString kTrial = QStringLiteral("试拍视频");
const QString kRetouched = QStringLiteral("精修视频");

constexpr int kDone = static_cast<int>(PhotoStatus::Uploaded);
constexpr int kFailed = static_cast<int>(PhotoStatus::Failed);

bool isDigits(const QString &part)
{
    if (part.isEmpty())
        return false;
    for (const QChar c : part) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

QString sizeOr(const QString &size, const QString &fallback)
{
    return size.isEmpty() ? fallback : size;
}

QString defaultSize(const QString &size, const QString &replacement)
{
    return size == QLatin1String("0") ? replacement : size;
}

bool isVideoType(UploadType type)
{
    return type == UploadType::TrialVideo || type == UploadType::RetouchedVideo;
}

} // namespace

namespace OrderReplies {

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

void splitShotDate(const QString &shotdate, QString *year, QString *month, QString *day)
{
    const QStringList parts = shotdate.split(QLatin1Char('-'));
    if (parts.size() == 3 && isDigits(parts.at(0)) && isDigits(parts.at(1)) && isDigits(parts.at(2))) {
        *year = parts.at(0);
        *month = parts.at(1).size() == 1 ? QLatin1Char('0') + parts.at(1) : parts.at(1);
        *day = parts.at(2).size() == 1 ? QLatin1Char('0') + parts.at(2) : parts.at(2);
        return;
    }
    if (!shotdate.isEmpty() && parts.size() == 3)
        qCWarning(lcOrders) << "拍照日期含有非数字部分，按1970-01-01处理:" << shotdate;
    *year = QStringLiteral("1970");
    *month = QStringLiteral("01");
    *day = QStringLiteral("01");
}

QString cleanFolderValue(const QString &value)
{
    const QString cleaned = K::instance()->sanitizeName(value);
    if (cleaned != value)
        qCWarning(lcOrders) << "目录名中的非法字符已去除:" << value << "->" << cleaned;
    if (cleaned == QLatin1String(".") || cleaned == QLatin1String(".."))
        return QString();
    return cleaned;
}

PhotoInfo serverPhoto(const QJsonObject &object)
{
    PhotoInfo photo;
    photo.id = text(object, "id");
    photo.img_name = text(object, "img_name");
    photo.url = text(object, "url");
    photo.localpath = text(object, "localpath");
    return photo;
}

void sortServerPhotos(const QJsonArray &images, OrderInfo *order)
{
    for (const QJsonValue &value : images) {
        const QJsonObject object = value.toObject();
        const QString type = text(object, "type");
        if (type == QLatin1String("2"))
            order->trialVideos.append(serverPhoto(object));
        else if (type == QLatin1String("3"))
            order->retouchedVideos.append(serverPhoto(object));
        else
            order->photos.append(serverPhoto(object));
    }
}

OrderInfo orderFromJson(const QJsonObject &object, int row)
{
    OrderInfo order;
    order.id = text(object, "id");
    order.order_photo_id = text(object, "order_photo_id");
    // The order number and service count name the order's folder.
    order.orderpayforkey = cleanFolderValue(text(object, "orderpayforkey"));
    order.servicetimes = cleanFolderValue(text(object, "servicetimes"));
    order.mname = text(object, "mname");
    order.wname = text(object, "wname");
    order.shotdate = text(object, "shotdate");
    splitShotDate(order.shotdate, &order.shotdate_year, &order.shotdate_month, &order.shotdate_day);
    order.imagesize_small = defaultSize(text(object, "imagesize_small"), kSmall);
    order.imagesize_middle = defaultSize(text(object, "imagesize_middle"), kMiddle);
    order.imagesize_big = defaultSize(text(object, "imagesize_big"), kBig);
    order.issample = text(object, "issample");
    order.tiaosename = text(object, "tiaosename");
    order.storesname = text(object, "storesname");
    order.selectphotoname = text(object, "selectphotoname");
    order.wphone = text(object, "wphone");
    order.mphone = text(object, "mphone");
    order.selectphototime = text(object, "selectphototime");
    order.role1 = text(object, "role1");
    order.role2 = text(object, "role2");
    order.selectedCount = 0;
    order.uploadStatus = QStringLiteral("未选择");
    order.netpath = text(object, "netpath");
    order.importedCount = 0;
    const QString publicNetpath = text(object.value(QStringLiteral("picpathnew")).toObject(), "netpath");
    order.publicImportPath = K::instance()->toLocalPath(publicNetpath);
    order.publicNetpath = publicNetpath;
    order.importPath = K::instance()->toLocalPath(order.netpath);
    order.resolvedImportPath = K::instance()->shareHost(order.netpath, publicNetpath);
    sortServerPhotos(object.value(QStringLiteral("images")).toArray(), &order);
    sortServerPhotos(object.value(QStringLiteral("images_taipian")).toArray(), &order);
    order.failedCount = 0;
    order.spareFlag = false;
    order.row = row;
    return order;
}

QMap<QString, OrderInfo> importedCounts(const QJsonArray &data)
{
    QMap<QString, OrderInfo> result;
    for (const QJsonValue &value : data) {
        const QJsonObject object = value.toObject();
        OrderInfo order;
        order.id = text(object, "id");
        order.order_photo_id = text(object, "order_photo_id");
        sortServerPhotos(object.value(QStringLiteral("images")).toArray(), &order);
        sortServerPhotos(object.value(QStringLiteral("images_taipian")).toArray(), &order);
        result.insert(order.order_photo_id, order);
    }
    return result;
}

} // namespace OrderReplies

namespace OrderPicks {

QString targetFolder(const OrderInfo &order)
{
    if (!order.importPath.isEmpty())
        return order.importPath;
    return K::instance()->buildImportPath(order);
}

QList<PhotoInfo> entriesFor(const QStringList &files, const OrderInfo &order, int uploadType)
{
    const QString folder = targetFolder(order);
    QList<PhotoInfo> entries;
    for (const QString &file : files) {
        const QFileInfo info(PathUtil::toFs(file));
        PhotoInfo entry;
        entry.img_name = info.fileName();
        entry.url = info.absoluteFilePath();
        entry.targetDir = folder;
        switch (uploadType) {
        case static_cast<int>(UploadType::Photos): {
            const QList<QPair<QString, QString>> sizes{
                {kAll, QString()},
                {kSmall, sizeOr(order.imagesize_small, kSmall)},
                {kMiddle, sizeOr(order.imagesize_middle, kMiddle)},
                {kBig, sizeOr(order.imagesize_big, kBig)},
            };
            for (const auto &size : sizes) {
                PhotoInfo sized = entry;
                sized.sizeTag = size.first;
                sized.ratio = size.second;
                entries.append(sized);
            }
            break;
        }
        case static_cast<int>(UploadType::TrialVideo):
            entry.sizeTag = kTrial;
            entries.append(entry);
            break;
        case static_cast<int>(UploadType::RetouchedVideo):
            entry.sizeTag = kRetouched;
            entries.append(entry);
            break;
        default:
            entries.append(PhotoInfo());
            break;
        }
    }
    return entries;
}

QStringList duplicateNames(const QStringList &files)
{
    QHash<QString, int> seen;
    QStringList duplicates;
    for (const QString &file : files) {
        const QString name = QFileInfo(PathUtil::toFs(file)).fileName();
        const int count = ++seen[name.toLower()];
        if (count == 2)
            duplicates.append(name);
    }
    return duplicates;
}

UploadType typeOfPicks(const OrderInfo &order, UploadType fallback)
{
    for (const PhotoInfo &entry : order.selectedFiles) {
        if (entry.sizeTag == kTrial)
            return UploadType::TrialVideo;
        if (entry.sizeTag == kRetouched)
            return UploadType::RetouchedVideo;
        if (entry.sizeTag == kAll || entry.sizeTag == kSmall || entry.sizeTag == kMiddle || entry.sizeTag == kBig)
            return UploadType::Photos;
    }
    return fallback;
}

int pickedCount(const OrderInfo &order, UploadType type)
{
    if (type == UploadType::Photos)
        return order.selectedFiles.size() / 4;
    return order.selectedFiles.size();
}

bool applyResult(OrderInfo *order, UploadType type, int index, const QString &name, int state)
{
    QList<PhotoInfo> &entries = order->selectedFiles;
    if (index < 0 || index >= entries.size()) {
        qCWarning(lcOrders) << "导片结果的序号超出已选列表，已丢弃:" << order->orderpayforkey << index;
        return false;
    }
    if (entries.at(index).img_name != name) {
        qCWarning(lcOrders) << "导片结果的文件名与已选条目不符，已丢弃:" << order->orderpayforkey << index << name
                              << entries.at(index).img_name;
        return false;
    }

    if (isVideoType(type)) {
        PhotoInfo &entry = entries[index];
        entry.importFlag = state;
        entry.status2 = state;
        entry.status3 = state;
        entry.status4 = state;
        if (state == kDone || state == kFailed)
            entry.statusOrigin = state;
        return true;
    }

    const int base = index - index % 4;
    if (base + 3 >= entries.size() || entries.at(base).sizeTag != kAll || entries.at(base).img_name != name) {
        qCWarning(lcOrders) << "导片结果找不到照片的原图条目，已丢弃:" << order->orderpayforkey << index << name;
        return false;
    }
    entries[index].importFlag = state;
    PhotoInfo &all = entries[base];
    const QString tag = entries.at(index).sizeTag;
    if (tag == kSmall)
        all.status2 = state;
    else if (tag == kMiddle)
        all.status3 = state;
    else if (tag == kBig)
        all.status4 = state;
    const int states[] = {all.importFlag, all.status2, all.status3, all.status4};
    bool anyFailed = false;
    bool allDone = true;
    for (const int s : states) {
        anyFailed = anyFailed || s == kFailed;
        allDone = allDone && s == kDone;
    }
    if (anyFailed) {
        all.statusOrigin = kFailed;
    } else if (allDone) {
        all.statusOrigin = kDone;
        qCDebug(lcOrders) << "照片状态已上传并且已更新:" << all.img_name;
    }
    return true;
}

int countUploaded(const OrderInfo &order, UploadType type, QString *names)
{
    const QStringList counted = uploadedNames(order, type);
    if (names)
        *names = counted.join(QStringLiteral("|:|"));
    return counted.size();
}

QStringList uploadedNames(const OrderInfo &order, UploadType type)
{
    qCDebug(lcOrders) << "获取当前订单的上传照片数量";
    QStringList counted;
    for (const PhotoInfo &entry : order.selectedFiles) {
        qCDebug(lcOrders) << entry.img_name << " size:" << entry.sizeTag;
        if (isVideoType(type)) {
            const bool uploaded = entry.statusOrigin == kDone;
            qCDebug(lcOrders) << "photoinfo.statusOrigin == PhotoStatus::Uploaded: " << (uploaded ? "true" : "false");
            if (uploaded)
                counted.append(entry.img_name);
        } else if (entry.sizeTag == kAll && entry.statusOrigin == kDone) {
            // One count per photo: its "all" entry stands for all four copies.
            counted.append(entry.img_name);
        }
    }
    return counted;
}

Tally tally(const OrderInfo &order, UploadType type)
{
    Tally result;
    for (const PhotoInfo &entry : order.selectedFiles) {
        if (!isVideoType(type) && entry.sizeTag != kAll)
            continue;
        ++result.total;
        if (entry.statusOrigin == kDone)
            ++result.succeeded;
        else if (entry.statusOrigin == kFailed)
            ++result.failed;
    }
    return result;
}

bool hasFailedEntry(const OrderInfo &order)
{
    for (const PhotoInfo &entry : order.selectedFiles) {
        if (entry.importFlag == kFailed)
            return true;
    }
    return false;
}

} // namespace OrderPicks
