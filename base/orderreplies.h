#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include "base/orderinfo.h"

// Turns the order service's replies into order and photo records. No
// widgets: the search panel calls these and tests drive them directly.
namespace OrderReplies {

// A JSON text member; anything that is not a JSON string (a number, an
// object, an absent key) reads as empty text.
QString text(const QJsonObject &object, const char *key);

// Year, month and day of a shot date written "y-m-d". Each part must be
// digits only, or the whole date becomes 1970-01-01; a one-digit month or
// day gets a leading "0". These parts become folder names.
void splitShotDate(const QString &shotdate, QString *year, QString *month, QString *day);

// A service value that becomes part of a folder name (order number, service
// count): cleaned like a name, and never a "." or ".." component.
QString cleanFolderValue(const QString &value);

// A server photo entry from one element of "images".
PhotoInfo serverPhoto(const QJsonObject &object);

// Appends each element of images to the order's photos, trial videos
// ("type" "2") or retouched videos ("type" "3").
void sortServerPhotos(const QJsonArray &images, OrderInfo *order);

// One order of the order-list reply's "data", at table row `row`.
OrderInfo orderFromJson(const QJsonObject &object, int row);

// The partial orders of an import-count refresh, keyed by order_photo_id;
// each holds only the ids and the three server-photo lists.
QMap<QString, OrderInfo> importedCounts(const QJsonArray &data);

} // namespace OrderReplies

// The picked entries of an order and their import states.
namespace OrderPicks {

// Entries for picked files under the given upload type: four per photo
// ("all", "90", "190", "1920"), one per video.
QList<PhotoInfo> entriesFor(const QStringList &files, const OrderInfo &order, int uploadType);

// The folder picked entries are copied into: the order's import path, or
// the one built from the order (empty when the order's values would escape
// the import root).
QString targetFolder(const OrderInfo &order);

// File names that occur more than once among the picked files (compared
// without case, as the studio's Windows shares do); each listed once.
QStringList duplicateNames(const QStringList &files);

// The upload type the order's picks were made under, read from their size
// tags; the given fallback when nothing is picked.
UploadType typeOfPicks(const OrderInfo &order, UploadType fallback);

// Picked photos (four entries each) or videos (one each).
int pickedCount(const OrderInfo &order, UploadType type);

// Records the engine's result for entry `index` of the order's picks.
// Returns false, changing nothing, when the entry does not exist or is not
// the named file.
bool applyResult(OrderInfo *order, UploadType type, int index, const QString &name, int state);

// Names of the imported photos (or videos) of the order, in pick order: a
// photo counts once all four of its copies are done.
QStringList uploadedNames(const OrderInfo &order, UploadType type);

// Imported photos (or videos) of the order and their names joined by "|:|".
int countUploaded(const OrderInfo &order, UploadType type, QString *names);

// Photos or videos of a finished import: how many were picked, how many
// ended imported and how many failed. Pending ones count as neither.
struct Tally
{
    int total = 0;
    int succeeded = 0;
    int failed = 0;
};
Tally tally(const OrderInfo &order, UploadType type);

// Whether some picked entry of the order failed its copy.
bool hasFailedEntry(const OrderInfo &order);

} // namespace OrderPicks
