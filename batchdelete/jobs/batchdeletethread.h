#pragma once

#include <memory>

#include <QThread>

#include "batchdelete/jobs/batchdeleterecords.h"
#include "batchdelete/jobs/filedeleteprobe.h"

// Deletes one file of an order on a thread of its own, so a slow or hanging
// share never blocks the window, and says why a deletion failed. The file is
// removed only through Confined::removeFile inside the order's folder: never
// a link, never through one, never in a folder that is itself a link or lies
// below one.
class BatchdeleteThread : public QThread
{
    Q_OBJECT

public:
    explicit BatchdeleteThread(QObject *parent = nullptr);
    ~BatchdeleteThread() override;

    void deleteFile();
    // Why the file at path (inside folder) was not deleted; removerError is
    // what the confined remover said, shown when nothing plainer fits.
    void diagnoseFailure(const QString &path, const QString &folder, const QString &removerError);
    bool isNetworkPathUnavailable(const QString &path) const;
    bool isFileLocked(const QString &path) const;

    // Filled before start, read by the thread only while it runs.
    BatchDeleteOrderInfo order;
    BatchDeleteFileInfo file;
    bool stopRequested = false;
    std::shared_ptr<const FileDeleteProbe> probe = FileDeleteProbe::system();

signals:
    void deleteFileFinish(const BatchDeleteOrderInfo &order, const BatchDeleteFileInfo &file);

protected:
    void run() override;

private:
    void removeInOrderFolder();
    void settleMissing(const QString &path, const QString &folder);
    bool isFolderWritable(const QString &path) const;
    static bool isRegularFile(const QString &path);
    void setOutcome(int status, const QString &message);
};
