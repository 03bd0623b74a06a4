#include "transferphotos/tfhome.h"

#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QHBoxLayout>
#include <QHoverEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QSysInfo>
#include <QTimer>
#include <QVBoxLayout>

#include "base/k.h"
#include "base/macwindowmanager.h"
#include "base/modalbox.h"
#include "base/pathutil.h"
#include "public/fullscreenloading.h"
#include "public/simpledialog.h"
#include "public/theme.h"
#include "public/toastwidget.h"
#include "public/windowdrag.h"
#include "transferphotos/tfhomeorders.h"
#include "transferphotos/tfhomeorders_orderlistwidget.h"
#include "transferphotos/tfhomeorders_photodisplaywidget.h"
#include "transferphotos/tfhomephotos.h"
#include "transferphotos/tfhomereports.h"
#include "transferphotos/jobs/tfimportthreadmanager.h"
#include "transferphotos/jobs/tflog.h"
#include "base/orderreplies.h"

namespace {

QString windowsButtonStyle(bool close)
{
    QString style = QStringLiteral("QPushButton {    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @captionTop, stop:1 @captionBottom);"
                                   "    border: 1px solid @captionFrame;    border-radius: 4px;    color: @text;    font-weight: bold;"
                                   "    font-size: ")
        + K::instance()->scaleText(15) + QStringLiteral("px;}");
    if (close) {
        style += QStringLiteral("QPushButton:hover {    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @captionCloseTop, stop:1 @captionCloseBottom);"
                                "    border-color: @captionCloseFrame;    color: white;}");
    } else {
        style += QStringLiteral("QPushButton:hover {    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @captionBottom, stop:1 @captionHoverBottom);"
                                "    border-color: @captionHoverFrame;}");
    }
    return Theme::sheet(style);
}

QString roundButtonStyle(const Theme::Colour &colour)
{
    return Theme::sheet(QStringLiteral("QPushButton {    background: qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.4, fy:0.4, stop:0 @lightShine, stop:0.3 ")
                        + colour.name() + QStringLiteral(", stop:1 ") + colour.name()
                        + QStringLiteral(");    border: none;    border-radius: 10px;    color: black;}"));
}

} // namespace

