#include "batchdelete/jobs/batchdeleterun.h"

#include <algorithm>
#include <utility>

#include <QJsonObject>
#include <QLoggingCategory>
#include <QMap>
#include <QThreadPool>

#include "base/basereq.h"
#include "base/handover.h"
#include "base/orderservice.h"
#include "batchdelete/jobs/batchdeletethread.h"
#include "batchdelete/jobs/batchdeleteunfinished.h"
#include "batchdelete/jobs/filescanthread.h"

Q_LOGGING_CATEGORY(lcRun, "velquora.batchdelete.run")

namespace {

// How long closing waits for a file that is being deleted right now.
constexpr int kThreadWaitMs = 5000;

bool s_connectionReuse = true;

} // namespace

BatchDeleteRun::BatchDeleteRun(QObject *parent)
    : QObject(parent)
    , notePool(new QThreadPool(this))
{
    BatchDeleteRecords::registerMetaTypes();
    notePool->setMaxThreadCount(1);
}

BatchDeleteRun::~BatchDeleteRun()
{
    running = false;
    notePool->waitForDone();
    // A file being deleted right now is still deleted; its result goes
    // nowhere. Threads that end in time are released here, the others when
    // they end.
    for (const QPointer<BatchdeleteThread> &thread : qAsConst(threads)) {
        if (!thread)
            continue;
        disconnect(thread, nullptr, this, nullptr);
        if (thread->wait(kThreadWaitMs))
            delete thread.data();
    }
}

void BatchDeleteRun::setFileProbe(std::shared_ptr<const FileDeleteProbe> fileProbe)
{
    probe = fileProbe ? std::move(fileProbe) : FileDeleteProbe::system();
}

void BatchDeleteRun::setConnectionReuse(bool reuse)
{
    s_connectionReuse = reuse;
}

BaseReq *BatchDeleteRun::newRequest()
{
    auto *request = new BaseReq(this);
    // Thousands of confirmations in a row: without kept-alive connections
    // each one would pay for a new connection and TLS handshake.
    if (s_connectionReuse)
        request->useSharedConnections();
    return request;
}

void BatchDeleteRun::setQuestionHandler(Question handler)
{
    question = std::move(handler);
}

bool BatchDeleteRun::start(const BatchDeleteRequests::Branch &branchValues, const QList<BatchDeleteOrderInfo> &orders,
                           const QList<BatchDeleteOrderInfo> &searched)
{
    if (running || orders.isEmpty())
        return false;
    branch = branchValues;
    // The table may still show what the last batch announced.
    for (const BatchDeleteOrderInfo &done : qAsConst(runOrders)) {
        if (!done.allFiles.isEmpty())
            earlierOrders.append(done);
    }
    runOrders.clear();
    for (const BatchDeleteOrderInfo &order : orders)
        runOrders.append(order.header());
    // Which folder holds another order's is known only from the whole
    // search, and must be known before the first file of any order goes.
    const QList<BatchDeleteOrderInfo> search = searched + runOrders;
    folderRefusals.clear();
    for (const BatchDeleteOrderInfo &order : qAsConst(runOrders))
        folderRefusals.append(orderFolderRefusal(order, search));
    currentOrderIndex = 0;
    fileQueue.clear();
    phases.clear();
    settledCount = 0;
    problems.clear();
    emptyOrders.clear();
    notedOrders.clear();
    resumedLines.clear();
    heldSteps.clear();
    openQuestions.clear();
    held = false;
    stopping = false;
    announcing = false;
    running = true;
    qCDebug(lcRun) << "开始批量删除，订单数:" << runOrders.size();
    processNextOrder();
    return true;
}

bool BatchDeleteRun::contains(const QString &orderPhotoId) const
{
    for (const BatchDeleteOrderInfo &order : runOrders) {
        if (order.order_photo_id == orderPhotoId)
            return true;
    }
    return false;
}

