#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include "public/thumbnailphoto.h"

// What the design-split window does with each ticked order; one tool card
// each.
enum DesignFileSplitTypes : int {
    DesignSplit = 0,
    DownloadRawFiles = 1,
    DownloadSelectionResults = 2,
    DownloadPhotoDelivery = 3,
};

// One order of the design-split window's order list ("order_list" or
// "order_list_type_1"), with its downloaded and not downloaded raw files.
struct OrderData
{
    QString id;
    QString spareText;
    QString order_photo_id;
    int row = 0;
    QString orderpayforkey;
    QString servicetimes;
    QString wname;
    QString mname;
    QString comboname;
    QString shotdate;
    QString sampledate;
    QString order_price;
    QString selectphotoname;
    QString netpath;
    QString wphone;
    QString mphone;
    QString selectphototime;
    QString role1;
    QString role2;
    // Number of elements of "images", in decimal.
    QString imageCount;
    QString number_jingxiu;
    QString iszsysd;
    QString iszsjx;
    // "images_1_1": raw files already downloaded.
    QList<ThumbnailPhoto> downloadedImages;
    // "images_1_0": raw files not downloaded yet.
    QList<ThumbnailPhoto> undownloadedImages;
    QStringList spareList;
};

// Readers of the order service's replies for the design-split tools. No
// widgets: the panels call these and tests drive them directly.
namespace FJReplies {

// A JSON text member; anything that is not a JSON string (a number, an
// object, an absent key) reads as empty text.
QString text(const QJsonObject &object, const QString &key);

// One photo of "images_1_1" / "images_1_0".
ThumbnailPhoto photoFromJson(const QJsonObject &element);

// One order of the order list's "data", at table row `row`; netpath goes
// through the share-path mapping.
OrderData orderFromJson(const QJsonObject &element, int row);

} // namespace FJReplies
