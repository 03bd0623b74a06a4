// The import window's run: the picked files of one order are copied four at
// a time, the order is reported to the service, and the next order with
// files to copy follows until none is left or the service lists names to
// import again. Retries of single files can run at any time.

#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>

#include "base/globals.h"
#include "base/handover.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "base/orderservice.h"
#include "base/pathutil.h"
#include "importfiles/importfiles.h"
#include "importfiles/importfiletablemodel.h"
#include "importfiles/jobs/importlog.h"
#include "importfiles/originalview.h"
#include "public/simpledialog.h"
#include "public/theme.h"
#include "public/toastwidget.h"

namespace {

QString startButtonStyle(bool running)
{
    const QString px = QString::number(K::instance()->scale(12));
    if (running) {
        return Theme::sheet(QStringLiteral("QPushButton {    background: @importRed;    color: white;    border: 1px solid @importRedDeep;"
                                           "    border-radius: 6px;    font-size: ")
            + px
            + QStringLiteral("px;    font-weight: 600;    padding: 0 20px;}QPushButton:hover {    background: @importRedHover;}"
                             "QPushButton:pressed {    background: @importRedDeep;}"));
    }
    return Theme::sheet(QStringLiteral("QPushButton {    background: @importGreen;    color: white;    border: 1px solid @importGreenDeep;"
                                       "    border-radius: 6px;    font-size: ")
        + px
        + QStringLiteral("px;    font-weight: 600;    padding: 0 20px;}QPushButton:hover {    background: @importGreenHover;}"
                         "QPushButton:pressed {    background: @importGreenDeep;}"));
}

} // namespace

void ImportFiles::setRunning(bool running)
{
    startAllButton->setText(running ? QStringLiteral("停止导入") : QStringLiteral("开始全部导入"));
    startAllButton->setStyleSheet(startButtonStyle(running));
}

bool ImportFiles::isCurrentPick(const ImportFile &file) const
{
    if (file.orderRow < 0 || file.orderRow >= orders.size())
        return false;
    const ImportOrder &order = orders.at(file.orderRow);
    return order.order_photo_id == file.orderPhotoId && order.pickGeneration == file.pickGeneration
        && file.fileIndex >= 0 && file.fileIndex < order.files.size()
        && order.files.at(file.fileIndex).sourcePath == file.sourcePath;
}

void ImportFiles::onStartAllClicked()
{
    if (importing) {
        stopRun();
        return;
    }
    stopAllImports();
    if (orders.isEmpty()) {
        warn(QStringLiteral("提示"), QStringLiteral("没有订单可导入"));
        return;
    }
    bool anyPending = false;
    for (const ImportOrder &order : qAsConst(orders))
        anyPending = anyPending || ImportRecords::pendingCount(order) > 0;
    if (!anyPending) {
        warn(QStringLiteral("提示"), QStringLiteral("请先为订单选择要导入的文件"));
        return;
    }
    importing = true;
    ++m_runId;
    setRunning(true);
    importRow = -1;
    m_redone.clear();
    startNextOrder();
}

void ImportFiles::stopRun()
{
    importing = false;
    ++m_runId;
    stopAllImports();
    setRunning(false);
}

void ImportFiles::stopAllImports()
{
    qCDebug(lcImport) << QStringLiteral("停止所有导入任务，当前任务数: %1").arg(m_inFlight.size());
    threadPool->clear();
    m_cancel->store(true);
    // Jobs the pool has not started yet never will: they report nothing.
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        if (ImportFileCopyRunnable::drop(it.value().claim))
            it = m_inFlight.erase(it);
        else
            ++it;
    }
    m_deferred.clear();
    m_cancel = std::make_shared<std::atomic_bool>(false);
    if (!threadPool->waitForDone(5000))
        qCDebug(lcImport) << "部分任务未能在超时时间内完成";
    qCDebug(lcImport) << "所有导入任务已停止";
}

void ImportFiles::startNextOrder()
{
    for (int row = importRow + 1; row < orders.size(); ++row) {
        if (ImportRecords::pendingCount(orders.at(row)) > 0) {
            startOrder(row);
            return;
        }
    }
    finishSequence();
}

void ImportFiles::finishSequence()
{
    if (importing)
        stopRun();
    ModalBox::showMessage(this, QMessageBox::Information, QStringLiteral("温馨提示"), endText());
}

