// Product folders of design split: the order's production folder and one
// folder per product or sub-product, named by the shop's naming rule or a
// fixed pattern, holding the product's finished pictures.

#include "designsplit/jobs/fjdatathread.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include "base/confined.h"
#include "base/pathutil.h"
#include "base/safename.h"
#include "designsplit/jobs/fjlog.h"
#include "designsplit/jobs/fjwrites.h"

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

// Two spellings of one folder are one claim; names differing only in case
// name one folder where the file system ignores case.
QString claimKey(const QString &fs)
{
#ifdef Q_OS_WIN
    return QDir::cleanPath(fs).toLower();
#else
    return QDir::cleanPath(fs);
#endif
}

// Claims a folder below parent (made already) inside the order folder:
// name, then "name (1)" ... "name (100)". Each candidate is claimed by a
// create-directory call that fails when the folder exists, so two jobs that
// computed the same name at the same moment never end up sharing one
// folder. With the run's claims, an existing folder not taken in this run is
// the product's own from an earlier run and is used again, so a rerun
// finishes the same folders instead of making numbered copies. When all are
// taken the first (existing) folder is used. Empty, with *error, when a
// candidate is a link or cannot be made.
QString claimFolder(const QString &parent, const QString &name, const QString &orderFolder, FJFolderClaims *claims,
                    QString *error)
{
    const QString first = parent + name;
    for (int n = 0; n <= 100; ++n) {
        const QString candidate = n == 0 ? first : first + QStringLiteral(" (") + QString::number(n) + QLatin1Char(')');
        const QString fs = PathUtil::toFs(candidate);
        // A link under a product's name is never taken for a folder of the
        // order's, nor passed over for the next number in silence.
        *error = Confined::writeRefusal(fs, orderFolder);
        if (!error->isEmpty())
            return QString();
        // Made in the parent held open: a parent swapped for a link
        // meanwhile gets no folder of the order's.
        if (claims && !claims->claim(claimKey(fs)))
            continue;
        switch (Confined::makeFolder(fs, orderFolder, error)) {
        case HeldFolder::MakeFolder::Made:
            return candidate;
        case HeldFolder::MakeFolder::Existed:
            if (claims)
                return candidate;
            break;
        case HeldFolder::MakeFolder::Failed:
            return QString();
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

    bool ok = true;
    QStringList problems;
    QString error;
    // A folder that cannot be had names the product and why; its pictures
    // are not tried.
    const auto folderFailed = [&](const QString &product, const QString &why) {
        qCWarning(lcDesignSplit) << "产品文件夹创建失败:" << product << why;
        ok = false;
        problems << product + QStringLiteral(" 产品文件夹创建失败：") + why;
    };
    if (!makeFolder(productionFolder, &error)) {
        folderFailed(text(good, QStringLiteral("goodname")), error);
        reportResult(ok, QString(), problems.join(QStringLiteral("；")));
        return;
    }
    const QString pictureFolder = destDir + QStringLiteral("其他/成品/");
    const auto makeProduct = [&](const QString &product, const QString &name, const QJsonArray &pictures) {
        const QString folder = claimFolder(productionFolder, SafeName::clean(name), orderFolder(), folderClaims.get(), &error);
        if (folder.isEmpty()) {
            folderFailed(product, error);
            return;
        }
        for (const QJsonValue &picture : pictures) {
            const QString image = text(picture.toObject(), QStringLiteral("img_name"));
            if (!SafeName::isClean(image)) {
                ok = false;
                problems << image + QStringLiteral(" 文件名非法");
                continue;
            }
            const FJWrites::Copy copied = FJWrites::copyNew(PathUtil::toFs(pictureFolder + image),
                                                            PathUtil::toFs(folder + QLatin1Char('/') + image),
                                                            orderFolder(), &error);
            if (FJWrites::isDone(copied))
                continue;
            ok = false;
            // A missing picture or one there already keeps the window's
            // general line; a refusal or a full disk is said.
            if (copied == FJWrites::Copy::Refused)
                problems << error;
            else if (!error.isEmpty())
                problems << product + QStringLiteral(" 产品图片 ") + image + QStringLiteral(" 拷贝失败：") + error;
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
        makeProduct(text(good, QStringLiteral("goodname")), name, good.value(QLatin1String("imgs")).toArray());
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
            makeProduct(text(good, QStringLiteral("goodname")) + QLatin1Char('-') + text(sub, QStringLiteral("goodname")),
                        name, sub.value(QLatin1String("picpath")).toArray());
        }
    }
    reportResult(ok, QString(), problems.join(QStringLiteral("；")));
}
