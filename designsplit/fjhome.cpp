#include "designsplit/fjhome.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QSplitter>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include "base/basereq.h"
#include "base/formfield.h"
#include "base/globals.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "designsplit/fjleftpanel.h"
#include "designsplit/fjrightpanel.h"
#include "designsplit/jobs/fjdatathread.h"
#include "designsplit/jobs/fjdownloadsave.h"
#include "designsplit/jobs/fjlog.h"
#include "designsplit/jobs/fjorderplanner.h"
#include "public/fullscreenloading.h"
#include "public/toastwidget.h"

namespace {

const QString kDetail = QStringLiteral("&m=order&a=orderphotodetail");
const QString kDownloadSuccess = QStringLiteral("&m=order&a=download_success");
const QString kSheetMode = QStringLiteral("生成Html");
const QString kCopyMode = QStringLiteral("拷贝照片");
const QString kProductMode = QStringLiteral("创建产品");
const QString kRawMode = QStringLiteral("下载原始档");

// Above this many lines the final box keeps the list in its details.
const int kShortListLines = 12;

} // namespace

FJHome::FJHome(QWidget *parent)
    : QWidget(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("FJHome"));
    resize(600, 400);
    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    setWindowTitle(QStringLiteral("分件工具"));

    threadPool = new QThreadPool(this);
    threadPool->setMaxThreadCount(2);
    m_downloader = new BaseReq(this);
    m_reporter = new BaseReq(this);

    setStyleSheet(QStringLiteral("QWidget {    background-color: #f2f2f7;    font-family: -apple-system, "
                                 "BlinkMacSystemFont, 'Segoe UI', Roboto, sans-serif;}QLabel {    color: #000000;}"));
    bodyLayout = new QHBoxLayout;
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(0);
    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setStyleSheet(QStringLiteral("QSplitter::handle {    background-color: #e5e5ea;    width: ")
                            + K::instance()->scaleText(1)
                            + QStringLiteral("px;}QSplitter::handle:hover {    background-color: #d1d1d6;}"));
    leftPanel = new FJLeftPanel(this);
    leftPanel->setStyleSheet(leftPanel->styleSheet()
                             + QStringLiteral("FJLeftPanel {    background-color: #ffffff;    border-right: 1px solid "
                                              "#e5e5ea;}"));
    rightPanel = new FJRightPanel(this);
    rightPanel->setStyleSheet(rightPanel->styleSheet()
                              + QStringLiteral("FJRightPanel {    background-color: #ffffff;}"));
    splitter->addWidget(leftPanel);
    splitter->addWidget(rightPanel);
    splitter->setSizes({K::instance()->scale(800), K::instance()->scale(300)});
    splitter->setStretchFactor(0, 7);
    splitter->setStretchFactor(1, 5);
    connectPanels();
    bodyLayout->addWidget(splitter);
    verticalLayout->addLayout(bodyLayout);

    m_stopTimer = new QTimer(this);
    m_stopTimer->setInterval(50);
    connect(m_stopTimer, &QTimer::timeout, this, &FJHome::waitForJobsThenClose);

    if (g_shopList.isEmpty()) {
        // Said once, when the window has come up, without holding up whoever
        // opened it; the shop field keeps saying it, and search, start and
        // save stay off.
        QTimer::singleShot(0, this, [this]() { ToastWidget::showToast(this, QStringLiteral("没有可用的分店"), 3000); });
    }
}

FJHome::~FJHome()
{
    m_closing = true;
    dataOperate.downImgUrls.clear();
    // Jobs report to this window by name: none may still run once it starts
    // to go.
    threadPool->clear();
    threadPool->waitForDone();
}

void FJHome::init(const QMap<QString, QString> &params)
{
    setWindowTitle(params.value(QStringLiteral("windowtitle")));
    leftPanel->setMode(mode);
    rightPanel->setSplitType(mode);
    if (mode == DownloadRawFiles) {
        splitter->setSizes({K::instance()->scale(400), K::instance()->scale(500)});
        splitter->setStretchFactor(0, 4);
        splitter->setStretchFactor(1, 6);
    }
}