tfhome::tfhome(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("tfhome"));
    setWindowTitle(QStringLiteral("导片"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    setAttribute(Qt::WA_TranslucentBackground);
    resize(1200, 800);
    setMinimumSize(800, 600);
    installEventFilter(this);
    setAttribute(Qt::WA_MouseTracking);
    setAttribute(Qt::WA_Hover);
    setStyleSheet(Theme::sheet(QStringLiteral("QMainWindow {    background-color: @windowFace;    border-radius: 12px;    color: @textBlack}"
                                              "QLabel {    color: @textBlack}QPushButton {    color: @textBlack}")));

    buildTitleBar();
    buildBody();

    importManager = new tfimportthreadmanager(this);
    importManager->setWorkerCount(2);
    connect(importManager, &tfimportthreadmanager::photoImported, this, &tfhome::onPhotoImported);
    connect(importManager, &tfimportthreadmanager::orderProgressUpdated, this, &tfhome::onOrderProgressUpdated);
    connect(importManager, &tfimportthreadmanager::orderImportCompleted, this, &tfhome::onOrderImportCompleted);
    connect(importManager, &tfimportthreadmanager::allTasksCompleted, this, &tfhome::onAllTasksCompleted);
    connect(importManager, &tfimportthreadmanager::pathErrorOccurred, this, &tfhome::onPathErrorOccurred);
    connect(importManager, &tfimportthreadmanager::orderResumed, this, &tfhome::onOrderResumed);
    stopTimer = new QTimer(this);
    stopTimer->setInterval(100);
    connect(stopTimer, &QTimer::timeout, this, [this]() {
        if (!importManager->hasCopiesInHand())
            close();
    });

    reporter = new tfhomereports(this);
    connect(reporter, &tfhomereports::photoSaved, this, &tfhome::onPhotoSaved);
    connect(reporter, &tfhomereports::orderReportsFailed, this, &tfhome::onOrderReportsFailed);
    connect(reporter, &tfhomereports::orderSettled, this, &tfhome::onOrderSettled);
    connect(reporter, &tfhomereports::orderReportsDone, this, &tfhome::onOrderReportsDone);
    connect(reporter, &tfhomereports::idle, this, [this]() {
        if (!closing)
            searchPanel->holdImportCountRefresh(false);
    });
    connect(searchPanel->orderListWidget(), &tfhomeorders_OrderListWidget::resubmitReports, this,
            &tfhome::resubmitOrderReports);
}

tfhome::~tfhome()
{
    closing = true;
    if (importManager) {
        importManager->stopAll();
        delete importManager;
        importManager = nullptr;
    }
}

void tfhome::buildTitleBar()
{
    titleBar = new QWidget;
    titleBar->setObjectName(QStringLiteral("titleBar"));
    titleBar->setFixedHeight(K::instance()->scale(40));
    titleBar->setStyleSheet(Theme::sheet(QStringLiteral("QWidget {    background-color: @windowFace;    border-top-left-radius: 12px;"
                                                        "    border-top-right-radius: 12px;}")));
    auto *layout = new QHBoxLayout(titleBar);
    layout->setContentsMargins(15, 5, 15, 5);
    layout->setSpacing(8);

    titleLabel = new QLabel(QStringLiteral("照片传输"), titleBar);
    titleLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel {    color: @text;    font-size: ") + K::instance()->scaleText(13)
                                           + QStringLiteral("px;    font-weight: 600;}")));
    closeButton = new QPushButton(QStringLiteral("✕"), titleBar);
    minimizeButton = new QPushButton(QStringLiteral("−"), titleBar);
    maximizeButton = new QPushButton(QStringLiteral("□"), titleBar);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    minimizeButton->setObjectName(QStringLiteral("minimizeButton"));
    maximizeButton->setObjectName(QStringLiteral("maximizeButton"));

    if (QSysInfo::productType() == QLatin1String("windows")) {
        for (QPushButton *button : {minimizeButton, maximizeButton, closeButton}) {
            button->setFixedSize(K::instance()->scale(30), K::instance()->scale(20));
            button->setStyleSheet(windowsButtonStyle(button == closeButton));
        }
        layout->addWidget(titleLabel);
        layout->addStretch();
        layout->addWidget(minimizeButton);
        layout->addWidget(maximizeButton);
        layout->addWidget(closeButton);
    } else {
        closeButton->setStyleSheet(roundButtonStyle(Theme::lightClose));
        minimizeButton->setStyleSheet(roundButtonStyle(Theme::lightMinimize));
        maximizeButton->setStyleSheet(roundButtonStyle(Theme::lightMaximize));
        for (QPushButton *button : {closeButton, minimizeButton, maximizeButton})
            button->setFixedSize(K::instance()->scale(25), K::instance()->scale(25));
        layout->setSpacing(10);
        layout->addWidget(closeButton);
        layout->addWidget(minimizeButton);
        layout->addWidget(maximizeButton);
        layout->addWidget(titleLabel);
        layout->addStretch();
    }
    connect(closeButton, &QPushButton::clicked, this, &tfhome::onCloseButtonClicked);
    connect(minimizeButton, &QPushButton::clicked, this, &tfhome::onMinimizeButtonClicked);
    connect(maximizeButton, &QPushButton::clicked, this, &tfhome::onMaximizeButtonClicked);
    // The resize zones reach into the bar's right end: a press there
    // resizes the window instead of moving it.
    titleDrag = new WindowDrag(titleBar);
    titleDrag->setStartCheck(
        [this](const QPoint &globalPos) { return !maximized && hitTest(mapFromGlobal(globalPos)) == 0; });
}

void tfhome::buildBody()
{
    centralArea = new QWidget(this);
    auto *outer = new QVBoxLayout(centralArea);
    // The 4 px band is the transparent shadow that paintEvent draws.
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(0);
    titleBar->setParent(centralArea);
    outer->addWidget(titleBar);

    auto *body = new QWidget(centralArea);
    body->setStyleSheet(Theme::sheet(QStringLiteral("QWidget {    background-color: @panel;    border-bottom-left-radius: 12px;"
                                                    "    border-bottom-right-radius: 12px;}")));
    bodyLayout = new QHBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(1);
    searchPanel = new tfhomeorders(body);
    searchPanel->setStyleSheet(Theme::sheet(QStringLiteral("tfhomeorders {    background-color: @panel;    border-bottom-left-radius: 12px;}")));
    photoList = new tfhomephotos(body);
    photoList->setStyleSheet(Theme::sheet(QStringLiteral("tfhomephotos {    background-color: @panel;    border-bottom-right-radius: 12px;}")));
    bodyLayout->addWidget(searchPanel, 7);
    bodyLayout->addWidget(photoList, 5);
    outer->addWidget(body, 1);
    setCentralWidget(centralArea);

    connect(searchPanel, &tfhomeorders::changeShop, this,
            [](const QMap<QString, QString> &shop) { qCDebug(lcTransfer) << "更改了" << shop; });
    connect(searchPanel, &tfhomeorders::orderSelChanged, this, [this](int row, const OrderInfo &order) {
        if (photoList)
            photoList->setOrderPhotos(row, order);
    });
    connect(searchPanel, &tfhomeorders::startImportOrder, this, &tfhome::onStartImportOrder);
    connect(searchPanel, &tfhomeorders::startImportAllOrders, this, &tfhome::onStartAllImport);
    connect(searchPanel, &tfhomeorders::stopAllImport, this, &tfhome::onStopAllImport);
}