BatchDeleteOrderInfo BatchDeleteRun::order(const QString &orderPhotoId) const
{
    const auto find = [&orderPhotoId](const QList<BatchDeleteOrderInfo> &records) {
        return std::find_if(records.cbegin(), records.cend(), [&orderPhotoId](const BatchDeleteOrderInfo &order) {
            return order.order_photo_id == orderPhotoId;
        });
    };
    const auto latest = find(runOrders);
    if (latest != runOrders.cend() && !latest->allFiles.isEmpty())
        return *latest;
    const auto earlier = find(earlierOrders);
    if (earlier != earlierOrders.cend())
        return *earlier;
    if (latest != runOrders.cend())
        return *latest;
    BatchDeleteOrderInfo none;
    none.row = -1;
    return none;
}

void BatchDeleteRun::processNextOrder()
{
    if (!running)
        return;
    if (stopping) {
        closeDownIfIdle();
        return;
    }
    if (heldBack([this]() { processNextOrder(); }))
        return;
    // Folders that must never be emptied as a whole are refused before
    // anything looks into them. The folder itself is asked again now: it
    // may have become a link since the start.
    while (currentOrderIndex < runOrders.size()) {
        const BatchDeleteOrderInfo &next = runOrders.at(currentOrderIndex);
        QString refusal = folderRefusals.value(currentOrderIndex);
        if (refusal.isEmpty())
            refusal = orderFolderRefusal(next.netpath, next.publicNetpath);
        if (refusal.isEmpty())
            break;
        qCWarning(lcRun) << "订单目录不能删除:" << next.label() << refusal;
        problems.append({next.label(), refusal});
        emit orderSkipped(next.header(), refusal);
        if (!running)
            return;
        ++currentOrderIndex;
    }
    if (currentOrderIndex >= runOrders.size()) {
        running = false;
        emit finished();
        return;
    }

    const BatchDeleteOrderInfo &order = runOrders.at(currentOrderIndex);
    auto *scan = new FileScanThread(this);
    scanner = scan;
    const int index = currentOrderIndex;
    connect(scan, &FileScanThread::scanFinished, this, [this, scan, index](const FileScanResult &result) {
        // Released as soon as its result is here.
        scan->deleteLater();
        onOrderScanFinished(index, result);
    });
    // The folder and its direct subfolders: the same files the panel lists.
    scan->startScan(order.order_photo_id, order.netpath, 2);
}

void BatchDeleteRun::onOrderScanFinished(int orderIndex, const FileScanResult &result)
{
    if (!running || stopping || orderIndex != currentOrderIndex)
        return;
    // The order's announcement would wait for the answer anyway.
    if (heldBack([this, orderIndex, result]() { onOrderScanFinished(orderIndex, result); }))
        return;
    if (result.unfinishedNote && !notedOrders.contains(orderIndex))
        notedOrders.append(orderIndex);
    // Only a complete scan is deleted: a cancelled or failed one leaves the
    // order as it is.
    if (result.errorCode != FileScanError::None) {
        skipOrder(result.errorMessage);
        return;
    }
    if (result.files.isEmpty() && result.leftEntries.isEmpty()) {
        qCDebug(lcRun) << "订单目录中没有文件:" << runOrders.at(orderIndex).label();
        emptyOrders.append(runOrders.at(orderIndex).label());
        finishOrder();
        return;
    }
    // A folder swapped for a link while it was listed: its list names
    // another place's files, which the service must not be told of.
    BatchDeleteOrderInfo &order = runOrders[orderIndex];
    const QString refusal = orderFolderRefusal(order.netpath, order.publicNetpath);
    if (!refusal.isEmpty()) {
        skipOrder(refusal);
        return;
    }
    // Known before any file goes: a run that stops later still does not
    // call this folder emptied.
    order.leftEntries = result.leftEntries;
    if (!order.leftEntries.isEmpty())
        qCWarning(lcRun) << "订单目录中有不能删除的项目:" << order.label() << order.leftEntries.size();
    if (result.files.isEmpty()) {
        finishOrder();
        return;
    }
    deletePost_all(order.header(), result.files);
}

