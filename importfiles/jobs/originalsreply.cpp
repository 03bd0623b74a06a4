#include "importfiles/jobs/originalsreply.h"

#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QMap>

#include "base/orderreplies.h"

namespace OriginalsReply {

using OrderReplies::text;

QList<ThumbnailPhoto> photos(const QJsonObject &reply)
{
    QHash<QString, QList<ThumbnailPhoto>> rawsByBase;
    // Ordered by id as text, so unmatched raws come out in that order.
    QMap<QString, ThumbnailPhoto> rawsById;
    for (const QJsonValue &value : reply.value(QStringLiteral("images_yuanshidang")).toArray()) {
        const QJsonObject object = value.toObject();
        ThumbnailPhoto raw;
        raw.id = text(object, "id");
        raw.name = text(object, "img_name");
        raw.localPath = text(object, "localpath");
        raw.iconPath = QStringLiteral(":/public/image/public/icon/raw.png");
        raw.selectable = text(object, "isdownload") != QLatin1String("1");
        rawsByBase[QFileInfo(raw.name).baseName()].append(raw);
        rawsById.insert(raw.id, raw);
    }

    QList<ThumbnailPhoto> result;
    for (const QJsonValue &value : reply.value(QStringLiteral("images_yuanpian")).toArray()) {
        const QJsonObject object = value.toObject();
        ThumbnailPhoto original;
        original.id = text(object, "id");
        original.name = text(object, "img_name");
        original.localPath = text(object, "localpath");
        original.imageUrl = text(object, "url");
        for (const char *key : {"localpath_90", "localpath_1920"}) {
            const QString companion = text(object, key);
            if (!companion.isEmpty())
                original.companionFiles.append(companion);
        }
        result.append(original);
        const int originalIndex = result.size() - 1;
        for (const ThumbnailPhoto &raw : rawsByBase.value(QFileInfo(original.name).baseName())) {
            if (!raw.selectable)
                result[originalIndex].selectable = false;
            result.append(raw);
            rawsById.remove(raw.id);
        }
    }
    for (const ThumbnailPhoto &raw : qAsConst(rawsById))
        result.append(raw);
    return result;
}

} // namespace OriginalsReply
