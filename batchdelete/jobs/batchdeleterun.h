#pragma once

#include <functional>
#include <memory>

#include <QHash>
#include <QJsonDocument>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include "batchdelete/jobs/batchdeleterecords.h"
#include "batchdelete/jobs/batchdeleterequests.h"
#include "batchdelete/jobs/filedeleteprobe.h"

class BaseReq;
class BatchdeleteThread;
class FileScanThread;
class QThreadPool;

// One batch deletion, order by order: scan the order's folder, announce the
// whole list to the service, delete the files two at a time, each on its
// own thread, and confirm every deleted file to the service.
//
// The run works from its own copies, taken at start: the branch values and
// each order (id, folder). Every scanned file reaches exactly one final
// state once; an order is done when all of its files have, whatever the
// tables show. Nothing that was not deleted is ever confirmed.
//
// Its records are the one home of a run order's files and their states:
// the order table reads them and keeps none of its own. An order's record
// from an earlier batch stays until a later batch announces the order's
// files again, since until then the table still shows it.
class BatchDeleteRun : public QObject
{
    Q_OBJECT

public:
    // Asks whether a failed confirmation is sent again; answer(true) sends
    // it again, answer(false) gives the file up as "提交状态失败".
    using Question = std::function<void(const QString &text, std::function<void(bool)> answer)>;

    explicit BatchDeleteRun(QObject *parent = nullptr);
    ~BatchDeleteRun() override;

    void setFileProbe(std::shared_ptr<const FileDeleteProbe> probe);
    // Whether the run's requests share kept-alive connections (the default)
    // or each opens its own; for measuring the difference.
    static void setConnectionReuse(bool reuse);
    void setQuestionHandler(Question handler);

    // Starts with copies of the branch values and the orders; false when a
    // run is already going on or there is no order. searched are the other
    // orders of the same search: no order whose folder holds one of theirs
    // (or one of the run's) is deleted.
    bool start(const BatchDeleteRequests::Branch &branch, const QList<BatchDeleteOrderInfo> &orders,
               const QList<BatchDeleteOrderInfo> &searched = {});
    bool isRunning() const { return running; }

    // While the window asks whether to close: no file starts, no order
    // begins, nothing ends the run and nothing asks (those steps wait for
    // release()); files being deleted finish, and their confirmations are
    // sent and recorded.
    void hold();
    void release();
    // For good, before the window closes: the waiting steps are dropped,
    // files being deleted finish and are confirmed (a refused confirmation
    // is given up without a question), and the order cut short gets its
    // note. closedDown() follows once nothing is under way; neither
    // finished() nor stopped() does.
    void stopForClose();
    bool isStopping() const { return stopping; }
    // The run's record of the order it is at; row -1 when none.
    BatchDeleteOrderInfo currentOrder() const;
    // Whether the order is one of the latest batch's.
    bool contains(const QString &orderPhotoId) const;
    // The run's record of an order (its announced files and their states):
    // the latest batch's once it has announced them, else an earlier
    // batch's; a record whose row is -1 when the order never ran.
    BatchDeleteOrderInfo order(const QString &orderPhotoId) const;
    // The latest batch's records.
    const QList<BatchDeleteOrderInfo> &orders() const { return runOrders; }