void ImportFiles::startOrder(int row)
{
    importRow = row;
    ImportOrder &order = orders[row];
    order.failedNames.clear();
    order.failedFiles.clear();
    for (ImportFile &file : order.files) {
        if (file.status == Succeeded)
            continue;
        // Copied again: an earlier failure waits like a new file.
        file.status = Waiting;
        file.message.clear();
        if (currentRow == row)
            fileModel->updateFileStatus(file.fileIndex, Waiting, QString());
    }
    setPhotoStatus(row, QStringLiteral("导入中"));
    // The order's note is read or written on the share first, off the GUI
    // thread; the copies start once it is known.
    const QString folder = PathUtil::toFs(order.importPath);
    const QString id = order.order_photo_id;
    const int runId = m_runId;
    ImportFiles *self = this;
    HandOver::start(listingPool, [self, folder, row, id, runId]() {
        const ImportUnfinished::Begin begin = ImportUnfinished::begin(folder);
        HandOver::post(self, [self, row, id, runId, begin]() { self->onOrderBegun(row, id, runId, begin); });
    });
}

void ImportFiles::onOrderBegun(int row, const QString &orderPhotoId, int runId, const ImportUnfinished::Begin &begin)
{
    if (closing || !importing || runId != m_runId || row != importRow || !isOrderAt(row, orderPhotoId))
        return;
    if (heldBack([this, row, orderPhotoId, runId, begin]() { onOrderBegun(row, orderPhotoId, runId, begin); }))
        return;
    ImportOrder &order = orders[row];
    const QString folder = PathUtil::toFs(order.importPath);
    // A note this window wrote stands for its own stop: its records know
    // what is left. Another's is a run cut short.
    order.resumed = begin.found && !m_ownNotes.contains(folder);
    if (!begin.found && begin.error.isEmpty())
        m_ownNotes.insert(folder);
    for (ImportFile file : qAsConst(order.files)) {
        if (file.status != Waiting)
            continue;
        file.retry = false;
        file.keptSince = order.resumed ? begin.since : QDateTime();
        startJob(file);
    }
}

void ImportFiles::startJob(ImportFile file)
{
    const QString key = ImportRecords::targetKey(file);
    if (m_inFlight.contains(key)) {
        // An earlier job still writes this target: this one follows it.
        m_deferred.insert(key, file);
        return;
    }
    auto claim = std::make_shared<std::atomic_int>(ImportFileCopyRunnable::Queued);
    auto *job = new ImportFileCopyRunnable(file, m_cancel, claim);
    connect(job, &ImportFileCopyRunnable::copyFinished, this, &ImportFiles::onFileCopyFinished);
    connect(job, &ImportFileCopyRunnable::copyCancelled, this, &ImportFiles::onFileCopyCancelled);
    m_inFlight.insert(key, {claim, file});
    HandOver::start(threadPool, job);
}

void ImportFiles::startDeferred(const QString &key)
{
    // While the close question is open it waits with the others.
    if (m_held || m_inFlight.contains(key) || !m_deferred.contains(key))
        return;
    const ImportFile next = m_deferred.take(key);
    if (!isCurrentPick(next) || orders.at(next.orderRow).files.at(next.fileIndex).status != Waiting)
        return;
    if (next.retry || (importing && next.orderRow == importRow))
        startJob(next);
}

void ImportFiles::onFileCopyCancelled(ImportFile file)
{
    // The file keeps its earlier state; only its target is free again.
    const QString key = ImportRecords::targetKey(file);
    m_inFlight.remove(key);
    startDeferred(key);
}

void ImportFiles::onFileCopyFinished(ImportFile file)
{
    const QString key = ImportRecords::targetKey(file);
    m_inFlight.remove(key);
    recordResult(file);
    startDeferred(key);
    qCDebug(lcImport) << QStringLiteral("文件拷贝完成: %1, 状态: %2, 信息: %3")
                             .arg(file.baseName, file.status == Succeeded ? QStringLiteral("成功") : QStringLiteral("失败"),
                                  file.message);
}

