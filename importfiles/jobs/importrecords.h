#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// What a window imports: original camera files (JPEGs and their raw files)
// or retouched photos.
enum ImportType {
    Originals = 0,
    Retouched = 1,
};

enum ImportFileStatus {
    Waiting = 0,
    Succeeded = 1,
    Failed = 2,
};

// One picked file of an order and, once a copy job has run, its outcome.
struct ImportFile
{
    QString sourcePath;
    QString baseName;
    QString suffix;
    QString targetDir;
    // The order's folder (service form): no write of the copy leaves it.
    QString orderFolder;
    int status = Waiting;
    QString message;
    int orderRow = 0;
    int fileIndex = 0;
    qint64 size = 0;
    // The order and the pick the record belongs to: a copy result is applied
    // only while the order at orderRow is still this pick of this order.
    QString orderPhotoId;
    int pickGeneration = 0;
    // Started by the row's retry button rather than by a run.
    bool retry = false;
    // Set when a run cut short earlier left the order's note: a target
    // written since then with the source's size is that run's copy, kept as
    // it is (kept) instead of copied again.
    QDateTime keptSince;
    bool kept = false;

    // The name the copy gets: the source's own, so a source without a
    // suffix gets no trailing dot (Windows would drop it, and the name we
    // report would not be the file's).
    QString fileName() const { return suffix.isEmpty() ? baseName : baseName + QLatin1Char('.') + suffix; }
    // targetDir joined with the file name, as the service and the user see it.
    QString targetPath() const;
    // The target in the file system's own form: the folder, from the
    // service, converted; the name, read from the disk, as it is.
    QString targetFsPath() const;
};

Q_DECLARE_METATYPE(ImportFile)

// One order of the import window, as the order list lists it, with the
// files picked for it and the results of its copies.
struct ImportOrder
{
    QString id;
    QString order_photo_id;
    int row = 0;
    QString orderpayforkey;
    QString servicetimes;
    QString wname;
    QString mname;
    QString comboname;
    QString shotdate;
    QString shotdate_year;
    QString shotdate_month;
    QString shotdate_day;
    QString sampledate;
    QString order_price;
    QString selectphotoname;
    QString storesname;
    QString number_yuanshidang;
    QString number_yuanpian;
    QString number_jingxiu;
    QString wphone;
    QString mphone;
    QString selectphototime;
    QString role1;
    QString role2;
    QString importPath;
    QString resolvedImportPath;
    QString publicNetpath;
    QString publicImportPath;
    QList<ImportFile> files;
    QStringList selectedNames;
    QStringList failedNames;
    QList<ImportFile> failedFiles;
    QList<ImportFile> importedFiles;

    // Changes with every pick or clear of the order's files (and differs
    // between searches), so results of an earlier pick are told apart.
    int pickGeneration = 0;
    // Reports of the order to the service: the number of the latest one,
    // whether one is under way and whether another is wanted after it.
    int reportSeq = 0;
    bool reportInFlight = false;
    bool reportAgain = false;
    // The run found the note of an earlier run that was cut short: it says
    // what it did over once the order is reported.
    bool resumed = false;
};

Q_DECLARE_METATYPE(ImportOrder)

namespace ImportRecords {

// The order of one element of the order list's "data", at table row `row`.
ImportOrder orderFromJson(const QJsonObject &object, int row);

// A customer's selected photo name as the order keeps it: the base name up
// to the first dot, a dot and the last suffix in lower case.
QString selectedName(const QString &imgName);

// The order's folder: its own import path, or the one built under the
// branch's common root (stored into the order). Empty when neither gives a
// safe folder.
QString settleOrderFolder(ImportOrder *order);

// The sub-folders a pick of this type creates in the order folder.
QStringList subFolders(int type);
// The sub-folder a file with this suffix goes to.
QString subFolderFor(int type, const QString &suffix);

// The record of a picked file: fileIndex is its place in the pick.
ImportFile fileFromPath(const QString &path, const ImportOrder &order, int fileIndex, int type);

// What two files share when they land on the same target: the target
// without case, as Windows folders compare names, and in one Unicode form
// (NFC). A name written composed ("é") and one written decomposed ("e" and
// its accent, as a Mac writes it) look alike to the user and are one file
// on a Mac's volumes.
QString targetKey(const ImportFile &file);

// File names of the pick that would land on the same target as an earlier
// file of the pick (same targetKey()).
QStringList sameTargetNames(const QList<ImportFile> &files);

// Names of picked retouched photos that are not among the customer's
// selected names.
QStringList unselectedNames(const QList<ImportFile> &files, const QStringList &selectedNames);

// Files with a final result (copied or failed).
int finishedCount(const ImportOrder &order);
// Files that a run copies: every file not yet copied.
int pendingCount(const ImportOrder &order);

} // namespace ImportRecords