// ------------------------------------------------------------ engine

void tfhome::onStartAllImport(QList<OrderInfo> orders)
{
    if (!importManager)
        return;
    // The branch is fixed for the whole run of each order.
    for (const OrderInfo &order : qAsConst(orders))
        reporter->beginRun(order, searchPanel->listedContext());
    importManager->addBatchTasks(orders);
    qCDebug(lcTransfer) << QStringLiteral("开始批量导入 %1 个订单").arg(orders.size());
}

void tfhome::onStartImportOrder(OrderInfo order)
{
    if (!importManager)
        return;
    reporter->beginRun(order, searchPanel->listedContext());
    importManager->addOrderTask(order);
    qCDebug(lcTransfer) << QStringLiteral("开始导入订单: %1").arg(order.orderpayforkey);
}

void tfhome::onStopAllImport()
{
    if (!importManager)
        return;
    importManager->stopAll();
    qCDebug(lcTransfer) << "停止所有导片任务";
}

void tfhome::onOrderProgressUpdated(OrderInfo order, int done, int total)
{
    const int percent = total >= 1 ? done * 100 / total : 0;
    searchPanel->updateProgress(order, percent);
    // The reload of the order's photos and the order report wait for the
    // reports of its last files (onOrderSettled): sent now, the service
    // could answer them before it has taken those files.
    if (percent == 100)
        completeRuns.insert(order.order_photo_id);
    qCDebug(lcTransfer) << QStringLiteral("订单 %1 导片进度: %2/%3 (%4%)")
                               .arg(order.orderpayforkey, QString::number(done), QString::number(total),
                                    QString::number(percent));
}

void tfhome::onPhotoImported(OrderInfo order, QString photoName, int index, bool ok, QString error)
{
    // Posted, so the engine's signal returns at once; posted events keep
    // their order, so the end of the order is handled after its last file.
    QMetaObject::invokeMethod(
        this, [this, order, photoName, index, ok, error]() { handlePhotoImported(order, photoName, index, ok, error); },
        Qt::QueuedConnection);
}

void tfhome::handlePhotoImported(const OrderInfo &order, const QString &photoName, int index, bool ok,
                                 const QString &error)
{
    if (closing)
        return;
    const int state = ok ? 0 : 2;
    if (photoList && photoList->shownOrder().order_photo_id == order.order_photo_id
        && photoList->shownOrder().row == order.row)
        photoList->updatePhotoStatus(index, photoName, state);

    // No copy of the row's order is held while it is updated in place: the
    // copy would share its files, and the update would then copy every
    // file of the order once a result (thousands in a large order).
    if (searchPanel->orderAt(order.row).order_photo_id != order.order_photo_id) {
        qCWarning(lcTransfer) << "导片结果的订单已不在原行，已丢弃:" << order.orderpayforkey << order.row;
        return;
    }
    searchPanel->updatePhotoStatus(order, index, photoName, state);
    const OrderInfo updated = searchPanel->orderAt(order.row);

    if (index >= 0 && index < updated.selectedFiles.size()) {
        const PhotoInfo entry = updated.selectedFiles.at(index);
        if (entry.img_name != photoName) {
            qCWarning(lcTransfer) << "导片结果与已选条目不符，不上报:" << photoName << entry.img_name;
        } else {
            // A photo is reported by its "all" entry once all four of its
            // copies are done; one failed copy fails the photo.
            const UploadType type = uploadTypeOf(updated);
            const int first = type == UploadType::Photos ? index - index % 4 : index;
            const PhotoInfo head = updated.selectedFiles.value(first);
            if (!ok)
                reporter->reportPhoto(updated, head, QString(), type, false, error);
            else if (head.img_name == photoName && head.statusOrigin == int(PhotoStatus::Uploaded))
                upImportPhotoInfo(updated.order_photo_id, updated.row, tfhomereports::entryPath(head), head);
            if (index == 0)
                upImportOrderPath(updated.row, updated.order_photo_id, entry.targetDir);
        }
    }

    if (ok) {
        qCDebug(lcTransfer) << QStringLiteral("照片导入完成：成功: %1 - %2-%3 第 %4")
                                   .arg(order.orderpayforkey, photoName,
                                        index >= 0 && index < updated.selectedFiles.size()
                                            ? updated.selectedFiles.at(index).sizeTag
                                            : QString(),
                                        QString::number(index));
    } else {
        qCDebug(lcTransfer) << QStringLiteral("照片导入完成：失败: %1 - %2 第 %3, 错误: %4")
                                   .arg(order.orderpayforkey, photoName, QString::number(index), error);
    }
}