void BatchDeleteRun::skipOrder(const QString &reason)
{
    const BatchDeleteOrderInfo &order = runOrders.at(currentOrderIndex);
    qCWarning(lcRun) << "订单未删除，跳过:" << order.label() << reason;
    problems.append({order.label(), reason});
    emit orderSkipped(order.header(), reason);
    advance();
}

void BatchDeleteRun::deletePost_all(const BatchDeleteOrderInfo &order, const QList<BatchDeleteFileInfo> &files)
{
    BaseReq *request = newRequest();
    const int index = currentOrderIndex;
    announcing = true;
    request->post(OrderService::action(OrderService::Action::DeleteAnnounce),
                  BatchDeleteRequests::deleteBeforeBody(branch, order.order_photo_id, files),
                  [this, request, index, files](bool ok, const QJsonDocument &reply) {
                      request->deleteLater();
                      onDeletePostAllReply(index, files, ok, reply);
                  });
}

void BatchDeleteRun::onDeletePostAllReply(int orderIndex, const QList<BatchDeleteFileInfo> &files, bool ok,
                                          const QJsonDocument &reply)
{
    if (!running || orderIndex != currentOrderIndex)
        return;
    announcing = false;
    // Closing: the order's files are not touched.
    if (stopping) {
        closeDownIfIdle();
        return;
    }
    if (heldBack([this, orderIndex, files, ok, reply]() { onDeletePostAllReply(orderIndex, files, ok, reply); }))
        return;
    if (!ok) {
        stop(QStringLiteral("提交数据失败!"));
        return;
    }
    const OrderService::Answer answer = OrderService::check(reply);
    if (!answer.ok) {
        stop(answer.messageOr(QStringLiteral("提交数据失败!")));
        return;
    }

    BatchDeleteOrderInfo &order = runOrders[orderIndex];
    order.allFiles = files;
    // From now on this record is the order's latest.
    const QString id = order.order_photo_id;
    const auto same = [&id](const BatchDeleteOrderInfo &earlier) { return earlier.order_photo_id == id; };
    earlierOrders.erase(std::remove_if(earlierOrders.begin(), earlierOrders.end(), same), earlierOrders.end());
    phases = QVector<Phase>(files.size(), Phase::Queued);
    settledCount = 0;
    fileQueue = files;
    emit orderFilesAnnounced(order.header(), files);
    if (!running)
        return;
    // Two lanes: each takes its next file once the previous one is fully
    // reported.
    deleteOneFile();
    deleteOneFile();
}

void BatchDeleteRun::deleteOneFile()
{
    if (!running || stopping)
        return;
    if (heldBack([this]() { deleteOneFile(); }))
        return;
    while (!fileQueue.isEmpty()) {
        BatchDeleteFileInfo file = fileQueue.takeFirst();
        if (file.index < 0 || file.index >= phases.size() || phases.at(file.index) != Phase::Queued)
            continue;
        phases[file.index] = Phase::Deleting;
        file.status = BatchDeleteFileStatus::Deleting;
        BatchDeleteOrderInfo &order = runOrders[currentOrderIndex];
        order.allFiles[file.index].status = BatchDeleteFileStatus::Deleting;
        emit fileDeleting(order.header(), file);

        auto *thread = new BatchdeleteThread(nullptr);
        thread->order = order.header();
        thread->file = file;
        thread->probe = probe;
        connect(thread, &BatchdeleteThread::deleteFileFinish, this, &BatchDeleteRun::onDeleteFileFinish);
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        threads.removeAll(QPointer<BatchdeleteThread>());
        threads.append(thread);
        thread->start(QThread::InheritPriority);
        return;
    }
}

bool BatchDeleteRun::isCurrentFile(int orderIndex, int fileIndex, Phase phase) const
{
    return running && orderIndex == currentOrderIndex && fileIndex >= 0 && fileIndex < phases.size()
        && phases.at(fileIndex) == phase;
}

