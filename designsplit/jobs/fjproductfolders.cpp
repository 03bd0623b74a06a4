// Product folders of design split: the order's production folder and one
// folder per product or sub-product, named by the shop's naming rule or a
// fixed pattern, holding the product's finished pictures.

#include "designsplit/jobs/fjdatathread.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include "base/pathutil.h"
#include "base/safename.h"
#include "designsplit/jobs/fjlog.h"

namespace {

QString text(const QJsonObject &object, const QString &key)
{
    return object.value(key).toString();
}

// The pickup date of the product followed by its mark: the normal pickup
// date and "取", or the urgent date and "急".
QString pickupText(const QJsonObject &good, const QJsonObject &order)
{
    const QString urgent = text(good, QStringLiteral("isurgent"));
    if (urgent.isEmpty() || urgent == QLatin1String("0"))
        return text(order, QStringLiteral("pickuptime")) + QStringLiteral("取");
    return text(order, QStringLiteral("isurgenttime")) + QStringLiteral("急");
}

// Claims a free folder name below parent: name, then "name (1)" ... "name
// (100)". Each candidate is claimed by a create-directory call that fails
// when the folder exists, so two jobs that computed the same name at the
// same moment never end up sharing one folder. When all are taken the first
// (existing) folder is used; when creating fails for another reason the
// first name is returned and the copies into it fail.
QString claimFolder(const QString &parent, const QString &name)
{
    QDir dir;
    dir.mkpath(PathUtil::toFs(parent));
    const QString first = parent + name;
    for (int n = 0; n <= 100; ++n) {
        const QString candidate = n == 0 ? first : first + QStringLiteral(" (") + QString::number(n) + QLatin1Char(')');
        const QString fs = PathUtil::toFs(candidate);
        if (dir.mkdir(fs))
            return candidate;
        if (!QFileInfo::exists(fs)) {
            qCWarning(lcDesignSplit) << "产品文件夹创建失败:" << candidate;
            return first;
        }
    }
    return first;
}

} // namespace

QString FJDataThread::buildProductName(const QJsonObject &item) const
{
    qCDebug(lcDesignSplit).noquote() << "要打印的数据：" << QJsonDocument(item).toJson(QJsonDocument::Compact);
    const QString pickup = pickupText(good, order);

    QString name;
    for (const QJsonValue &entry : namingRule) {
        const QJsonObject field = entry.toObject();
        const QString key = text(field, QStringLiteral("key"));
        QString value;
        if (key == QLatin1String("id"))
            value = text(item, QStringLiteral("id"));
        else if (key == QLatin1String("name"))
            value = text(item, QStringLiteral("goodname"));
        else if (key == QLatin1String("goodtype"))
            value = text(item, QStringLiteral("goodtypename"));
        else if (key == QLatin1String("goodnum"))
            value = text(item, QStringLiteral("goodamount"));
        else if (key == QLatin1String("customername"))
            value = text(order, QStringLiteral("wname")) + QLatin1Char(' ') + text(order, QStringLiteral("mname"));
        else if (key == QLatin1String("orderpayforkey"))
            value = text(order, QStringLiteral("orderpayforkey"));
        else if (key == QLatin1String("servicetimes"))
            value = text(order, QStringLiteral("servicetimes"));
        else if (key == QLatin1String("isems"))
            value = text(good, QStringLiteral("isems"));
        else if (key == QLatin1String("pickuptime"))
            value = pickup;
        else
            continue;
        name += value + text(field, QStringLiteral("separator"));
    }
    return name;
}

void FJDataThread::createProductFolders()
{
    const QString pickup = pickupText(good, order);
    const QString mname = text(order, QStringLiteral("mname"));
    const QString wname = text(order, QStringLiteral("wname"));
    const QString payKey = text(order, QStringLiteral("orderpayforkey"));
    const QString isems = text(good, QStringLiteral("isems"));

    // Every name is joined in one pass and cleaned once, so a value holding
    // "%1" or a separator stays literal and inside the order folder.
    const QString productionName = text(good, QStringLiteral("factoryname")) + QLatin1Char(' ') + mname
                                   + QLatin1Char('-') + wname + QLatin1Char(' ') + pickup + QLatin1Char(' ')
                                   + isems;
    const QString productionFolder = destDir + SafeName::clean(productionName) + QLatin1Char('/');
    QDir().mkpath(PathUtil::toFs(productionFolder));

    bool ok = true;
    QStringList problems;
    const QString pictureFolder = destDir + QStringLiteral("其他/成品/");
    const auto makeProduct = [&](const QString &name, const QJsonArray &pictures) {
        const QString folder = claimFolder(productionFolder, SafeName::clean(name));
        for (const QJsonValue &picture : pictures) {
            const QString image = text(picture.toObject(), QStringLiteral("img_name"));
            if (!SafeName::isClean(image)) {
                ok = false;
                problems << image + QStringLiteral(" 文件名非法");
                continue;
            }
            if (!QFile::copy(PathUtil::toFs(pictureFolder + image), PathUtil::toFs(folder + QLatin1Char('/') + image)))
                ok = false;
        }
    };

    const QJsonArray subProducts = good.value(QLatin1String("son_good")).toArray();
    const bool set = text(good, QStringLiteral("goodtypeid")) == QLatin1String("40");
    if (subProducts.isEmpty() && !set) {
        QString name;
        if (namingRule.isEmpty()) {
            name = text(good, QStringLiteral("id")) + QLatin1Char('#') + text(good, QStringLiteral("goodname"))
                   + QLatin1Char(' ') + text(good, QStringLiteral("goodtypename")) + QLatin1Char(' ')
                   + text(good, QStringLiteral("goodamount")) + QLatin1Char(' ') + payKey + QLatin1Char(' ') + mname
                   + QLatin1Char('-') + wname + QLatin1Char(' ') + pickup + QLatin1Char(' ') + isems;
        } else {
            name = buildProductName(good);
        }
        makeProduct(name, good.value(QLatin1String("imgs")).toArray());
    } else {
        for (const QJsonValue &value : subProducts) {
            const QJsonObject sub = value.toObject();
            QString name;
            if (namingRule.isEmpty()) {
                name = text(sub, QStringLiteral("id")) + QLatin1Char('#') + text(good, QStringLiteral("goodname"))
                       + QLatin1Char('-') + text(sub, QStringLiteral("goodname")) + QLatin1Char(' ')
                       + text(sub, QStringLiteral("goodtype")) + QLatin1Char(' ') + text(sub, QStringLiteral("goodamount"))
                       + QLatin1Char(' ') + payKey + QLatin1Char(' ') + mname + QLatin1Char('-') + wname
                       + QLatin1Char(' ') + pickup + QLatin1Char(' ') + isems;
            } else {
                name = buildProductName(sub);
            }
            makeProduct(name, sub.value(QLatin1String("picpath")).toArray());
        }
    }
    reportResult(ok, QString(), problems.join(QStringLiteral("；")));
}