void ImportFiles::recordResult(const ImportFile &file)
{
    if (closing)
        return;
    if (!isCurrentPick(file)) {
        qCDebug(lcImport) << "拷贝结果属于已更换的选择，已丢弃:" << file.orderPhotoId << file.fileName();
        return;
    }
    const int row = file.orderRow;
    ImportOrder &order = orders[row];
    ImportFile &entry = order.files[file.fileIndex];
    entry.status = file.status;
    entry.message = file.message;
    entry.kept = file.kept;
    const QString name = file.fileName();
    if (file.status == Succeeded) {
        const int failedAt = order.failedNames.indexOf(name);
        if (failedAt >= 0) {
            order.failedNames.removeAt(failedAt);
            if (failedAt < order.failedFiles.size())
                order.failedFiles.removeAt(failedAt);
        }
        bool known = false;
        for (ImportFile &imported : order.importedFiles) {
            if (imported.fileIndex == file.fileIndex) {
                imported = entry;
                known = true;
            }
        }
        if (!known)
            order.importedFiles.append(entry);
        if (file.fileIndex == 0) {
            upImportOrderPath(order);
            setImportPath(row, order.importPath);
        }
    } else if (file.status == Failed && !order.failedNames.contains(name)) {
        order.failedFiles.append(entry);
        order.failedNames.append(name);
    }
    if (currentRow == row)
        fileModel->updateFileStatus(file.fileIndex, file.status, file.message);

    const int done = ImportRecords::finishedCount(order);
    const int total = order.files.size();
    if (done < total) {
        setPhotoStatus(row, QStringLiteral("导入中 %1/%2").arg(done).arg(total));
        return;
    }
    if (order.failedFiles.isEmpty())
        setPhotoStatus(row, QStringLiteral("导入完成"));
    else
        setPhotoStatus(row, QStringLiteral("成功:%1, 失败:%2").arg(order.importedFiles.size()).arg(order.failedFiles.size()));
    orderCompleted(row, file.retry);
}

void ImportFiles::orderCompleted(int row, bool byRetry)
{
    if (heldBack([this, row, byRetry]() { orderCompleted(row, byRetry); }))
        return;
    if (importing && row == importRow) {
        importNextOrder();
        return;
    }
    // A retry reports its own order; a late result of a stopped run only
    // records.
    if (byRetry)
        reportOrder(row, true);
}

void ImportFiles::importNextOrder()
{
    if (importRow < 0 || importRow >= orders.size())
        return;
    const ImportOrder &order = orders.at(importRow);
    qCDebug(lcImport) << "获取导的文件数量是：" << order.files.size() << " -- " << importRow;
    if (order.files.isEmpty()) {
        qCDebug(lcImport) << "检测下一个订单文件的数量";
        if (importRow + 1 < orders.size()) {
            ++importRow;
            importNextOrder();
        } else {
            finishSequence();
        }
        return;
    }
    reportOrder(importRow, false);
}

void ImportFiles::reportOrder(int row, bool byRetry)
{
    ImportOrder &order = orders[row];
    if (order.reportInFlight) {
        // One report per order at a time; the folder is listed again once
        // the answer to this one is in.
        order.reportAgain = true;
        return;
    }
    order.reportInFlight = true;
    const int seq = ++m_reportSeq;
    order.reportSeq = seq;
    const QString id = order.order_photo_id;
    const QString path = order.importPath;
    const int type = importType;
    const int runId = m_runId;
    ImportFiles *self = this;
    // Listing a share of thousands of files takes a while: off the GUI
    // thread. The window waits for this pool before it goes.
    HandOver::start(listingPool, [self, row, id, seq, byRetry, runId, path, type]() {
        const ImportReport::FolderListing listing = ImportReport::listOrderFolder(path, type);
        HandOver::post(self, [self, row, id, seq, byRetry, runId, listing]() {
            self->onFolderListed(row, id, seq, byRetry, runId, listing);
        });
    });
}

void ImportFiles::onFolderListed(int row, const QString &orderPhotoId, int seq, bool byRetry, int runId,
                                 const ImportReport::FolderListing &listing)
{
    if (closing || !isOrderAt(row, orderPhotoId) || orders.at(row).reportSeq != seq)
        return;
    const QByteArray body = ImportReport::batchBody(orders.at(row), listing, importType, listedBranch);
    OrderService::send(this, OrderService::Action::SaveBatch, body,
                       [this, row, orderPhotoId, seq, byRetry, runId, listing](bool ok, const QJsonDocument &reply) {
                           onBatchReply(row, orderPhotoId, seq, byRetry, runId, listing, ok, reply);
                       });
}

bool ImportFiles::askResubmit(const QString &text)
{
    // On the heap: the window may be closed, and take the box with it, while
    // the box is open.
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("温馨提示"), text, QMessageBox::Ok | QMessageBox::Cancel, this);
    box->setDefaultButton(QMessageBox::Ok);
    const bool resubmit = ModalBox::exec(box) == QMessageBox::Ok;
    delete box.data();
    return resubmit;
}

