#pragma once

#include <functional>
#include <memory>

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include "importfiles/jobs/importfilecopyrunnable.h"
#include "importfiles/jobs/importrecords.h"
#include "importfiles/jobs/importreport.h"
#include "importfiles/jobs/importunfinished.h"

class FileButtonDelegate;
class ImportFileTableModel;
class OrderNumberButtonDelegate;
class OriginalView;
class QComboBox;
class RowFeeder;
class QDateEdit;
class QJsonDocument;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTableView;
class QTableWidget;
class QTableWidgetItem;
class QThreadPool;
class QVBoxLayout;
class SharedFolderOpener;

// The file-import window of the two import cards: originals (camera JPEGs
// and their raw files) or retouched photos. The user searches a branch's
// orders, picks files per order and imports them: the files of one order
// are copied four at a time, the order is reported to the service, and the
// next order follows. Kind 0 also shows the selected order's stored
// originals below the file list.
class ImportFiles : public QMainWindow
{
    Q_OBJECT

public:
    explicit ImportFiles(QWidget *parent = nullptr);
    ~ImportFiles() override;

    // Builds the window for originals (0) or retouched photos (1); called
    // once, right after construction.
    void setImportType(int type);
    int type() const { return importType; }

    // Cell setters of the order table; a row or header that has no cell is
    // left alone.
    void setCellText(int row, const QString &header, const QString &text);
    void setPhotoStatus(int row, const QString &text);
    void setSelectedCount(int row, int count);
    void setImportPath(int row, const QString &path);
    QString cellText(int row, const QString &header) const;

    void showOrderFiles(int row);
    void clearOrders();
    void appendOrderRow(const ImportOrder &order);
    void clearFileTable();
    void updateFileRow(int index, int status, const QString &message);

    // Read-only views for the window's own checks and for tests.
    QList<ImportOrder> orderList() const { return orders; }
    int shownRow() const { return currentRow; }
    bool isImporting() const { return importing; }
    int runRow() const { return importRow; }
    QTableWidget *orderTable() const { return m_orderTable; }
    QTableView *fileTable() const { return fileTableView; }
    ImportFileTableModel *fileTableModel() const { return fileModel; }
    OriginalView *originals() const { return originalView; }
    QStringList headers() const { return headerLabels; }
    // Copy jobs queued or running.
    int jobsInFlight() const { return m_inFlight.size(); }

signals:
    void orderSelectionChanged(int row, ImportOrder order);
    void startImportFiles(ImportOrder order);
    void startImportAllFiles(QList<ImportOrder> orders);

public slots:
    void onSearchClick();
    void onBranchSelectionChanged(int index);
    void onSearchTypeChanged(int index);
    void onOrderTableSelectionChanged();
    void onOrderNumberClicked(int row, QString text);
    void onSelectFilesClicked(int row);
    void onClearFilesClicked(int row);
    void onOpenDirClicked(int row);
    void onRetryImportClicked(int row);
    void onStartAllClicked();
    void onFileCopyFinished(ImportFile file);
    void onFileCopyCancelled(ImportFile file);

protected:
    void showEvent(QShowEvent *event) override;
    // Mid-run the window asks first; the run holds while it asks.
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Window and order search.
    void buildUi();
    QWidget *buildLeftPanel();
    QWidget *buildRightPanel();
    void buildOrderTable();
    void halveSplitter();
    void noteCellText(int row, int column, const QString &text);
    bool isRowNearView(int row) const;
    void placeRowButtons();
    void fitOrderColumns();
    // The width the left pane needs for the order table's least columns.
    int leftPaneNeeds() const;
    void addOrderRow(const ImportOrder &order, int row);
    int columnOf(const QString &header) const;
    QTableWidgetItem *cellItem(int row, const QString &header) const;
    void reqOrderList(int seq);
    bool refuseWithoutShop();
    void onSwitchShopReply(int seq, bool ok, const QJsonDocument &reply);
    void onOrderListReply(int seq, const ImportReport::Branch &branch, bool ok, const QJsonDocument &reply);
    void warn(const QString &title, const QString &text);
    bool isOrderAt(int row, const QString &orderPhotoId) const;

    // Row actions and file picking.
    void makeFileButtons(int row);
    void selectFilesButtonClicked(int row);
    void applyPick(int row, const QString &orderPhotoId, const QString &folder, const QList<ImportFile> &files);