void BatchDeleteRun::onDeleteFileFinish(const BatchDeleteOrderInfo &order, const BatchDeleteFileInfo &file)
{
    if (!running || currentOrderIndex >= runOrders.size()
        || order.order_photo_id != runOrders.at(currentOrderIndex).order_photo_id
        || !isCurrentFile(currentOrderIndex, file.index, Phase::Deleting)) {
        qCWarning(lcRun) << "忽略重复或过期的删除结果:" << file.filePath;
        return;
    }
    if (file.status == BatchDeleteFileStatus::Deleted) {
        phases[file.index] = Phase::Confirming;
        const int index = currentOrderIndex;
        deletePost_one(order.order_photo_id, file, [this, index, file](bool ok) { onDeleteConfirmed(index, file, ok); });
        return;
    }
    settle(file);
    laneStep();
}

void BatchDeleteRun::deletePost_one(const QString &orderPhotoId, const BatchDeleteFileInfo &file,
                                    std::function<void(bool)> done)
{
    qCDebug(lcRun) << "打印一下filePath：" << file.filePath;
    BaseReq *request = newRequest();
    request->post(OrderService::action(OrderService::Action::DeleteConfirm),
                  BatchDeleteRequests::deleteAfterBody(branch, orderPhotoId, file),
                  [this, request, orderPhotoId, file, done](bool ok, const QJsonDocument &reply) {
                      request->deleteLater();
                      onDeletePostOneReply(orderPhotoId, file, done, ok, reply);
                  });
}

void BatchDeleteRun::onDeletePostOneReply(const QString &orderPhotoId, const BatchDeleteFileInfo &file,
                                          const std::function<void(bool)> &done, bool ok, const QJsonDocument &reply)
{
    QString text;
    if (!ok) {
        text = QStringLiteral("删除信息提交失败，需要继续提交吗？");
    } else {
        const OrderService::Answer answer = OrderService::check(reply);
        if (answer.ok) {
            done(true);
            return;
        }
        text = answer.messageOr(QStringLiteral("删除信息提交失败")) + QStringLiteral("，需要继续提交吗？");
    }
    // A run closing down asks nothing: the file stays unconfirmed.
    if (!question || stopping) {
        done(false);
        return;
    }
    if (heldBack([this, orderPhotoId, file, done, ok, reply]() { onDeletePostOneReply(orderPhotoId, file, done, ok, reply); },
                 [done]() { done(false); }))
        return;
    QPointer<BatchDeleteRun> self(this);
    const int ticket = ++questionTickets;
    openQuestions.insert(ticket, done);
    question(text, [self, ticket, orderPhotoId, file](bool again) {
        if (!self)
            return;
        // Gone when a stop for closing gave the file up meanwhile.
        const std::function<void(bool)> answer = self->openQuestions.take(ticket);
        if (!answer)
            return;
        if (again)
            self->deletePost_one(orderPhotoId, file, answer);
        else
            answer(false);
    });
}

void BatchDeleteRun::onDeleteConfirmed(int orderIndex, const BatchDeleteFileInfo &file, bool ok)
{
    if (!isCurrentFile(orderIndex, file.index, Phase::Confirming))
        return;
    BatchDeleteFileInfo outcome = file;
    if (!ok) {
        outcome.status = BatchDeleteFileStatus::SubmitFailed;
        outcome.errorMessage = QStringLiteral("已删除，删除信息未提交");
    }
    settle(outcome);
    laneStep();
}

void BatchDeleteRun::settle(const BatchDeleteFileInfo &file)
{
    phases[file.index] = Phase::Settled;
    ++settledCount;
    BatchDeleteOrderInfo &order = runOrders[currentOrderIndex];
    order.allFiles[file.index].status = file.status;
    order.allFiles[file.index].errorMessage = file.errorMessage;
    if (file.status == BatchDeleteFileStatus::Deleted)
        order.successFiles.append(file);
    else
        order.failedFiles.append(file);
    emit fileFinished(order.header(), file);
}