void FJHome::connectPanels()
{
    connect(rightPanel, &FJRightPanel::searchRequested, leftPanel, &FJLeftPanel::onReqShopInfo);
    connect(rightPanel, &FJRightPanel::startProcessRequested, this, &FJHome::onStartProcessRequested);
    connect(rightPanel, &FJRightPanel::downAndUnDownImgSelectedChange, this, &FJHome::onSelectionWriteBack);
    connect(rightPanel, &FJRightPanel::shopChange, this, []() {});
    connect(leftPanel, &FJLeftPanel::emitReqOrderFinish, rightPanel, &FJRightPanel::onSetSearchBtnStatus);
    connect(leftPanel, &FJLeftPanel::userInfoChange, this,
            [this](const QString &shopId, const QString &eid, const QString &superId) {
                qCDebug(lcDesignSplit) << "获取到的参数是：" << shopId << "-" << eid << superId;
                rightPanel->shopId = shopId;
                rightPanel->superId = superId;
                rightPanel->eid = eid;
            });
    connect(leftPanel, &FJLeftPanel::orderSelected, this, &FJHome::onOrderSelected);
    connect(leftPanel, &FJLeftPanel::ordersReset, rightPanel, &FJRightPanel::clearCurrentOrder);
}

void FJHome::onSelectionWriteBack()
{
    qCDebug(lcDesignSplit) << "更新选中的";
    const int row = rightPanel->currentRow;
    // The shown order is written back only over the same order: a list
    // searched since has other orders at that row, or fewer rows.
    if (row < 0 || row >= leftPanel->orders.size()
        || leftPanel->orders.at(row).order_photo_id != rightPanel->currentOrder.order_photo_id) {
        qCDebug(lcDesignSplit) << "选中的订单已不在列表中:" << row;
        return;
    }
    leftPanel->orders[row] = rightPanel->currentOrder;
}

void FJHome::onOrderSelected(int row, bool checked)
{
    if (row < 0 || row >= leftPanel->orders.size())
        return;
    const OrderData &order = leftPanel->orders.at(row);
    if (mode == DownloadPhotoDelivery) {
        if (rightPanel->rawBox)
            rightPanel->rawBox->setChecked(order.iszsysd == QLatin1String("1"));
        if (rightPanel->simpleRetouchBox)
            rightPanel->simpleRetouchBox->setChecked(order.iszsjx == QLatin1String("1"));
        return;
    }
    if (mode == DownloadRawFiles && checked) {
        rightPanel->currentRow = row;
        rightPanel->currentOrder = order;
        rightPanel->showOrderImages();
    }
}

void FJHome::warn(const QString &text)
{
    ModalBox::showMessage(this, QMessageBox::Warning, QStringLiteral("温馨提示"), text);
}

// ------------------------------------------------------------ batch

void FJHome::onStartProcessRequested()
{
    if (m_running || m_closing)
        return;
    selectedRows = leftPanel->selectedRows();
    if (selectedRows.isEmpty()) {
        warn(QStringLiteral("请选择需要分件的订单"));
        return;
    }
    if (!hasWorkToStart())
        return;
    failureText.clear();
    m_ordersDone = 0;
    m_ordersNotDone = 0;
    m_running = true;
    rightPanel->setControlsEnabled(false);
    leftPanel->setControlsEnabled(false);
    currentIndex = 0;
    getOrderInfo(leftPanel->orders.value(selectedRows.first()));
}

bool FJHome::hasWorkToStart()
{
    if (mode == DownloadPhotoDelivery && rightPanel->rawBox) {
        bool any = false;
        for (QCheckBox *box : {rightPanel->rawBox, rightPanel->originalBox, rightPanel->simpleRetouchBox,
                               rightPanel->simpleRetouchRejectsBox, rightPanel->fineRetouchBox})
            any = any || (box && box->isChecked());
        if (!any) {
            warn(QStringLiteral("请勾选要下载的内容（原始档、原片、简修、汰片或精修）"));
            return false;
        }
    }
    if (mode == DownloadRawFiles) {
        bool any = false;
        for (int row : qAsConst(selectedRows)) {
            const OrderData order = leftPanel->orders.value(row);
            for (const QList<ThumbnailPhoto> *photos : {&order.downloadedImages, &order.undownloadedImages}) {
                for (const ThumbnailPhoto &photo : *photos)
                    any = any || photo.selected;
            }
        }
        if (!any) {
            warn(QStringLiteral("请先在右侧选择要下载的原始档"));
            return false;
        }
    }
    return true;
}

