#pragma once

#include <QAtomicInt>
#include <QObject>
#include <QString>
#include <QVector>

#include "batchdelete/jobs/batchdeleterecords.h"

class QThread;

// Lists an order's folder on the scan thread: the files of the folder and,
// down to the depth limit, of its subfolders, in name order. It never goes
// into a folder that is a symbolic link or junction, so a link inside an
// order's folder cannot bring files from elsewhere into the list. What it
// will not list for deletion (a pipe, socket or device, a name that does
// not decode, a linked folder or dangling link, a folder it cannot read) it
// counts in the result's leftEntries, so the run never calls such a folder
// emptied.
class FileScanWorker : public QObject
{
    Q_OBJECT

public:
    explicit FileScanWorker(QObject *parent = nullptr);

    void cancel();
    int checkDirectory(const QString &path, QString *errorMessage);
    bool scanDirectory(const QString &path, FileScanResult *result, int depth);
    static QString parentDirName(const QString &filePath);

public slots:
    // The scanned folder is depth 1; a depthLimit of 0 or less lists the
    // whole tree.
    void startScan(const QString &tag, const QString &path, int depthLimit);

signals:
    void scanFinished(const FileScanResult &result);
    void scanProgress(int filesFound, const QString &folder);

private:
    friend class FileScanThread;

    // One entry of a folder, looked at without following it.
    struct FolderEntry
    {
        enum Kind {
            File,
            LinkedFile,
            Folder,
            Left, // not to be deleted; see cause
        };
        QString name;
        Kind kind = File;
        qint64 size = 0;
        int cause = BatchDeleteLeftEntry::SpecialFile;
    };

    // The folder's entries but hidden ones, in name order. With noLink a
    // folder that is a link is not read. False when the folder cannot be
    // read (completely), with *cause set to the left entry's cause when it
    // is not UnreadableFolder.
    static bool listFolder(const QString &path, bool noLink, QVector<FolderEntry> *entries, int *cause);
    static void sortByName(QVector<FolderEntry> *entries);

    bool cancelled() const { return cancelRequested.loadAcquire() != 0; }

    // The running scan's limit, taken from its request on the scan thread.
    int maxDepth = 2;
    QAtomicInt cancelRequested{0};
    int filesFound = 0;
};

// Runs one folder scan on a thread of its own and hands the result back on
// the thread that created it. Once cancelled, it passes no result on.
class FileScanThread : public QObject
{
    Q_OBJECT

public:
    explicit FileScanThread(QObject *parent = nullptr);
    ~FileScanThread() override;

    void init();
    // The depth travels with the request, so the scan thread never reads a
    // value the GUI thread writes.
    void startScan(const QString &tag, const QString &path, int maxDepth);
    bool cancel(int timeoutMs);
    bool isRunning() const { return running; }
    bool isCancelled() const { return cancelled; }

signals:
    void scanFinished(const FileScanResult &result);
    void scanProgress(int filesFound, const QString &folder);
    void startScanInternal(const QString &tag, const QString &path, int maxDepth);

public slots:
    void onScanFinished(const FileScanResult &result);

private:
    QThread *thread = nullptr;
    FileScanWorker *worker = nullptr;
    bool running = false;
    bool cancelled = false;
};