// A lane whose file is settled takes the next queued one; the last lane to
// finish moves the run to the next order. A queued file is always still in
// the queue, so an empty queue leaves nothing for this lane.
void BatchDeleteRun::laneStep()
{
    if (!running)
        return;
    if (stopping) {
        closeDownIfIdle();
        return;
    }
    if (!fileQueue.isEmpty())
        deleteOneFile();
    else if (settledCount >= phases.size())
        finishOrder();
}

// The run is past the order, not cut short: a note an earlier run left in
// its folder goes, and the end box says what this run did.
void BatchDeleteRun::finishOrder()
{
    if (notedOrders.contains(currentOrderIndex)) {
        const BatchDeleteOrderInfo &order = runOrders.at(currentOrderIndex);
        resumedLines << QStringLiteral("订单 %1：本次删除了剩余的 %2 个文件")
                            .arg(order.label())
                            .arg(order.successFiles.size());
        const QString folder = order.netpath;
        HandOver::start(notePool, [folder]() { BatchDeleteUnfinished::remove(folder); });
    }
    advance();
}

void BatchDeleteRun::advance()
{
    ++currentOrderIndex;
    fileQueue.clear();
    phases.clear();
    settledCount = 0;
    processNextOrder();
}

void BatchDeleteRun::hold()
{
    if (running && !stopping)
        held = true;
}

void BatchDeleteRun::release()
{
    held = false;
    // In the order they came due; a step may end the run or ask.
    QPointer<BatchDeleteRun> self(this);
    for (const HeldStep &step : std::exchange(heldSteps, {})) {
        if (!self || held || stopping)
            return;
        step.run();
    }
}

bool BatchDeleteRun::heldBack(std::function<void()> run, std::function<void()> drop)
{
    if (!held)
        return false;
    heldSteps.append({std::move(run), std::move(drop)});
    return true;
}

void BatchDeleteRun::stopForClose()
{
    if (!running || stopping)
        return;
    stopping = true;
    held = false;
    for (const HeldStep &step : std::exchange(heldSteps, {})) {
        if (step.drop)
            step.drop();
    }
    for (const std::function<void(bool)> &answer : std::exchange(openQuestions, {}))
        answer(false);
    fileQueue.clear();
    // A scan only reads: cancelled, it hands back nothing and holds up
    // nothing.
    if (scanner)
        scanner->cancel(0);
    closeDownIfIdle();
}

void BatchDeleteRun::closeDownIfIdle()
{
    if (!running || !stopping || announcing)
        return;
    for (const Phase phase : qAsConst(phases)) {
        if (phase == Phase::Deleting || phase == Phase::Confirming)
            return;
    }
    running = false;
    // An order with files announced and not all settled was cut short: its
    // folder gets the note before the run says it is closed down.
    const bool cut = currentOrderIndex < runOrders.size() && !phases.isEmpty() && settledCount < phases.size();
    const QString folder = cut ? runOrders.at(currentOrderIndex).netpath : QString();
    if (cut)
        qCWarning(lcRun) << "批量删除被中断，订单未完成:" << runOrders.at(currentOrderIndex).label();
    BatchDeleteRun *self = this;
    HandOver::start(notePool, [self, folder]() {
        if (!folder.isEmpty())
            BatchDeleteUnfinished::write(folder);
        HandOver::post(self, [self]() { emit self->closedDown(); });
    });
}

BatchDeleteOrderInfo BatchDeleteRun::currentOrder() const
{
    if (!running || currentOrderIndex >= runOrders.size()) {
        BatchDeleteOrderInfo none;
        none.row = -1;
        return none;
    }
    return runOrders.at(currentOrderIndex);
}

void BatchDeleteRun::stop(const QString &message)
{
    qCWarning(lcRun) << "批量删除中止:" << message;
    running = false;
    fileQueue.clear();
    emit stopped(message);
}

bool BatchDeleteRun::isClean() const
{
    if (!problems.isEmpty())
        return false;
    for (const BatchDeleteOrderInfo &order : runOrders) {
        if (!order.failedFiles.isEmpty() || !order.leftEntries.isEmpty())
            return false;
    }
    return true;
}

