#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Orders of the design-split and download tools for the fake service, and
// the share folders they point at: real JPEGs in "all" and "90", raw files in
// "原始档", as the studio's photo transfer leaves them.
namespace SplitOrders {

// The photos every order of this fixture holds.
QStringList finishedPhotos(); // "p1.jpg", "p2.jpg": selected and retouched
QString basePhoto();          // "r1.jpg": 入底
QString rejectedPhoto();      // "t1.jpg": 汰片
QStringList rawFiles();       // "p1.CR2", "p2.CR2"

// Writes the share folder of an order: "all" and "90" with a JPEG per photo
// (p1.jpg of "all" stored turned, EXIF orientation 6), "原始档" with the raw
// files. Existing files are kept.
bool writeShare(const QString &share);

// One order of shop `shopId` whose share folder is `share`, holding every
// list the four modes read: the photos above, a marked photo with a crop
// picture, two products ("相册" with a crop picture, "摆台"), the courier
// text, and both raw files not downloaded yet.
QJsonObject order(const QString &shopId, const QString &orderPhotoId, const QString &number, const QString &share);

// The order's folder name in the output: "<number>-服务1 张伟-李娜 门店自取".
QString orderFolder(const QString &number);

} // namespace SplitOrders
