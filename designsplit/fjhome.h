#pragma once

#include <functional>
#include <memory>

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QWidget>

#include "designsplit/jobs/fjdataoperate.h"
#include "designsplit/jobs/fjrecords.h"

class BaseReq;
class FJFolderClaims;
class FJRunGate;
class FJLeftPanel;
class FJRightPanel;
class QCloseEvent;
class QHBoxLayout;
class QSplitter;
class QThreadPool;
class QTimer;
class QVBoxLayout;

// The design-split and download window behind four tool cards; its mode
// (DesignFileSplitTypes) says what each ticked order becomes. It runs a
// batch: orders one after another, each fetched from the service, planned,
// executed as parallel jobs on its pool and downloads, counted to
// completion, then the next order; a final box lists what failed. Closed
// mid-run, it asks first and the batch stands still until the answer.
class FJHome : public QWidget
{
    Q_OBJECT

public:
    explicit FJHome(QWidget *parent = nullptr);
    ~FJHome() override;

    // Applies "windowtitle" and the mode to both panels.
    void init(const QMap<QString, QString> &params);

    void getOrderInfo(const OrderData &order);
    void onOrderPhotoDetail(bool ok, const QJsonDocument &reply, const OrderData &order);
    void checkFinish();
    void nextOrder();
    void downImg();
    void saveDownloadedImage(int sequence, const QString &url, const QJsonObject &item, bool ok,
                             const QByteArray &data, const QString &mime);

    // Whether a batch runs (from start until its final box).
    bool isRunning() const { return m_running; }

    QJsonObject loginData;
    int mode = DesignSplit;
    QThreadPool *threadPool = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *bodyLayout = nullptr;
    QSplitter *splitter = nullptr;
    FJLeftPanel *leftPanel = nullptr;
    FJRightPanel *rightPanel = nullptr;
    FJDataOperate dataOperate;
    QList<int> selectedRows;
    QString orderRoot;
    int total = 0;
    bool htmlStarted = false;
    bool isSaveHtml = false;
    int copyPicFinishNum = 0;
    int copyPicTotal = 0;
    int downImgTotal = 0;
    int downPhotoFinishNums = 0;
    int proFinishNum = 0;
    int currentIndex = 0;
    QString failureText;

public slots:
    void onStartProcessRequested();
    void slt_copypicthread(bool ok, QString mode, QString sourcePath, QString detail, QString message);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    // Report of a downloaded picture written by its save job.
    void onDownloadSaved(int sequence, bool ok, QString path, QString message);

private:
    void connectPanels();
    void onDetailReply(int sequence, bool ok, const QJsonDocument &reply, const OrderData &order);
    // The production sheet of the order planned as sequence, once the
    // other units are done.
    void startSheet(int sequence);
    void onReportAnswered();
    // While the close question is open nothing of the batch moves on: a
    // result, reply or timer that comes meanwhile is kept as step, to run
    // on "no" (in the order they came) or be dropped on "yes". True when
    // step was kept.
    bool holdBack(std::function<void()> step);
    void resumeHeldBack();
    // "分件", or "下载" for the raw-file download: what the batch does, in
    // its boxes.
    QString doing() const;
    // The bar shows the whole batch as the label's "总进度 n/m" does: one
    // step per order, the current one filled as far as done of its units.
    void showProgress(int done, int of);
    // The orders a stop now leaves unfinished, one line each.
    QStringList unfinishedOrders() const;
    // What of the current order is not done yet, for its note.
    QString leftOfOrder() const;
    void onSelectionWriteBack();
    void onOrderSelected(int row, bool checked);
    void startProducts();
    void scheduleSheet();
    void completeOrder();
    void moveDownloadedPhotos();
    void finishBatch();
    void addFailure(const QString &line);
    // A job's failure line, led by the order it belongs to.
    void addOrderFailure(const QString &line);
    // Whether a start over the ticked orders would find anything to do; says
    // what is missing when not.
    bool hasWorkToStart();
    // Asks before a running batch is cut short, naming the orders a stop
    // leaves unfinished; false keeps the window.
    bool confirmStop();
    // Stops the batch for good on "yes": nothing kept back runs, no job
    // starts, the current order's folder gets its note of what is left.
    void stopBatch();
    // A window only hidden by its close: the stopped batch ends, and the
    // next start begins afresh.
    void settleStop();
    void reportDownloadSuccess(const QString &photoId);
    void warn(const QString &text);
    int doneUnits() const;
    bool isBusy() const;
    void waitForJobsThenClose();

    // One per planned order; downloads and saves carry the number of the
    // order they were made for, and those of an earlier order are dropped.
    int m_sequence = 0;
    bool m_running = false;
    bool m_orderDone = false;
    bool m_closing = false;
    // The close question is open; what came meanwhile waits in m_heldBack.
    bool m_asking = false;
    QList<std::function<void()>> m_heldBack;
    // The batch's hold and stop, shared with its jobs; a new one per batch.
    std::shared_ptr<FJRunGate> m_gate;
    // The current order was planned: its folder exists and its jobs run.
    bool m_planned = false;
    // What this run of the current order does over for a run cut short.
    QString m_redo;
    // Lines of the final box, one per order done over.
    QString m_redoneText;
    QString m_currentOrderId;
    // "<number>-<times>" of the current order, leading its failure lines.
    QString m_orderLabel;
    // Orders of the batch that came out whole (failures of single files
    // aside) and those that did not (skipped, unreachable, cut short).
    int m_ordersDone = 0;
    int m_ordersNotDone = 0;
    // The product folders taken in this run of the current order.
    std::shared_ptr<FJFolderClaims> m_claims;
    // Sources of the raw files copied for the current order.
    QSet<QString> m_copiedSources;
    int m_downloadsInFlight = 0;
    int m_savesInFlight = 0;
    int m_reportsInFlight = 0;
    bool m_finishPending = false;
    BaseReq *m_downloader = nullptr;
    BaseReq *m_reporter = nullptr;
    QTimer *m_stopTimer = nullptr;
};
