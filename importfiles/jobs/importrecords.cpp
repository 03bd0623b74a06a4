#include "importfiles/jobs/importrecords.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QMap>

#include "base/k.h"
#include "base/pathutil.h"
#include "base/safename.h"
#include "importfiles/jobs/importlog.h"
#include "base/orderreplies.h"

namespace {

using OrderReplies::text;

const QString kOriginals = QStringLiteral("原片");
const QString kRaws = QStringLiteral("原始档");
const QString kRetouched = QStringLiteral("精修片");

// Suffixes that go to the originals folder, compared as written: a "Jpg"
// goes with the raw files, as the studio's service expects.
bool isJpegSuffix(const QString &suffix)
{
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("JPG") || suffix == QLatin1String("jpeg")
        || suffix == QLatin1String("JPEG");
}

} // namespace

QString ImportFile::targetPath() const
{
    return QDir(targetDir).filePath(fileName());
}

QString ImportFile::targetFsPath() const
{
    return QDir(PathUtil::toFs(targetDir)).filePath(fileName());
}

namespace ImportRecords {

ImportOrder orderFromJson(const QJsonObject &object, int row)
{
    ImportOrder order;
    order.id = text(object, "id");
    order.order_photo_id = text(object, "order_photo_id");
    order.row = row;
    order.orderpayforkey = text(object, "orderpayforkey");
    order.servicetimes = text(object, "servicetimes");
    order.wname = text(object, "wname");
    order.mname = text(object, "mname");
    order.comboname = text(object, "comboname");
    order.shotdate = text(object, "shotdate");
    // Digits only, or 1970-01-01: the parts become folder names.
    OrderReplies::splitShotDate(order.shotdate, &order.shotdate_year, &order.shotdate_month, &order.shotdate_day);
    order.sampledate = text(object, "sampledate");
    order.order_price = text(object, "order_price");
    order.selectphotoname = text(object, "selectphotoname");
    order.storesname = text(object, "storesname");
    order.number_yuanshidang = text(object, "number_yuanshidang");
    order.number_yuanpian = text(object, "number_yuanpian");
    order.number_jingxiu = text(object, "number_jingxiu");
    order.wphone = text(object, "wphone");
    order.mphone = text(object, "mphone");
    order.selectphototime = text(object, "selectphototime");
    order.role1 = text(object, "role1");
    order.role2 = text(object, "role2");

    K *k = K::instance();
    const QString netpath = text(object, "netpath");
    order.publicNetpath = text(object.value(QStringLiteral("picpathnew")).toObject(), "netpath");
    order.importPath = k->toLocalPath(netpath);
    order.resolvedImportPath = k->shareHost(netpath, order.publicNetpath);
    order.publicImportPath = k->toLocalPath(order.publicNetpath);

    for (const QJsonValue &value : object.value(QStringLiteral("images")).toArray())
        order.selectedNames.append(selectedName(text(value.toObject(), "img_name")));
    return order;
}

QString selectedName(const QString &imgName)
{
    const QFileInfo info(imgName);
    return info.baseName() + QLatin1Char('.') + info.suffix().toLower();
}

QString settleOrderFolder(ImportOrder *order)
{
    if (!order->importPath.isEmpty()) {
        // The service's own folder for the order: used as given, but never
        // a relative one or one that climbs out of where it points.
        if (!PathUtil::isAbsolute(order->importPath) || PathUtil::hasDotComponent(order->importPath)) {
            qCWarning(lcImport) << "订单的导片路径无效:" << order->orderpayforkey << order->importPath;
            return QString();
        }
        return order->importPath;
    }
    QMap<QString, QString> map;
    map.insert(QStringLiteral("importPublicPath"), order->publicImportPath);
    map.insert(QStringLiteral("shotdate_year"), order->shotdate_year);
    map.insert(QStringLiteral("shotdate_month"), order->shotdate_month);
    map.insert(QStringLiteral("shotdate_day"), order->shotdate_day);
    map.insert(QStringLiteral("orderNumber"), order->orderpayforkey);
    map.insert(QStringLiteral("photoNum"), order->servicetimes);
    map.insert(QStringLiteral("mname"), order->mname);
    map.insert(QStringLiteral("wname"), order->wname);
    order->importPath = K::instance()->buildImportPath(map);
    return order->importPath;
}

QStringList subFolders(int type)
{
    if (type == Retouched)
        return {kRetouched};
    return {kOriginals, kRaws};
}

QString subFolderFor(int type, const QString &suffix)
{
    if (type == Retouched)
        return kRetouched;
    return isJpegSuffix(suffix) ? kOriginals : kRaws;
}

ImportFile fileFromPath(const QString &path, const ImportOrder &order, int fileIndex, int type)
{
    // A path the file dialog read from the disk: on Linux a backslash in
    // it is part of a name.
    const QFileInfo info(path);
    ImportFile file;
    file.sourcePath = path;
    file.baseName = info.completeBaseName();
    file.suffix = info.suffix();
    file.size = info.size();
    file.status = Waiting;
    file.orderRow = order.row;
    file.fileIndex = fileIndex;
    file.targetDir = order.importPath + QLatin1Char('/') + subFolderFor(type, file.suffix);
    file.orderFolder = order.importPath;
    file.orderPhotoId = order.order_photo_id;
    file.pickGeneration = order.pickGeneration;
    return file;
}

QString targetKey(const ImportFile &file)
{
    // Lowered first: a lowered letter may compose with its accent anew.
    return QDir::cleanPath(file.targetFsPath()).toLower().normalized(QString::NormalizationForm_C);
}

QStringList sameTargetNames(const QList<ImportFile> &files)
{
    QHash<QString, int> seen;
    QStringList names;
    for (const ImportFile &file : files) {
        const QString key = targetKey(file);
        if (++seen[key] == 2)
            names.append(file.fileName());
    }
    return names;
}

QStringList unselectedNames(const QList<ImportFile> &files, const QStringList &selectedNames)
{
    QStringList names;
    for (const ImportFile &file : files) {
        if (!selectedNames.contains(selectedName(file.fileName())))
            names.append(file.fileName());
    }
    return names;
}

int finishedCount(const ImportOrder &order)
{
    int count = 0;
    for (const ImportFile &file : order.files) {
        if (file.status == Succeeded || file.status == Failed)
            ++count;
    }
    return count;
}

int pendingCount(const ImportOrder &order)
{
    int count = 0;
    for (const ImportFile &file : order.files) {
        if (file.status != Succeeded)
            ++count;
    }
    return count;
}

} // namespace ImportRecords
