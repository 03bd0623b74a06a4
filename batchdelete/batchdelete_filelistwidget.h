#pragma once

#include <functional>

#include <QList>
#include <QPointer>
#include <QWidget>

#include "batchdelete/jobs/batchdeleterecords.h"

class ColumnFit;
class BatchDeleteFileModel;
class ElementButton;
class FileScanThread;
class FullScreenLoading;
class QLabel;
class QTableView;

// The right-hand panel of the batch-delete window: the files of the order
// the user clicked, scanned from its folder when the order holds no list
// yet, behind an overlay the user can cancel.
class BatchDelete_FileListWidget : public QWidget
{
    Q_OBJECT

public:
    explicit BatchDelete_FileListWidget(QWidget *parent = nullptr);
    ~BatchDelete_FileListWidget() override;

    void showOrderFiles(const QList<BatchDeleteOrderInfo> &orders);
    void startScan(const BatchDeleteOrderInfo &order);
    void setFiles(const QList<BatchDeleteFileInfo> &files);
    void clear();
    void updateFile(const BatchDeleteOrderInfo &order, const BatchDeleteFileInfo &file);
    void updateFile(int row, int status, const QString &errorMessage);
    BatchDeleteOrderInfo currentOrder() const { return shownOrder; }
    void setRefreshEnabled(bool enabled);
    void stopAllScans();

    BatchDeleteFileModel *model() const { return fileModel; }
    QTableView *table() const { return fileTable; }
    // Scans started and not yet disposed of.
    int scanCount() const { return scanThreads.size(); }
    // Why an order's folder is not listed as its files (a link, a folder
    // that holds other orders' folders); empty when it may be. The window
    // asks with the orders of its search.
    using FolderCheck = std::function<QString(const BatchDeleteOrderInfo &order)>;
    void setFolderCheck(FolderCheck check) { folderCheck = std::move(check); }
    // What the count line says.
    QString countText() const;

signals:
    void retrySubmitClicked(int row);
    void retryDeleteClicked(int row);
    void refreshOrderFiles(const QString &orderPhotoId, const QList<BatchDeleteFileInfo> &files);

public slots:
    void onRetrySubmit(int row);
    void onRetryDelete(int row);
    void onScanFinished(const FileScanResult &result);
    void onScanProgress(int filesFound, const QString &folder);

private:
    void setupUI();
    void onRefreshClicked();
    void onScanCancelClicked();
    void removeFinishedScans();
    void dropScans();
    // The width a cell needs to show text whole, paddings included.
    int cellWidth(const QString &text) const;
    // The status column keeps room for the widest status it shows.
    void fitStatus(bool fromScratch, int status = 0);

    BatchDeleteFileModel *fileModel = nullptr;
    QTableView *fileTable = nullptr;
    ColumnFit *columnFit = nullptr;
    QLabel *countLabel = nullptr;
    ElementButton *refreshButton = nullptr;
    QList<FileScanThread *> scanThreads;
    // The one scan whose list may still be shown; a list handed in since
    // (the run's, with its states) or a later scan makes the others stale.
    QPointer<FileScanThread> latestScan;
    BatchDeleteOrderInfo shownOrder;
    FolderCheck folderCheck;
};