void FJHome::getOrderInfo(const OrderData &order)
{
    leftPanel->progressBar->setValue(0);
    leftPanel->progressLabel->setText(QStringLiteral("总进度 %1/%2  当前订单:%3-服务%4")
                                          .arg(QString::number(currentIndex + 1), QString::number(selectedRows.size()),
                                               order.orderpayforkey, order.servicetimes));
    const int sequence = ++m_sequence;
    m_currentOrderId = order.order_photo_id;
    m_orderLabel = order.orderpayforkey + QLatin1Char('-') + order.servicetimes;
    FormBody body;
    body.add(QStringLiteral("order_photo_id"), order.order_photo_id)
        .add(QStringLiteral("shopid"), rightPanel->shopId)
        .add(QStringLiteral("eid"), leftPanel->eid)
        .add(QStringLiteral("superid"), leftPanel->superId)
        .add(QStringLiteral("personid"), leftPanel->eid);
    auto *req = new BaseReq(this);
    QPointer<FJHome> self(this);
    req->post(kDetail, body, [self, req, order, sequence](bool ok, const QJsonDocument &reply) {
        req->deleteLater();
        if (!self || self->m_closing || sequence != self->m_sequence)
            return;
        self->onOrderPhotoDetail(ok, reply, order);
    });
}

void FJHome::onOrderPhotoDetail(bool ok, const QJsonDocument &reply, const OrderData &order)
{
    FJPlanInput input;
    input.mode = mode;
    input.splitDirectory = rightPanel->splitDirectory;
    input.shopId = rightPanel->shopId;
    input.superId = leftPanel->superId;
    input.issjfenjianms = leftPanel->issjfenjianms;
    input.order = order;
    input.namingRule = rightPanel->namingRule();
    if (mode == DownloadPhotoDelivery && rightPanel->rawBox) {
        input.raw = rightPanel->rawBox->isChecked();
        input.original = rightPanel->originalBox->isChecked();
        input.simpleRetouch = rightPanel->simpleRetouchBox->isChecked();
        input.simpleRetouchRejects = rightPanel->simpleRetouchRejectsBox->isChecked();
        input.fineRetouch = rightPanel->fineRetouchBox->isChecked();
    }

    total = 0;
    copyPicFinishNum = 0;
    copyPicTotal = 0;
    downImgTotal = 0;
    downPhotoFinishNums = 0;
    proFinishNum = 0;
    htmlStarted = false;
    isSaveHtml = false;
    m_orderDone = false;
    m_copiedSources.clear();
    m_claims = std::make_shared<FJFolderClaims>();

    const FJPlan plan = FJOrderPlanner::plan(ok, reply, input, dataOperate, threadPool, this);
    switch (plan.outcome) {
    case FJPlan::Outcome::ServiceError: {
        ++m_ordersNotDone;
        addFailure(plan.message);
        QPointer<FJHome> self(this);
        warn(plan.message);
        if (self)
            nextOrder();
        return;
    }
    case FJPlan::Outcome::Skipped:
        ++m_ordersNotDone;
        addFailure(plan.message);
        nextOrder();
        return;
    case FJPlan::Outcome::Planned:
        break;
    }
    addFailure(plan.warning);
    orderRoot = plan.orderRoot;
    total = plan.total;
    copyPicTotal = plan.copyPicTotal;
    downImgTotal = plan.downImgTotal;
    leftPanel->progressBar->setRange(0, qMax(total, 1));
    leftPanel->progressBar->setValue(0);
    if (mode == DesignSplit && plan.startProductsNow)
        startProducts();
    downImg();
    downImg();
    // Nothing that would report: the order is done (or only its sheet is
    // left) now.
    const bool productsPending = mode == DesignSplit && !dataOperate.pros.isEmpty();
    if (copyPicTotal == 0 && downImgTotal == 0 && !productsPending)
        checkFinish();
}

int FJHome::doneUnits() const
{
    return copyPicFinishNum + downPhotoFinishNums + proFinishNum + (isSaveHtml ? 1 : 0);
}

