#include "importfiles/jobs/importreport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QVector>

#include <algorithm>

#include "base/confined.h"
#include "base/heldfolder.h"
#include "base/k.h"
#include "base/pathutil.h"
#include "base/orderreplies.h"
#include "public/theme.h"

namespace {

const QStringList kJpegPatterns{
    QStringLiteral("*.jpg"),
    QStringLiteral("*.JPG"),
    QStringLiteral("*.jpeg"),
    QStringLiteral("*.JPEG"),
};
const QStringList kRawPatterns{
    QStringLiteral("*.raw"),
    QStringLiteral("*.cr2"),
    QStringLiteral("*.cr3"),
    QStringLiteral("*.nef"),
    QStringLiteral("*.arw"),
    QStringLiteral("*.raf"),
};

// The listing of one sub-folder: a compact JSON array and its length. Only
// regular files that lie in the order folder are the order's: a sub-folder
// that is a link (or an order folder that is one) lists nothing, and a link,
// pipe or device among the files is passed over, or the service would be
// told of files elsewhere as this order's.
QString listFolder(const QString &importPath, const QString &subFolder, const QStringList &patterns, int *count)
{
    *count = 0;
    const QString orderFolder = PathUtil::toFs(importPath);
    const QDir folder(QDir(orderFolder).absoluteFilePath(subFolder));
    if (Confined::locate(folder.path(), orderFolder) != Confined::Where::Inside)
        return QStringLiteral("[]");
    // Listed from the folder held open, never from its path again: a
    // sub-folder swapped for a link meanwhile lists no file of the place
    // the link leads to.
    const HeldFolder held = HeldFolder::openBeneath(orderFolder, folder.path(), false);
    if (!held.isValid())
        return QStringLiteral("[]");
    QVector<QRegularExpression> filters;
    for (const QString &pattern : patterns) {
        // Without case, so "*.jpg" also takes "A.Jpg".
        filters.append(QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                                          QRegularExpression::CaseInsensitiveOption));
    }
    QJsonArray entries;
    for (const HeldFolder::Entry &entry : held.entries()) {
        // The service reads a backslash in a name as a separator: such a
        // name would stand for another file.
        if (entry.kind != HeldFolder::Kind::File || entry.undecodable || entry.name.contains(QLatin1Char('\\')))
            continue;
        // Hidden files are the system's or another program's, not photos.
        if (entry.name.startsWith(QLatin1Char('.')))
            continue;
        if (std::none_of(filters.cbegin(), filters.cend(),
                         [&entry](const QRegularExpression &filter) { return filter.match(entry.name).hasMatch(); }))
            continue;
        entries.append(QJsonObject{
            {QStringLiteral("name"), entry.name},
            {QStringLiteral("size"), QString::number(entry.size)},
        });
    }
    *count = entries.size();
    return QString::fromUtf8(QJsonDocument(entries).toJson(QJsonDocument::Compact));
}

QStringList names(const QJsonObject &reply, const char *key)
{
    QStringList result;
    for (const QJsonValue &value : reply.value(QLatin1String(key)).toArray())
        result.append(OrderReplies::text(value.toObject(), "name"));
    return result;
}

const QString kSpanEnd = QStringLiteral("</span>");

// The message's sizes follow the dialog's own text (K::scaleText): the order
// a step above it, the titles and names at its size. At fixed sizes of 23
// to 26 px the order number took a line of its own and the dialog's text
// area held no name at a 768-pixel-high screen.
QString fontSize(int px)
{
    return QStringLiteral("font-size: ") + K::instance()->scaleText(px) + QStringLiteral("px;");
}

QString section(const QString &title, const QStringList &local, const QStringList &server)
{
    QString text = QStringLiteral("<br/> <span style=\"") + fontSize(11) + QStringLiteral(" font-weight: 550 \">") + title
        + kSpanEnd;
    const QString itemStart = Theme::sheet(QStringLiteral("<br/><span style=\"") + fontSize(11)
                                           + QStringLiteral(" color: @reportMissing;\">"));
    for (const QStringList *list : {&local, &server}) {
        for (const QString &name : *list)
            text += itemStart + name.toHtmlEscaped() + kSpanEnd;
    }
    return text;
}

} // namespace

namespace ImportReport {

FolderListing listOrderFolder(const QString &importPath, int type)
{
    FolderListing listing;
    if (type == Retouched) {
        listing.imgnames = listFolder(importPath, QStringLiteral("精修片"), kJpegPatterns, &listing.jpegCount);
        return listing;
    }
    listing.imgnames = listFolder(importPath, QStringLiteral("原片"), kJpegPatterns, &listing.jpegCount);
    listing.rawimgnames = listFolder(importPath, QStringLiteral("原始档"), kRawPatterns, &listing.rawCount);
    return listing;
}

QString localPathFor(const ImportOrder &order)
{
    QString path = K::instance()->fixSharePath(order.resolvedImportPath, order.importPath);
    while (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    return path;
}

QByteArray batchBody(const ImportOrder &order, const FolderListing &listing, int type, const Branch &branch)
{
    // A retouched batch has no raw files to list.
    const std::optional<QString> rawNames =
        type == Retouched ? std::nullopt : std::optional<QString>(listing.rawimgnames);
    return OrderService::savedBatchBody(order.order_photo_id, order.id, listing.imgnames, rawNames,
                                        localPathFor(order), branch);
}

QByteArray orderPathBody(const ImportOrder &order, const QString &enterpriseId, const Branch &branch)
{
    return OrderService::orderFolderBody(order.order_photo_id, enterpriseId,
                                         K::instance()->fixSharePath(order.resolvedImportPath, order.importPath),
                                         branch);
}

Reimport reimportNames(const QJsonObject &reply, int type)
{
    Reimport result;
    result.localImages = names(reply, "local_imgnames");
    result.serverImages = names(reply, "server_imgnames");
    if (type != Retouched) {
        result.localRaws = names(reply, "local_rawimgnames");
        result.serverRaws = names(reply, "server_rawimgnames");
    }
    return result;
}

QString reimportMessage(const ImportOrder &order, const Reimport &names, int type)
{
    QString text = Theme::sheet(QStringLiteral("<span style=\"") + fontSize(12)
                                + QStringLiteral(" font-weight: 600; color: @reportHeading; \"> 订单: "))
        + (order.orderpayforkey + QLatin1Char('-') + order.servicetimes).toHtmlEscaped() + kSpanEnd;
    if (type == Retouched) {
        text += section(QStringLiteral("以下精修照片需要重新导入:"), names.localImages, names.serverImages);
        return text;
    }
    if (!names.localImages.isEmpty() || !names.serverImages.isEmpty())
        text += section(QStringLiteral("以下原片需要重新导入:"), names.localImages, names.serverImages);
    if (!names.localRaws.isEmpty() || !names.serverRaws.isEmpty())
        text += section(QStringLiteral("以下原始档需要重新导入:"), names.localRaws, names.serverRaws);
    return text;
}

} // namespace ImportReport