void ImportFiles::onBatchReply(int row, const QString &orderPhotoId, int seq, bool byRetry, int runId,
                               const ImportReport::FolderListing &listing, bool ok, const QJsonDocument &reply)
{
    if (closing)
        return;
    if (heldBack([this, row, orderPhotoId, seq, byRetry, runId, listing, ok, reply]() {
            onBatchReply(row, orderPhotoId, seq, byRetry, runId, listing, ok, reply);
        }))
        return;
    if (!isOrderAt(row, orderPhotoId) || orders.at(row).reportSeq != seq) {
        qCDebug(lcImport) << "订单上报的回复已过期，已丢弃:" << orderPhotoId << seq;
        return;
    }
    ImportOrder &order = orders[row];
    order.reportInFlight = false;
    if (order.reportAgain) {
        order.reportAgain = false;
        reportOrder(row, byRetry);
        return;
    }
    const bool runOrder = importing && runId == m_runId && row == importRow;
    // After a stop the answer is only recorded; no question, no next order.
    const bool interactive = runOrder || byRetry;
    const QJsonObject object = reply.object();
    const OrderService::Answer answer = OrderService::check(object, OrderService::TextField::Msg);
    if (!ok || !answer.ok) {
        if (!interactive) {
            qCDebug(lcImport) << "导入已停止，订单上报失败未处理:" << orderPhotoId;
            return;
        }
        const QString text = !ok ? QStringLiteral("网络不好，是否重新提交？如果取消，会停止导入。")
                                 : answer.message + QStringLiteral(" 是否重新提交?");
        QPointer<ImportFiles> guard(this);
        const bool again = askResubmit(text);
        if (!guard || closing || !isOrderAt(row, orderPhotoId))
            return;
        if (again)
            reportOrder(row, byRetry);
        else if (runOrder && importing && runId == m_runId)
            stopRun();
        return;
    }

    if (importType == Retouched) {
        order.number_jingxiu = QString::number(listing.jpegCount);
        setCellText(row, QStringLiteral("已导精修"), order.number_jingxiu);
    } else {
        order.number_yuanpian = QString::number(listing.jpegCount);
        order.number_yuanshidang = QString::number(listing.rawCount);
        setCellText(row, QStringLiteral("已导原片"), order.number_yuanpian);
        setCellText(row, QStringLiteral("已导原始档"), order.number_yuanshidang);
    }
    // The service now holds the order's new lists: the originals shown for
    // it follow without a press of 刷新.
    if (originalView && row == currentRow && originalView->isIdle())
        originalView->reqPhotoData();
    noteOrderReported(&order);
    const ImportReport::Reimport names = ImportReport::reimportNames(object, importType);
    if (!names.isEmpty()) {
        if (runOrder)
            stopRun();
        if (interactive)
            showReimport(row, names, runOrder);
        return;
    }
    if (runOrder)
        startNextOrder();
}

void ImportFiles::upImportOrderPath(const ImportOrder &order)
{
    OrderService::send(this, OrderService::Action::SaveOrderFolder,
                       ImportReport::orderPathBody(order, g_enterpriseId, listedBranch),
                       [](bool, const QJsonDocument &) {});
}

void ImportFiles::upImportPhotoInfo(const ImportOrder &order, const ImportFile &file)
{
    QString type = QStringLiteral("2");
    if (importType == Retouched)
        type = QStringLiteral("5");
    else if (ImportRecords::subFolderFor(Originals, file.suffix) == QStringLiteral("原片"))
        type = QStringLiteral("1");
    OrderService::SavedFile saved;
    saved.orderPhotoId = order.order_photo_id;
    saved.personId = g_enterpriseId;
    saved.size = file.size;
    saved.path = K::instance()->fixSharePath(order.resolvedImportPath, file.targetPath());
    saved.type = type;
    OrderService::send(this, OrderService::Action::SavePhoto, OrderService::savedFileBody(saved, listedBranch),
                       [](bool, const QJsonDocument &) {});
}

void ImportFiles::onRetryImportClicked(int row)
{
    if (currentRow < 0 || currentRow >= orders.size())
        return;
    ImportFile file = fileModel->fileAt(row);
    if (file.baseName.isEmpty() || file.orderRow != currentRow || !isCurrentPick(file))
        return;
    const QString key = ImportRecords::targetKey(file);
    if (m_inFlight.contains(key) || m_deferred.contains(key)) {
        ToastWidget::showToast(this, QStringLiteral("该文件正在导入中，请稍候"), 2000);
        return;
    }
    ImportOrder &order = orders[currentRow];
    if (order.files.at(file.fileIndex).status != Failed)
        return;
    const int failedAt = order.failedNames.indexOf(file.fileName());
    if (failedAt >= 0) {
        if (failedAt < order.failedFiles.size())
            order.failedFiles.removeAt(failedAt);
        order.failedNames.removeAt(failedAt);
    }
    order.files[file.fileIndex].status = Waiting;
    order.files[file.fileIndex].message.clear();
    fileModel->updateFileStatus(row, Waiting, QString());
    qCDebug(lcImport) << "重新导入文件:" << file.baseName;
    file.status = Waiting;
    file.message.clear();
    file.retry = true;
    startJob(file);
}