void tfhome::onOrderImportCompleted(OrderInfo order, bool ok, QString error)
{
    // Posted behind the order's last file result (posted by onPhotoImported),
    // so the table has every file's state before the sequencer counts them.
    QMetaObject::invokeMethod(
        this, [this, order, ok, error]() { handleOrderImportCompleted(order, ok, error); }, Qt::QueuedConnection);
}

void tfhome::handleOrderImportCompleted(const OrderInfo &order, bool ok, const QString &error)
{
    if (closing || stopping)
        return;
    if (!runNowOrHold([this, order, ok, error]() { handleOrderImportCompleted(order, ok, error); }))
        return;
    // The summary box may come next: the note of a short run's start does
    // not lie over it (the box says it too).
    if (resumeToast)
        resumeToast->close();
    searchPanel->setOrderStatus(order, ok ? OrderRunState::Done : OrderRunState::Failed);
    reporter->finishOrder(order, completeRuns.remove(order.order_photo_id));
    // The refresh at the end of the batch waits for the last reports.
    searchPanel->holdImportCountRefresh(reporter->isBusy());
    searchPanel->startNext(order.row);
    if (ok)
        qCDebug(lcTransfer) << QStringLiteral("订单 %1 导片完成").arg(order.orderpayforkey);
    else
        qCDebug(lcTransfer) << QStringLiteral("订单 %1 导片失败: %2").arg(order.orderpayforkey, error);
}

void tfhome::onAllTasksCompleted()
{
    qCDebug(lcTransfer) << "所有导片任务完成";
}

void tfhome::onPathErrorOccurred(QString message, QString path)
{
    if (stopping || !runNowOrHold([this, message, path]() { onPathErrorOccurred(message, path); }))
        return;
    ModalBox::showMessage(this, QMessageBox::Warning, QStringLiteral("导片路径错误"), message + QStringLiteral("  ") + PathUtil::toDisplay(path));
    searchPanel->setImporting(false);
}

void tfhome::onOrderResumed(const OrderInfo &order, const TfUnfinished::Resume &resume)
{
    if (closing || stopping || searchPanel->orderAt(order.row).order_photo_id != order.order_photo_id)
        return;
    const bool photos = uploadTypeOf(order) == UploadType::Photos;
    const QString unit = photos ? QStringLiteral("张") : QStringLiteral("个");
    const QString what = photos ? QStringLiteral("照片") : QStringLiteral("视频");
    const QString label = order.orderpayforkey + QLatin1Char('-') + order.servicetimes;
    QString redone;
    QString text;
    if (resume.redo > 0) {
        redone = QStringLiteral("重新导入 %1 %2未完成的%3").arg(resume.redo).arg(unit, what);
        text = QStringLiteral("订单 %1 上次导片没有完成，%2").arg(label, redone);
        if (resume.whole > 0)
            text += QStringLiteral("（已导入的 %1 %2保留）").arg(resume.whole).arg(unit);
    } else {
        redone = QStringLiteral("上次未完成的%1都已导入").arg(what);
        text = QStringLiteral("订单 %1 上次导片没有完成，%2 %3%4都已导入，不再重新拷贝").arg(label).arg(resume.whole).arg(unit, what);
    }
    qCDebug(lcTransfer).noquote() << text;
    searchPanel->orderListWidget()->setResumeNote(order, redone);
    ToastWidget::showToast(this, text, 4000);
    const QList<ToastWidget *> toasts = findChildren<ToastWidget *>(QString(), Qt::FindDirectChildrenOnly);
    resumeToast = toasts.isEmpty() ? nullptr : toasts.last();
}

