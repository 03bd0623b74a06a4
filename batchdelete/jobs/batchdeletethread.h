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
    void diagnoseFailure(const QString &path);
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
    void setOutcome(int status, const QString &message);
};
