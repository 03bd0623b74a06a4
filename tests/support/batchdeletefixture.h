#pragma once

#include <QJsonObject>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>

#include "batchdelete/jobs/filedeleteprobe.h"

class FakeOrderService;

// Real folder trees and fake-service orders for the batch-delete tests.
namespace BatchDeleteFixture {

// Writes a small file (its parents made as needed).
bool writeFile(const QString &path, const QByteArray &content = QByteArray("photo"));
// Writes every relative path below folder.
bool writeFiles(const QString &folder, const QStringList &relativePaths);
// The files below folder, as sorted relative paths.
QStringList filesBelow(const QString &folder);

// A finished order of shop "11" of the fake's test data, closed today, in
// folder (its "netpath") below the branch's common root.
QJsonObject order(const QString &orderPhotoId, const QString &number, const QString &folder,
                  const QString &commonRoot);
// Replaces the fake's orders with these.
void setOrders(FakeOrderService &fake, const QList<QJsonObject> &orders);

// Starts the fake as the service the program talks to, as user "501", with
// the login data kept in dataDir; false when it does not start.
bool startService(FakeOrderService &fake, const QString &dataDir);
// Back to the fake's test data without orders, requests or faults.
void resetService(FakeOrderService &fake);

} // namespace BatchDeleteFixture

// A file probe whose answers a test can set: files the account may not
// delete (a test runs as an administrator), network drives, removals that
// fail. With a confining folder set, nothing outside it is ever removed:
// such removals fail and are recorded, so a test of a dangerous folder
// cannot harm the machine even when the program gets it wrong.
class ScriptedProbe : public FileDeleteProbe
{
public:
    QSet<QString> readOnly;
    QSet<QString> refusedRemovals;
    bool remoteDrives = false;
    QString confinedTo;

    bool isRemoteDrive(const QString &driveRoot) const override;
    bool isWritable(const QString &path) const override;
    bool remove(const QString &path) const override;
    QStringList removalsOutside() const;

private:
    mutable QMutex mutex;
    mutable QStringList outside;
};