namespace {

// "（管道、设备或套接字）" for entries of one cause, "（1 个删除失败，2 个链接）"
// for more, each cause with its count, in the order of the causes.
QString notDeletedCauses(int failed, const QList<BatchDeleteLeftEntry> &left)
{
    QMap<int, int> counts;
    for (const BatchDeleteLeftEntry &entry : left)
        ++counts[entry.cause];
    if (failed == 0 && counts.size() == 1)
        return QStringLiteral("（%1）").arg(BatchDeleteLeftEntry::causeText(counts.firstKey()));
    QStringList parts;
    if (failed > 0)
        parts << QStringLiteral("%1 个删除失败").arg(failed);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        parts << QStringLiteral("%1 个%2").arg(it.value()).arg(BatchDeleteLeftEntry::causeText(it.key()));
    return QStringLiteral("（%1）").arg(parts.join(QStringLiteral("，")));
}

} // namespace

QString BatchDeleteRun::summaryText() const
{
    int deleted = 0;
    int notDeleted = 0;
    int unconfirmed = 0;
    QStringList failedLines;
    QStringList unconfirmedLines;
    for (const BatchDeleteOrderInfo &order : runOrders) {
        deleted += order.successFiles.size();
        int orderFailed = 0;
        int orderUnconfirmed = 0;
        for (const BatchDeleteFileInfo &file : order.failedFiles) {
            if (file.status == BatchDeleteFileStatus::SubmitFailed)
                ++orderUnconfirmed;
            else
                ++orderFailed;
        }
        // Left entries were never listed, so they are not among the failed.
        const int orderLeft = order.leftEntries.size();
        if (orderFailed + orderLeft > 0) {
            QString line = QStringLiteral("订单 %1：%2 个文件未删除").arg(order.label()).arg(orderFailed + orderLeft);
            if (orderLeft > 0)
                line += notDeletedCauses(orderFailed, order.leftEntries);
            failedLines << line;
        }
        if (orderUnconfirmed > 0)
            unconfirmedLines << QStringLiteral("订单 %1：%2 个文件已删除，但删除信息未提交")
                                    .arg(order.label())
                                    .arg(orderUnconfirmed);
        notDeleted += orderFailed + orderLeft;
        unconfirmed += orderUnconfirmed;
    }
    if (problems.isEmpty() && emptyOrders.isEmpty() && notDeleted == 0 && unconfirmed == 0 && resumedLines.isEmpty())
        return QStringLiteral("全部删除完成！");

    // Totals first, then one section per kind of outcome, each order under
    // the one that fits it: the same case reads the same in every run.
    QStringList lines;
    lines << QStringLiteral("删除结束：已删除 %1 个文件").arg(deleted);
    if (unconfirmed > 0)
        lines << QStringLiteral("另有 %1 个文件已删除，但删除信息未提交").arg(unconfirmed);
    if (notDeleted > 0)
        lines << QStringLiteral("共 %1 个文件未删除").arg(notDeleted);
    if (!problems.isEmpty())
        lines << QStringLiteral("共 %1 个订单未删除").arg(problems.size());
    if (!problems.isEmpty()) {
        lines << QString() << QStringLiteral("以下订单未删除：");
        for (const Problem &problem : problems)
            lines << QStringLiteral("订单 %1 未删除：%2").arg(problem.order, problem.reason);
    }
    if (!failedLines.isEmpty())
        lines << QString() << QStringLiteral("以下订单未能全部删除：") << failedLines;
    if (!unconfirmedLines.isEmpty())
        lines << QString() << QStringLiteral("以下订单的删除信息未能全部提交：") << unconfirmedLines;
    if (!emptyOrders.isEmpty()) {
        lines << QString() << QStringLiteral("以下订单目录中没有文件，无需删除：");
        for (const QString &order : emptyOrders)
            lines << QStringLiteral("订单 %1").arg(order);
    }
    if (!resumedLines.isEmpty())
        lines << QString() << QStringLiteral("以下订单上次删除被中断，本次继续删除：") << resumedLines;
    return lines.join(QLatin1Char('\n'));
}
