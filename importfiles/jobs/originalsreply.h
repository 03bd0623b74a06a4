#pragma once

#include <QJsonObject>
#include <QList>

#include "public/thumbnailphoto.h"

namespace OriginalsReply {

// The grid's records of a "getorder_pics" reply: each original of
// "images_yuanpian" in the service's order, followed by the raw files of
// "images_yuanshidang" with the same base name, then the raw files that
// match no original, by id. An original whose raw file was downloaded
// cannot be selected, nor can that raw file.
QList<ThumbnailPhoto> photos(const QJsonObject &reply);

} // namespace OriginalsReply