// ------------------------------------------------------------ reports

void tfhome::syncReportContext()
{
    // Orders reported outside a run speak for the branch they were listed
    // under; a run keeps the branch it started with.
    reporter->setContext(searchPanel->listedContext());
}

OrderInfo tfhome::storedOrder(int row, const QString &orderPhotoId) const
{
    const OrderInfo stored = searchPanel->orderAt(row);
    if (stored.row < 0 || stored.order_photo_id != orderPhotoId) {
        qCWarning(lcTransfer) << "订单已不在原行:" << orderPhotoId << row;
        return OrderInfo();
    }
    return stored;
}

void tfhome::upImportPhotoInfo(const QString &orderPhotoId, int row, const QString &path, const PhotoInfo &entry)
{
    const OrderInfo stored = storedOrder(row, orderPhotoId);
    if (stored.row < 0)
        return;
    syncReportContext();
    reporter->reportPhoto(stored, entry, path, uploadTypeOf(stored), true, QString());
}

void tfhome::upImportOrderPath(int row, QString orderPhotoId, QString folder)
{
    const OrderInfo stored = storedOrder(row, orderPhotoId);
    if (stored.row < 0)
        return;
    syncReportContext();
    reporter->reportOrderPath(stored, folder);
}

void tfhome::upImportOrderData(OrderInfo order)
{
    syncReportContext();
    const UploadType type = uploadTypeOf(order);
    // The order's count holds the photos the service took, not every photo
    // that was copied: a photo whose report failed is not in its records.
    const OrderInfo stored = searchPanel->orderAt(order.row);
    QStringList names;
    for (const QString &name : OrderPicks::uploadedNames(stored, type)) {
        if (reporter->isSaved(order.order_photo_id, name))
            names << name;
    }
    reporter->reportOrderData(order, names.size(), names.join(QStringLiteral("|:|")), type);
}

void tfhome::onOrderSettled(const QString &orderPhotoId, int row)
{
    if (closing)
        return;
    const OrderInfo stored = storedOrder(row, orderPhotoId);
    if (stored.row < 0)
        return;
    searchPanel->getOrderImportPhotos(stored);
    upImportOrderData(stored);
}

void tfhome::onOrderReportsDone(const QString &orderPhotoId, int row, const QStringList &problems)
{
    if (closing)
        return;
    const OrderInfo stored = storedOrder(row, orderPhotoId);
    if (stored.row < 0)
        return;
    searchPanel->orderListWidget()->setReportProblems(stored, problems);
}

void tfhome::resubmitOrderReports(int row)
{
    const OrderInfo stored = searchPanel->orderAt(row);
    if (stored.row < 0)
        return;
    const UploadType type = uploadTypeOf(stored);
    // Every photo whose copies are all done: the reporter skips those the
    // service already took.
    QList<PhotoInfo> done;
    for (const PhotoInfo &entry : stored.selectedFiles) {
        if (tfhomereports::isReported(entry, type) && entry.statusOrigin == int(PhotoStatus::Uploaded))
            done << entry;
    }
    qCDebug(lcTransfer) << "重新上报订单:" << stored.orderpayforkey;
    searchPanel->orderListWidget()->setReportsResubmitting(stored);
    syncReportContext();
    reporter->resubmit(stored, done, type);
}

void tfhome::uploadOrderByRow(int row)
{
    const OrderInfo order = searchPanel->orderAt(row);
    if (order.row < 0)
        return;
    upImportOrderData(order);
}

void tfhome::onPhotoSaved(const QString &orderPhotoId, int row, const PhotoInfo &saved, int uploadType)
{
    OrderInfo stored = searchPanel->orderAt(row);
    if (stored.order_photo_id != orderPhotoId) {
        qCWarning(lcTransfer) << "上报回复的订单已不在原行，已丢弃:" << orderPhotoId << row;
        return;
    }
    // While the order still imports, the reload at 100 % brings its lists.
    if (stored.runState != OrderRunState::Done)
        return;
    const auto type = static_cast<UploadType>(uploadType);
    QList<PhotoInfo> &list = type == UploadType::TrialVideo       ? stored.trialVideos
                             : type == UploadType::RetouchedVideo ? stored.retouchedVideos
                                                                  : stored.photos;
    for (const PhotoInfo &known : qAsConst(list)) {
        if (known.img_name == saved.img_name)
            return;
    }
    list.append(saved);
    // The grid follows the stored order when it shows that order's list.
    searchPanel->updateOrder(stored);
}