    // The import run.
    void stopAllImports();
    void stopRun();
    void setRunning(bool running);
    void startOrder(int row);
    void onOrderBegun(int row, const QString &orderPhotoId, int runId, const ImportUnfinished::Begin &begin);
    QString endText() const;
    void startNextOrder();
    void finishSequence();
    void startJob(ImportFile file);
    void recordResult(const ImportFile &file);
    void startDeferred(const QString &key);
    bool isCurrentPick(const ImportFile &file) const;
    void orderCompleted(int row, bool byRetry);
    void importNextOrder();
    void reportOrder(int row, bool byRetry);
    void onFolderListed(int row, const QString &orderPhotoId, int seq, bool byRetry, int runId,
                        const ImportReport::FolderListing &listing);
    void onBatchReply(int row, const QString &orderPhotoId, int seq, bool byRetry, int runId,
                      const ImportReport::FolderListing &listing, bool ok, const QJsonDocument &reply);
    bool askResubmit(const QString &text);
    void showReimport(int row, const ImportReport::Reimport &names, bool endsRun);
    void noteOrderReported(ImportOrder *order);

    // Closing mid-run.
    bool isBusy() const { return importing || !m_inFlight.isEmpty(); }
    bool askStopRun() const;
    void holdRun();
    void releaseRun();
    // While the close question is open, a step that would start copies,
    // report or show a box waits here (true); it runs once the answer is
    // 否 and never after 是.
    bool heldBack(std::function<void()> step);
    void upImportOrderPath(const ImportOrder &order);
    void upImportPhotoInfo(const ImportOrder &order, const ImportFile &file);

    int importType = Originals;
    QList<ImportOrder> orders;
    int currentRow = -1;
    bool importing = false;
    QString shopId;
    QString eid;
    QString superId;
    int openypml = 1;
    int delyp = 0;
    QStringList headerLabels;
    // The panes have their first sizes (halves) or the user's.
    bool splitterSized = false;
    bool closing = false;
    // The account has no branch: said once when the window first shows.
    bool noShopSaid = false;
    // Per order-table column: the widest text written so far with its
    // paddings (the header's to start with), and the paddings themselves.
    QVector<int> m_contentWidths;
    QVector<int> m_cellPaddings;
    // Rows that have their button strip: those in view and a few more.
    QSet<int> m_stripRows;
    static constexpr int kSpareStripRows = 4;
    int m_stripWidth = 0;
    int m_leastTableWidth = 0;
    RowFeeder *m_rowFeeder = nullptr;

    // The branch the listed orders were searched under: their requests
    // speak for it whatever the branch combo shows now.
    ImportReport::Branch listedBranch;
    int m_searchSeq = 0;
    int m_generation = 0;

    QComboBox *branchCombo = nullptr;
    QComboBox *searchTypeCombo = nullptr;
    QLineEdit *keywordEdit = nullptr;
    QDateEdit *shootDateEdit = nullptr;
    QDateEdit *selectDateEdit = nullptr;
    QPushButton *searchButton = nullptr;
    QTableWidget *m_orderTable = nullptr;
    OrderNumberButtonDelegate *orderNumberDelegate = nullptr;
    QPushButton *startAllButton = nullptr;
    QTableView *fileTableView = nullptr;
    ImportFileTableModel *fileModel = nullptr;
    FileButtonDelegate *fileButtonDelegate = nullptr;
    QSplitter *splitter = nullptr;
    QVBoxLayout *rightLayout = nullptr;
    OriginalView *originalView = nullptr;
    QThreadPool *threadPool = nullptr;
    // Lists order folders for the reports, off the GUI thread.
    QThreadPool *listingPool = nullptr;
    SharedFolderOpener *folderOpener = nullptr;

    // Import run.
    int importRow = -1;
    int m_runId = 0;
    // Numbers the order reports of the window, so an answer is matched to
    // its own report even when a later search lists the order again.
    int m_reportSeq = 0;
    // Shared by every copy job started since the last stop.
    ImportFileCopyRunnable::CancelFlag m_cancel;
    // One job per target file: the claim of the job copying to each target
    // and the file it copies.
    struct Job
    {
        ImportFileCopyRunnable::ClaimFlag claim;
        ImportFile file;
    };
    QHash<QString, Job> m_inFlight;
    // Files whose target was still being written by an earlier job; they
    // start when that job reports.
    QHash<QString, ImportFile> m_deferred;

    // The close question is open: queued copies taken back from the pool
    // and the steps that came due meanwhile.
    bool m_held = false;
    QList<ImportFile> m_heldFiles;
    QList<std::function<void()>> m_heldSteps;
    // Order folders whose note this window wrote: a stop here is not a run
    // cut short, the window's own records say what is left.
    QSet<QString> m_ownNotes;
    // What this run did over for orders an earlier run left unfinished.
    QStringList m_redone;
};