void FJHome::checkFinish()
{
    if (!m_running || m_orderDone)
        return;
    const int done = doneUnits();
    qCDebug(lcDesignSplit) << "总进度:" << total << " 当前进度:" << done;
    qCDebug(lcDesignSplit) << "copyPicFinishNum: " << copyPicFinishNum << "proFinishNum: " << proFinishNum
                           << "downPhotoFinishNums: " << downPhotoFinishNums << "isSaveHtml: " << isSaveHtml;
    qCDebug(lcDesignSplit) << QString(45, QLatin1Char('-'));
    leftPanel->progressBar->setValue(done);
    if (mode == DownloadPhotoDelivery || mode == DownloadRawFiles) {
        if (done >= total)
            completeOrder();
        return;
    }
    // Design split and selection results end with the production sheet,
    // once every other unit has finished.
    if (!htmlStarted && done + 1 >= total)
        scheduleSheet();
}

void FJHome::scheduleSheet()
{
    // Set when the timer is armed: a second report within the second must
    // not start the sheet again.
    htmlStarted = true;
    const int sequence = m_sequence;
    QTimer::singleShot(1000, this, [this, sequence]() {
        if (m_closing || sequence != m_sequence || !m_running)
            return;
        auto *job = new FJDataThread(kSheetMode, this);
        job->orderDetail = dataOperate.orderDetail;
        job->orderRoot = orderRoot;
        threadPool->start(job);
    });
}

void FJHome::startProducts()
{
    for (const QJsonObject &good : qAsConst(dataOperate.pros)) {
        auto *job = new FJDataThread(kProductMode, dataOperate.order, good, orderRoot, this);
        job->namingRule = dataOperate.namingRule;
        job->folderClaims = m_claims;
        threadPool->start(job);
    }
}

void FJHome::addFailure(const QString &line)
{
    if (!line.isEmpty())
        failureText += QLatin1Char('\n') + line;
}

void FJHome::addOrderFailure(const QString &line)
{
    if (!line.isEmpty())
        addFailure(m_orderLabel + QLatin1Char(' ') + line);
}

void FJHome::slt_copypicthread(bool ok, QString jobMode, QString sourcePath, QString detail, QString message)
{
    if (m_closing || !m_running || m_orderDone)
        return;
    if (!ok && !message.isEmpty())
        addOrderFailure(message);
    else if (!ok && jobMode == kProductMode)
        addOrderFailure(QStringLiteral("产品文件夹的图片拷贝失败"));
    else if (!ok)
        addOrderFailure(jobMode + QStringLiteral(" 失败: ") + sourcePath);
    else if (!message.isEmpty() && (mode == DownloadRawFiles || mode == DownloadSelectionResults))
        addOrderFailure(message);
    else if (!message.isEmpty())
        qCDebug(lcDesignSplit) << "有失败得照片: " << sourcePath << "\n" << message;

    if (jobMode == kSheetMode) {
        isSaveHtml = true;
        leftPanel->progressBar->setValue(total);
        completeOrder();
        return;
    }
    switch (mode) {
    case DownloadPhotoDelivery:
        ++copyPicFinishNum;
        break;
    case DownloadRawFiles:
        ++copyPicFinishNum;
        if (ok)
            m_copiedSources.insert(sourcePath);
        if (ok && !detail.isEmpty())
            reportDownloadSuccess(detail);
        break;
    case DownloadSelectionResults:
        if (ok && jobMode == kRawMode && !detail.isEmpty())
            reportDownloadSuccess(detail);
        ++copyPicFinishNum;
        break;
    default:
        if (jobMode == kCopyMode) {
            ++copyPicFinishNum;
            if (copyPicFinishNum == copyPicTotal && !dataOperate.pros.isEmpty())
                startProducts();
        } else if (jobMode == kProductMode) {
            ++proFinishNum;
            qCDebug(lcDesignSplit).noquote() << sourcePath + (ok ? QStringLiteral(" 成功  ") : QStringLiteral("失败  "))
                    + message;
        }
        break;
    }
    checkFinish();
}

void FJHome::completeOrder()
{
    if (m_orderDone)
        return;
    m_orderDone = true;
    ++m_ordersDone;
    switch (mode) {
    case DownloadRawFiles:
        moveDownloadedPhotos();
        nextOrder();
        break;
    case DownloadSelectionResults: {
        const int sequence = m_sequence;
        QTimer::singleShot(1000, this, [this, sequence]() {
            if (!m_closing && sequence == m_sequence)
                nextOrder();
        });
        break;
    }
    default:
        nextOrder();
        break;
    }
}

