#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "base/orderservice.h"
#include "importfiles/jobs/importrecords.h"

// What an import run tells the service about an order, and what it reads
// from the answers. No widgets: the window calls these, tests drive them.
namespace ImportReport {

// The files now in an order's sub-folders, as the batch report lists them.
struct FolderListing
{
    // Compact JSON arrays of {"name", "size"} (size as a decimal string).
    QString imgnames = QStringLiteral("[]");
    QString rawimgnames = QStringLiteral("[]");
    int jpegCount = 0;
    int rawCount = 0;
};

// Lists "原片" and "原始档" (originals) or "精修片" (retouched) of the order
// folder by the report's name patterns. Hidden files, folders and the copy
// jobs' temporary files are never listed. May take a while on a share: run
// it off the GUI thread.
FolderListing listOrderFolder(const QString &importPath, int type);

// The identity of the branch an order was listed under: every request
// about the order speaks for it.
using Branch = OrderService::Branch;

// The order folder as the service knows it (a mounted share written as a
// share path), without trailing separators.
QString localPathFor(const ImportOrder &order);

// The body of "savepicpath_batch" for the order and its listing.
QByteArray batchBody(const ImportOrder &order, const FolderListing &listing, int type, const Branch &branch);

// The body of "saveorderphotopath": the order folder reported once its
// first file is copied.
QByteArray orderPathBody(const ImportOrder &order, const QString &enterpriseId, const Branch &branch);

// The names a "savepicpath_batch" answer wants imported again.
struct Reimport
{
    QStringList localImages;
    QStringList serverImages;
    QStringList localRaws;
    QStringList serverRaws;

    bool isEmpty() const
    {
        return localImages.isEmpty() && serverImages.isEmpty() && localRaws.isEmpty() && serverRaws.isEmpty();
    }
};

// Reads the name lists of the type (retouched answers have no raw lists);
// a missing list is empty.
Reimport reimportNames(const QJsonObject &reply, int type);

// The rich text that shows the names to import again, every name and the
// order number HTML-escaped.
QString reimportMessage(const ImportOrder &order, const Reimport &names, int type);

} // namespace ImportReport