void tfhome::onOrderReportsFailed(const QString &orderPhotoId, const QString &label, const QStringList &failures)
{
    if (closing || stopping)
        return;
    if (!runNowOrHold([this, orderPhotoId, label, failures]() { onOrderReportsFailed(orderPhotoId, label, failures); }))
        return;
    const QString text = QStringLiteral("订单 %1 有 %2 个文件未能上报：\n").arg(label, QString::number(failures.size()))
        + failures.join(QLatin1Char('\n'));
    SimpleDialog::showInfo(this, QStringLiteral("温馨提示"), text);
}

// ------------------------------------------------------------ window

void tfhome::onMinimizeButtonClicked()
{
    if (!MacWindowManager::minimizeWindow(this)) {
        qCDebug(lcTransfer) << "最小化失败，尝试Qt默认方法";
        setWindowState(Qt::WindowMinimized);
    }
}

void tfhome::toggleMaximized()
{
    if (maximized) {
        showNormal();
        maximized = false;
        maximizeButton->setText(QStringLiteral("□"));
    } else {
        showMaximized();
        maximized = true;
        maximizeButton->setText(QStringLiteral("◱"));
    }
}

void tfhome::onMaximizeButtonClicked()
{
    toggleMaximized();
}

void tfhome::onCloseButtonClicked()
{
    close();
}

bool tfhome::isRunning()
{
    return searchPanel->orderListWidget()->isImporting() || (importManager && importManager->pendingCount() > 0);
}

bool tfhome::runNowOrHold(const std::function<void()> &call)
{
    if (!asking)
        return true;
    heldBack << call;
    return false;
}

bool tfhome::confirmStop()
{
    QStringList running;
    tfhomeorders_OrderListWidget *table = searchPanel->orderListWidget();
    for (int row = 0; row < table->orderCount(); ++row) {
        const OrderInfo order = table->orderAt(row);
        if (order.runState == OrderRunState::Importing)
            running << order.orderpayforkey + QLatin1Char('-') + order.servicetimes;
    }
    const QString which = running.isEmpty() ? QString() : QStringLiteral("订单%1的").arg(running.join(QStringLiteral("、")));
    // Nothing new starts while the user reads: the copies in hand end, the
    // next photo waits for the answer.
    importManager->pauseAll();
    asking = true;
    QPointer<QMessageBox> box = new QMessageBox(
        QMessageBox::Question, QStringLiteral("温馨提示"),
        QStringLiteral("%1导片还在进行。现在关闭，这个订单不会完成：已导入的照片保留，"
                       "再次导片时只补齐未完成的照片。\n确定要关闭吗？")
            .arg(which),
        QMessageBox::Yes | QMessageBox::No, this);
    box->setDefaultButton(QMessageBox::No);
    const int answer = ModalBox::exec(box);
    delete box.data();
    asking = false;
    const QList<std::function<void()>> held = heldBack;
    heldBack.clear();
    if (answer == QMessageBox::Yes)
        return true;
    importManager->resumeAll();
    for (const std::function<void()> &call : held)
        call();
    return false;
}

void tfhome::stopRun()
{
    stopping = true;
    qCWarning(lcTransfer) << "导片被中断，订单未完成";
    // The order in the engine turns back to waiting; its end, if it comes,
    // is not taken, so the service is not told it is done.
    searchPanel->orderListWidget()->setImporting(false);
    importManager->stopAll();
}

void tfhome::closeWhenCopiesWritten()
{
    if (stopTimer->isActive())
        return;
    FullScreenLoading::showLoading(this, QStringLiteral("正在停止…"), true);
    stopTimer->start();
}

void tfhome::closeEvent(QCloseEvent *event)
{
    if (!stopping && isRunning()) {
        if (!confirmStop()) {
            event->ignore();
            return;
        }
        stopRun();
    }
    // A copy being written ends by itself, in its own time: the window
    // waits for it without holding its thread, then goes.
    if (importManager && importManager->hasCopiesInHand()) {
        event->ignore();
        closeWhenCopiesWritten();
        return;
    }
    stopTimer->stop();
    if (FullScreenLoading *overlay = FullScreenLoading::instance(this))
        overlay->closeOverlay();
    // A window that is only hidden can run again.
    stopping = false;
    closing = testAttribute(Qt::WA_DeleteOnClose);
    QMainWindow::closeEvent(event);
}