void FJHome::moveDownloadedPhotos()
{
    if (currentIndex < 0 || currentIndex >= selectedRows.size())
        return;
    const int row = selectedRows.at(currentIndex);
    if (row < 0 || row >= leftPanel->orders.size() || leftPanel->orders.at(row).order_photo_id != m_currentOrderId)
        return;
    OrderData order = leftPanel->orders.at(row);
    // Only raw files whose copy succeeded count as downloaded; the others
    // stay ticked in the not-downloaded list for another try.
    QList<ThumbnailPhoto> moved;
    for (int i = order.undownloadedImages.size() - 1; i >= 0; --i) {
        const ThumbnailPhoto &photo = order.undownloadedImages.at(i);
        if (!photo.selected || !m_copiedSources.contains(K::instance()->toLocalPath(photo.filePath)))
            continue;
        ThumbnailPhoto done = order.undownloadedImages.takeAt(i);
        done.selected = false;
        order.downloadedImages.prepend(done);
    }
    leftPanel->orders[row] = order;
    if (rightPanel->currentOrder.order_photo_id == order.order_photo_id && rightPanel->currentRow == row) {
        rightPanel->currentOrder = order;
        rightPanel->showOrderImages();
    }
}

void FJHome::nextOrder()
{
    if (m_closing)
        return;
    ++currentIndex;
    while (currentIndex < selectedRows.size()) {
        const int row = selectedRows.at(currentIndex);
        if (row >= 0 && row < leftPanel->orders.size()) {
            getOrderInfo(leftPanel->orders.at(row));
            return;
        }
        ++currentIndex;
    }
    finishBatch();
}

void FJHome::finishBatch()
{
    if (m_reportsInFlight > 0) {
        m_finishPending = true;
        return;
    }
    m_finishPending = false;
    m_running = false;
    if (mode == DownloadRawFiles)
        rightPanel->onSearchOrderClicked();
    rightPanel->setControlsEnabled(true);
    leftPanel->setControlsEnabled(true);

    // Counted, not taken from the ticks: an order skipped or cut short is
    // not done, and its reason is among the lines below.
    QString head = QString::number(m_ordersDone) + QStringLiteral("个订单分件完成!");
    if (m_ordersNotDone > 0)
        head += QStringLiteral("\n%1个订单未完成。").arg(m_ordersNotDone);
    const QStringList lines = failureText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() > kShortListLines) {
        ModalBox::showMessage(this, QMessageBox::Information, QStringLiteral("温馨提示"),
                              head + QStringLiteral("\n有 %1 项失败，详见详细信息。").arg(lines.size()), QString(),
                              lines.join(QLatin1Char('\n')));
    } else {
        ModalBox::showMessage(this, QMessageBox::Information, QStringLiteral("温馨提示"), head + failureText);
    }
}

void FJHome::reportDownloadSuccess(const QString &photoId)
{
    FormBody body;
    body.add(QStringLiteral("id"), photoId)
        .add(QStringLiteral("shopid"), rightPanel->shopId)
        .add(QStringLiteral("eid"), leftPanel->eid)
        .add(QStringLiteral("superid"), leftPanel->superId)
        .add(QStringLiteral("personid"), leftPanel->eid);
    // One request object serves every report. The reply is not read, but
    // the batch ends only once every report has been answered, so the
    // refreshed list shows the files as downloaded.
    ++m_reportsInFlight;
    m_reporter->post(kDownloadSuccess, body, [this](bool, const QJsonDocument &) {
        --m_reportsInFlight;
        if (m_finishPending && m_reportsInFlight == 0)
            finishBatch();
    });
}

// ------------------------------------------------------------ downloads

void FJHome::downImg()
{
    if (m_closing || dataOperate.downImgUrls.isEmpty())
        return;
    const QString url = dataOperate.downImgUrls.takeFirst();
    const QJsonObject item = dataOperate.downImgInfos.value(url);
    const int sequence = m_sequence;
    ++m_downloadsInFlight;
    QPointer<FJHome> self(this);
    if (url.isEmpty()) {
        // No address: nothing to fetch, the picture counts as failed.
        QTimer::singleShot(0, this, [this, sequence, url, item]() {
            saveDownloadedImage(sequence, url, item, false, QByteArray(), QString());
        });
        return;
    }
    m_downloader->downloadImage(url, [self, sequence, url, item](bool ok, const QByteArray &data, const QString &mime) {
        if (self)
            self->saveDownloadedImage(sequence, url, item, ok, data, mime);
    });
}