    // True when no order was refused or failed to scan, every file was
    // deleted and confirmed, and no scan found anything the run leaves (a
    // pipe, socket or device, a name that does not decode, a link, a folder
    // it cannot read); an order whose folder held nothing keeps a run clean. summaryText() says what happened to each order
    // that was not simply emptied, with the real counts.
    bool isClean() const;
    QString summaryText() const;

public slots:
    void processNextOrder();
    // A delete thread's result; a result for a file that is not being
    // deleted (a second report, a stale one) is ignored.
    void onDeleteFileFinish(const BatchDeleteOrderInfo &order, const BatchDeleteFileInfo &file);

signals:
    // The service took the order's file list; deleting starts.
    void orderFilesAnnounced(const BatchDeleteOrderInfo &order, const QList<BatchDeleteFileInfo> &files);
    // An order that is skipped: its folder is refused or could not be
    // scanned completely.
    void orderSkipped(const BatchDeleteOrderInfo &order, const QString &reason);
    void fileDeleting(const BatchDeleteOrderInfo &order, const BatchDeleteFileInfo &file);
    // A file's final state (deleted, failed, or deleted but not confirmed).
    void fileFinished(const BatchDeleteOrderInfo &order, const BatchDeleteFileInfo &file);
    // The service refused the announcement or could not be reached; the
    // later orders are not touched.
    void stopped(const QString &message);
    void finished();
    void closedDown();

private:
    enum class Phase {
        Queued,
        Deleting,
        Confirming,
        Settled,
    };

    struct Problem
    {
        QString order;
        QString reason;
    };

    void onOrderScanFinished(int orderIndex, const FileScanResult &result);
    void skipOrder(const QString &reason);
    void deletePost_all(const BatchDeleteOrderInfo &order, const QList<BatchDeleteFileInfo> &files);
    void onDeletePostAllReply(int orderIndex, const QList<BatchDeleteFileInfo> &files, bool ok,
                              const QJsonDocument &reply);
    void deleteOneFile();
    void deletePost_one(const QString &orderPhotoId, const BatchDeleteFileInfo &file, std::function<void(bool)> done);
    void onDeletePostOneReply(const QString &orderPhotoId, const BatchDeleteFileInfo &file,
                              const std::function<void(bool)> &done, bool ok, const QJsonDocument &reply);
    void onDeleteConfirmed(int orderIndex, const BatchDeleteFileInfo &file, bool ok);
    void settle(const BatchDeleteFileInfo &file);
    void laneStep();
    void advance();
    void stop(const QString &message);
    void finishOrder();
    void closeDownIfIdle();
    // A step that came due while held: run on release, dropped (after its
    // drop, when it has one) by a stop for closing.
    struct HeldStep
    {
        std::function<void()> run;
        std::function<void()> drop;
    };
    bool heldBack(std::function<void()> run, std::function<void()> drop = nullptr);
    bool isCurrentFile(int orderIndex, int fileIndex, Phase phase) const;
    BaseReq *newRequest();

    BatchDeleteRequests::Branch branch;
    // An order's files are set when the service has taken their list.
    QList<BatchDeleteOrderInfo> runOrders;
    // Earlier batches' records with announced files, one per order, until
    // the order's files are announced again.
    QList<BatchDeleteOrderInfo> earlierOrders;
    // Per order of the run, why its folder is not one order's to empty;
    // decided at the start, before anything is deleted.
    QStringList folderRefusals;
    int currentOrderIndex = 0;
    QList<BatchDeleteFileInfo> fileQueue;
    // Per file of the current order, by its index.
    QVector<Phase> phases;
    int settledCount = 0;
    bool running = false;
    bool held = false;
    bool stopping = false;
    // An order's file list is with the service, its answer not yet here.
    bool announcing = false;
    QList<HeldStep> heldSteps;
    // Refused confirmations whose question is open, by ticket: a stop for
    // closing gives them up.
    QHash<int, std::function<void(bool)>> openQuestions;
    int questionTickets = 0;
    // Orders (indexes) whose folder held the note of a run cut short, and
    // what this run did with those it got past.
    QList<int> notedOrders;
    QStringList resumedLines;
    // Writes and deletes the notes, off the window's thread.
    QThreadPool *notePool = nullptr;
    QList<Problem> problems;
    // Orders whose complete scan found no file: nothing to delete.
    QStringList emptyOrders;

    std::shared_ptr<const FileDeleteProbe> probe = FileDeleteProbe::system();
    Question question;
    QPointer<FileScanThread> scanner;
    QList<QPointer<BatchdeleteThread>> threads;
};
