#pragma once

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>

// Where one file of an order's folder stands on its way to deletion.
struct BatchDeleteFileStatus
{
    enum Value : int {
        NotDeleted = 0,
        Deleting = 1,
        // Deleted and confirmed; a file already missing while its folder is
        // reachable counts as deleted too.
        Deleted = 2,
        // Deleted on disk, but the service never took the confirmation.
        SubmitFailed = 3,
        Missing = 4,
        Locked = 5,
        Unreachable = 6,
        NoPermission = 7,
        Failed = 8,
    };
};

// How a folder scan ended.
struct FileScanError
{
    enum Value : int {
        None = 0,
        EmptyPath = 1,
        NotFound = 2,
        ShareUnreachable = 3,
        NoAccess = 4,
        Cancelled = 5,
    };
};

// One file of an order's folder.
struct BatchDeleteFileInfo
{
    QString fileName;
    // The folder's absolute path, "/", the file name.
    QString filePath;
    // Name of the folder that holds the file; empty for a root folder.
    QString dirName;
    qint64 size = 0;
    int status = BatchDeleteFileStatus::NotDeleted;
    QString errorMessage;
    // Position in the order's scan result.
    int index = 0;
};

// An entry of an order's folder that the run leaves where it is, and why:
// deleting it would need opening what must not be opened, or addressing a
// name the program cannot name again. It is never announced, never
// deleted, never confirmed; it keeps the run from counting the order as
// emptied.
struct BatchDeleteLeftEntry
{
    enum Cause : int {
        // A pipe, socket or device: never opened, never deleted.
        SpecialFile = 0,
        // A name whose bytes do not survive decoding: every path built from
        // the decoded name names another file, or none.
        UndecodableName = 1,
        // A linked folder or a dangling link: links are never deleted.
        Link = 2,
        // A folder of the order's that could not be read: whatever it
        // holds stays.
        UnreadableFolder = 3,
    };

    // The entry's path as far as it can be shown; for an undecodable name
    // the bytes that did not decode are shown replaced.
    QString path;
    int cause = SpecialFile;

    // The cause as the user reads it, for "N 个<cause>".
    static QString causeText(int cause);
};

// One order of the batch-delete search, with the files of its folder and the
// outcome of their deletion.
struct BatchDeleteOrderInfo
{
    QString id;
    QString order_photo_id;
    QString orderpayforkey;
    QString servicetimes;
    QString customerName;
    QString mname;
    QString wname;
    QString role1;
    QString tiaosename;
    QString netpath;
    QString fulfil_time;
    bool checked = false;
    int row = 0;
    QList<BatchDeleteFileInfo> successFiles;
    QList<BatchDeleteFileInfo> failedFiles;
    QList<BatchDeleteFileInfo> allFiles;
    // What the order's complete scan found and the run does not delete.
    QList<BatchDeleteLeftEntry> leftEntries;
    // The branch's common import root ("picpathnew"), which holds every
    // order's folder and must never be emptied as one.
    QString publicNetpath;

    // One object of the "data" array of an order-list reply.
    static BatchDeleteOrderInfo fromJson(const QJsonObject &object, int row);
    static QString customerNameOf(const QString &mname, const QString &wname);

    // "orderpayforkey-servicetimes", how the user knows the order.
    QString label() const;
    bool isComplete() const { return successFiles.size() + failedFiles.size() >= allFiles.size(); }
    // A copy without the file lists (nor the entries left).
    BatchDeleteOrderInfo header() const;
};

// The outcome of one folder scan.
struct FileScanResult
{
    QList<BatchDeleteFileInfo> files;
    // Entries at the depth scanned that are no file to delete, in name
    // order; hidden entries are no more counted than listed.
    QList<BatchDeleteLeftEntry> leftEntries;
    int errorCode = FileScanError::None;
    QString errorMessage;
    QString path;
    int spareInt = 0;
    QString tag;
    // The folder holds the note of a deletion cut short (not listed).
    bool unfinishedNote = false;
};

Q_DECLARE_METATYPE(BatchDeleteFileInfo)
Q_DECLARE_METATYPE(BatchDeleteOrderInfo)
Q_DECLARE_METATYPE(FileScanResult)

namespace BatchDeleteRecords {

// Registers the records (and their lists) under their own names for queued
// connections; safe to call more than once.
void registerMetaTypes();

} // namespace BatchDeleteRecords