int tfhome::hitTest(const QPoint &pos) const
{
    const int w = width();
    const int h = height();
    const int x = pos.x();
    const int y = pos.y();
    if (x >= w - 12 && x <= w - 5 && y >= h - 12 && y <= h - 5)
        return 8;
    if (x >= w - 13 && x <= w - 5 && y >= 4 && y <= 11)
        return 7;
    if (x >= w - 13 && x <= w - 5 && y >= 12 && y <= h - 13)
        return 6;
    if ((y >= h - 12 && y <= h - 5 && x >= 12 && x <= w - 13) || (y == h - 13 && x >= 12 && x <= w - 14))
        return 5;
    return 0;
}

int tfhome::edgeAt(const QPoint &pos) const
{
    return maximized ? 0 : hitTest(pos);
}

QRect tfhome::innerRect() const
{
    return QRect(QPoint(4, 4), QPoint(width() - 5, height() - 5));
}

namespace {

Qt::CursorShape cursorFor(int code)
{
    switch (code) {
    case 5:
        return Qt::SizeVerCursor;
    case 6:
        return Qt::SizeHorCursor;
    case 7:
        return Qt::SizeBDiagCursor;
    case 8:
        return Qt::SizeFDiagCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace

void tfhome::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && !maximized) {
        const int code = hitTest(event->pos());
        if (code != 0) {
            resizing = true;
            resizeStartPos = event->globalPos();
            startGeometry = geometry();
            resizeEdge = code;
            event->accept();
            return;
        }
    }
    QMainWindow::mousePressEvent(event);
}

void tfhome::mouseMoveEvent(QMouseEvent *event)
{
    if (!maximized) {
        if (!(event->buttons() & Qt::LeftButton)) {
            const Qt::CursorShape shape = cursorFor(hitTest(event->pos()));
            if (cursor().shape() != shape)
                setCursor(shape);
        } else if (resizing) {
            const QPoint d = event->globalPos() - resizeStartPos;
            QRect r = startGeometry;
            switch (resizeEdge) {
            case 5:
                r.setBottom(r.bottom() + d.y());
                break;
            case 6:
                r.setRight(r.right() + d.x());
                break;
            case 7:
                r.setTop(r.top() + d.y());
                r.setRight(r.right() + d.x());
                break;
            case 8:
                r.setRight(r.right() + d.x());
                r.setBottom(r.bottom() + d.y());
                break;
            default:
                break;
            }
            if (r.width() >= minimumWidth() && r.height() >= minimumHeight())
                setGeometry(r);
            event->accept();
        }
    }
    QMainWindow::mouseMoveEvent(event);
}

void tfhome::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        resizing = false;
        setCursor(Qt::ArrowCursor);
    }
    QMainWindow::mouseReleaseEvent(event);
}

void tfhome::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && titleBar
        && titleBar->geometry().translated(centralArea->pos()).contains(event->pos())) {
        toggleMaximized();
        event->accept();
        return;
    }
    QMainWindow::mouseDoubleClickEvent(event);
}

bool tfhome::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this && event->type() == QEvent::HoverMove && !maximized && !titleDrag->isDragging() && !resizing) {
        const auto *hover = static_cast<QHoverEvent *>(event);
        const Qt::CursorShape shape = cursorFor(hitTest(hover->pos()));
        if (cursor().shape() != shape)
            setCursor(shape);
    }
    return QMainWindow::eventFilter(watched, event);
}

void tfhome::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const int w = width();
    const int h = height();
    painter.setBrush(QColor(0, 0, 0, 4));
    painter.drawRoundedRect(QRect(0, 3, w, h), 14, 14);
    painter.setBrush(QColor(0, 0, 0, 8));
    painter.drawRoundedRect(QRect(2, 2, w - 4, h), 12, 12);
    painter.setPen(QPen(Theme::windowOutline.color(), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(Theme::windowFace.color());
    painter.drawRoundedRect(QRect(4, 4, w - 8, h - 8), 12, 12);
    painter.end();
    QMainWindow::paintEvent(event);
}