void FJHome::saveDownloadedImage(int sequence, const QString &url, const QJsonObject &item, bool ok,
                                 const QByteArray &data, const QString &mime)
{
    Q_UNUSED(mime)
    --m_downloadsInFlight;
    // A download of an earlier order is neither saved into nor counted for
    // this one.
    if (m_closing || sequence != m_sequence || m_orderDone)
        return;
    downImg();
    const QString type = item.value(QStringLiteral("image_type")).toString();
    const QString name = item.value(QStringLiteral("img_name")).toString();
    if (!ok) {
        addOrderFailure((name.isEmpty() ? url : name) + QStringLiteral(" 下载失败"));
        ++downPhotoFinishNums;
        checkFinish();
        return;
    }
    QString folder = orderRoot + QStringLiteral("其他/") + type + QLatin1Char('/');
    if (mode == DownloadPhotoDelivery)
        folder = orderRoot + type + QLatin1Char('/');
    if (type == QStringLiteral("条形码") || type == QStringLiteral("快递信息"))
        folder = orderRoot + QStringLiteral("其他/");
    ++m_savesInFlight;
    threadPool->start(new FJDownloadSave(data, orderRoot, folder, name, type == QStringLiteral("快递信息"), sequence, this),
                      1);
}

void FJHome::onDownloadSaved(int sequence, bool ok, QString path, QString message)
{
    --m_savesInFlight;
    if (m_closing || sequence != m_sequence || m_orderDone || !m_running)
        return;
    if (!ok)
        addOrderFailure(message);
    else
        qCDebug(lcDesignSplit) << "下载保存:" << path;
    ++downPhotoFinishNums;
    checkFinish();
}

// ------------------------------------------------------------ closing

bool FJHome::isBusy() const
{
    return threadPool->activeThreadCount() > 0;
}

bool FJHome::confirmStop()
{
    QPointer<QMessageBox> box = new QMessageBox(
        QMessageBox::Question, QStringLiteral("温馨提示"),
        QStringLiteral("订单%1的分件还在进行。现在关闭，这个订单不会完成：已拷贝的文件保留，"
                       "再次分件时在同一个订单文件夹里补齐。\n确定要关闭吗？")
            .arg(m_orderLabel),
        QMessageBox::Yes | QMessageBox::No, this);
    box->setDefaultButton(QMessageBox::No);
    const int answer = ModalBox::exec(box);
    delete box.data();
    return answer == QMessageBox::Yes;
}

void FJHome::closeEvent(QCloseEvent *event)
{
    if (m_running && !m_closing) {
        if (!confirmStop()) {
            event->ignore();
            return;
        }
        if (m_running) {
            ++m_ordersNotDone;
            qCWarning(lcDesignSplit) << "分件被中断，订单未完成:" << m_orderLabel;
        }
    }
    if (!isBusy()) {
        // A window that goes with its close drops what is still queued; one
        // that is only hidden keeps its batch.
        if (testAttribute(Qt::WA_DeleteOnClose)) {
            m_closing = true;
            dataOperate.downImgUrls.clear();
            threadPool->clear();
        }
        event->accept();
        return;
    }
    // Running jobs write into the order folder and report to this window:
    // they are let finish, the queued ones are dropped.
    event->ignore();
    if (m_closing)
        return;
    m_closing = true;
    dataOperate.downImgUrls.clear();
    threadPool->clear();
    FullScreenLoading::showLoading(this, QStringLiteral("正在停止…"), true);
    m_stopTimer->start();
}

void FJHome::waitForJobsThenClose()
{
    if (isBusy())
        return;
    m_stopTimer->stop();
    if (FullScreenLoading *overlay = FullScreenLoading::instance(this))
        overlay->closeOverlay();
    if (!testAttribute(Qt::WA_DeleteOnClose)) {
        // The window stays: the stopped batch ends here, and the next start
        // begins afresh.
        m_closing = false;
        m_running = false;
        m_finishPending = false;
        ++m_sequence;
        rightPanel->setControlsEnabled(true);
        leftPanel->setControlsEnabled(true);
    }
    close();
}
