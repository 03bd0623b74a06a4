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

#include <utility>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/handover.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "base/orderservice.h"
#include "designsplit/fjleftpanel.h"
#include "designsplit/fjrightpanel.h"
#include "designsplit/jobs/fjdatathread.h"
#include "designsplit/jobs/fjdownloadsave.h"
#include "designsplit/jobs/fjlog.h"
#include "designsplit/jobs/fjorderplanner.h"
#include "designsplit/jobs/fjrungate.h"
#include "designsplit/jobs/fjunfinished.h"
#include "public/fullscreenloading.h"
#include "public/theme.h"

namespace {

const QString kSheetMode = QStringLiteral("生成Html");
const QString kCopyMode = QStringLiteral("拷贝照片");
const QString kProductMode = QStringLiteral("创建产品");
const QString kRawMode = QStringLiteral("下载原始档");

// Above this many lines the final box keeps the list in its details.
const int kShortListLines = 12;

// Steps of the progress bar per order.
const int kOrderSteps = 100;

// The shop chosen on the right and the ids its switch gave on the left.
OrderService::Branch branchOf(const FJRightPanel *right, const FJLeftPanel *left)
{
    return OrderService::Branch{right->shopId, left->eid, left->superId};
}

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

    setStyleSheet(Theme::sheet(QStringLiteral("QWidget {    background-color: @groupedFace;    font-family: -apple-system, "
                                              "BlinkMacSystemFont, 'Segoe UI', Roboto, sans-serif;}QLabel {    color: @textBlack;}")));
    bodyLayout = new QHBoxLayout;
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(0);
    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setStyleSheet(Theme::sheet(QStringLiteral("QSplitter::handle {    background-color: @separator;    width: ")
                                         + K::instance()->scaleText(1)
                                         + QStringLiteral("px;}QSplitter::handle:hover {    background-color: @separatorHover;}")));
    leftPanel = new FJLeftPanel(this);
    leftPanel->setStyleSheet(leftPanel->styleSheet()
                             + Theme::sheet(QStringLiteral("FJLeftPanel {    background-color: @panel;    border-right: 1px solid "
                                                           "@separator;}")));
    rightPanel = new FJRightPanel(this);
    rightPanel->setStyleSheet(rightPanel->styleSheet()
                              + Theme::sheet(QStringLiteral("FJRightPanel {    background-color: @panel;}")));
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
        // opened it, in the words every tool uses; the shop field keeps
        // saying it, and search, start and save stay off.
        QTimer::singleShot(0, this, [this]() {
            ModalBox::showMessage(this, QMessageBox::Warning, QStringLiteral("温馨提示"), OrderService::noShopText());
        });
    }
}

FJHome::~FJHome()
{
    m_closing = true;
    m_heldBack.clear();
    if (m_gate)
        m_gate->stop();
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
    m_redoneText.clear();
    m_gate = std::make_shared<FJRunGate>();
    dataOperate.gate = m_gate;
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
        QStringList names;
        for (QCheckBox *box : {rightPanel->rawBox, rightPanel->originalBox, rightPanel->simpleRetouchBox,
                               rightPanel->simpleRetouchRejectsBox, rightPanel->fineRetouchBox}) {
            any = any || box->isChecked();
            names << box->text();
        }
        if (!any) {
            // The boxes named as they read.
            const QString last = names.takeLast();
            warn(QStringLiteral("请勾选要下载的内容（%1或%2）").arg(names.join(QStringLiteral("、")), last));
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
    // The order is under way from here, its detail asked for.
    m_orderDone = false;
    m_planned = false;
    m_redo.clear();
    showProgress(0, 1);
    leftPanel->progressLabel->setText(QStringLiteral("总进度 %1/%2  当前订单:%3-服务%4")
                                          .arg(QString::number(currentIndex + 1), QString::number(selectedRows.size()),
                                               order.orderpayforkey, order.servicetimes));
    const int sequence = ++m_sequence;
    m_currentOrderId = order.order_photo_id;
    m_orderLabel = order.orderpayforkey + QLatin1Char('-') + order.servicetimes;
    const QByteArray body = OrderService::orderDetailBody(order.order_photo_id, branchOf(rightPanel, leftPanel));
    QPointer<FJHome> self(this);
    OrderService::send(this, OrderService::Action::OrderDetail, body,
                       [self, order, sequence](bool ok, const QJsonDocument &reply) {
                           if (self)
                               self->onDetailReply(sequence, ok, reply, order);
                       });
}

void FJHome::onDetailReply(int sequence, bool ok, const QJsonDocument &reply, const OrderData &order)
{
    if (m_closing || sequence != m_sequence)
        return;
    if (holdBack([this, sequence, ok, reply, order]() { onDetailReply(sequence, ok, reply, order); }))
        return;
    onOrderPhotoDetail(ok, reply, order);
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
        showProgress(1, 1);
        QPointer<FJHome> self(this);
        warn(plan.message);
        if (self)
            nextOrder();
        return;
    }
    case FJPlan::Outcome::Skipped:
        // Nothing to do in it: the batch is past it.
        ++m_ordersNotDone;
        addFailure(plan.message);
        showProgress(1, 1);
        nextOrder();
        return;
    case FJPlan::Outcome::Planned:
        break;
    }
    addFailure(plan.warning);
    orderRoot = plan.orderRoot;
    m_planned = true;
    m_redo = plan.redo;
    total = plan.total;
    copyPicTotal = plan.copyPicTotal;
    downImgTotal = plan.downImgTotal;
    showProgress(0, total);
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
    showProgress(done, total);
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
    QTimer::singleShot(1000, this, [this, sequence]() { startSheet(sequence); });
}

void FJHome::startSheet(int sequence)
{
    if (m_closing || sequence != m_sequence || !m_running)
        return;
    if (holdBack([this, sequence]() { startSheet(sequence); }))
        return;
    auto *job = new FJDataThread(kSheetMode, this);
    job->orderDetail = dataOperate.orderDetail;
    job->orderRoot = orderRoot;
    job->gate = m_gate;
    HandOver::start(threadPool, job);
}

void FJHome::startProducts()
{
    for (const QJsonObject &good : qAsConst(dataOperate.pros)) {
        auto *job = new FJDataThread(kProductMode, dataOperate.order, good, orderRoot, this);
        job->namingRule = dataOperate.namingRule;
        job->folderClaims = m_claims;
        job->gate = m_gate;
        HandOver::start(threadPool, job);
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
    if (holdBack([=]() { slt_copypicthread(ok, jobMode, sourcePath, detail, message); }))
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
    showProgress(1, 1);
    if (m_planned && !m_redo.isEmpty()) {
        // The order is whole now: its note goes, and the box says what this
        // run did over.
        FJUnfinished::remove(orderRoot, mode);
        m_redoneText += QLatin1Char('\n') + m_orderLabel + QStringLiteral(" 上次%1中断，本次补做：").arg(doing()) + m_redo;
    }
    switch (mode) {
    case DownloadRawFiles:
        moveDownloadedPhotos();
        nextOrder();
        break;
    case DownloadSelectionResults: {
        const int sequence = m_sequence;
        // Through holdBack: a close question open then holds the next order.
        std::function<void()> next = [this, sequence]() {
            if (!m_closing && sequence == m_sequence)
                nextOrder();
        };
        QTimer::singleShot(1000, this, [this, next]() {
            if (!holdBack(next))
                next();
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
    leftPanel->progressBar->setValue(leftPanel->progressBar->maximum());
    if (mode == DownloadRawFiles)
        rightPanel->onSearchOrderClicked();
    rightPanel->setControlsEnabled(true);
    leftPanel->setControlsEnabled(true);

    // Counted, not taken from the ticks: an order skipped or cut short is
    // not done, and its reason is among the lines below.
    QString head = QString::number(m_ordersDone) + QStringLiteral("个订单%1完成!").arg(doing());
    if (m_ordersNotDone > 0)
        head += QStringLiteral("\n%1个订单未完成。").arg(m_ordersNotDone);
    head += m_redoneText;
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
    const QByteArray body = OrderService::downloadDoneBody(photoId, branchOf(rightPanel, leftPanel));
    // One request object serves every report. The reply is not read, but
    // the batch ends only once every report has been answered, so the
    // refreshed list shows the files as downloaded.
    ++m_reportsInFlight;
    const QString action = OrderService::action(OrderService::Action::DownloadDone);
    m_reporter->post(action, body, [this](bool, const QJsonDocument &) { onReportAnswered(); });
}

void FJHome::onReportAnswered()
{
    if (holdBack([this]() { onReportAnswered(); }))
        return;
    --m_reportsInFlight;
    if (m_finishPending && m_reportsInFlight == 0 && !m_closing)
        finishBatch();
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
    if (holdBack([=]() { saveDownloadedImage(sequence, url, item, ok, data, mime); }))
        return;
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
    HandOver::start(threadPool,
                    new FJDownloadSave(data, orderRoot, folder, name, type == QStringLiteral("快递信息"), sequence, this,
                                       m_gate),
                    1);
}

void FJHome::onDownloadSaved(int sequence, bool ok, QString path, QString message)
{
    if (holdBack([=]() { onDownloadSaved(sequence, ok, path, message); }))
        return;
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

QString FJHome::doing() const
{
    return mode == DownloadRawFiles ? QStringLiteral("下载") : QStringLiteral("分件");
}

void FJHome::showProgress(int done, int of)
{
    const int orders = qMax(int(selectedRows.size()), 1);
    const int index = qBound(0, currentIndex, orders - 1);
    const int current = of > 0 ? qBound(0, done, of) * kOrderSteps / of : kOrderSteps;
    leftPanel->progressBar->setRange(0, orders * kOrderSteps);
    leftPanel->progressBar->setValue(index * kOrderSteps + current);
}

bool FJHome::holdBack(std::function<void()> step)
{
    if (!m_asking)
        return false;
    m_heldBack.append(std::move(step));
    return true;
}

void FJHome::resumeHeldBack()
{
    m_asking = false;
    if (m_gate)
        m_gate->release();
    const QList<std::function<void()>> steps = std::exchange(m_heldBack, {});
    QPointer<FJHome> self(this);
    for (const std::function<void()> &step : steps) {
        // A step may end the batch with its box, and the window may be
        // closed from under that box.
        if (!self)
            return;
        step();
    }
}

QStringList FJHome::unfinishedOrders() const
{
    QStringList lines;
    if (!m_orderDone && currentIndex < selectedRows.size())
        lines << m_orderLabel + QStringLiteral("（进行中）");
    for (int i = currentIndex + 1; i < selectedRows.size(); ++i) {
        const int row = selectedRows.at(i);
        if (row < 0 || row >= leftPanel->orders.size())
            continue;
        const OrderData &order = leftPanel->orders.at(row);
        lines << order.orderpayforkey + QLatin1Char('-') + order.servicetimes + QStringLiteral("（未开始）");
    }
    return lines;
}

QString FJHome::leftOfOrder() const
{
    QStringList parts;
    const auto add = [&parts](int left, const QString &what) {
        if (left > 0)
            parts << what.arg(left);
    };
    add(copyPicTotal - copyPicFinishNum,
        mode == DownloadRawFiles ? QStringLiteral("原始档 %1 个") : QStringLiteral("文件拷贝 %1 项"));
    add(downImgTotal - downPhotoFinishNums, QStringLiteral("图片下载 %1 项"));
    if (mode == DesignSplit)
        add(dataOperate.pros.size() - proFinishNum, QStringLiteral("产品文件夹 %1 个"));
    if ((mode == DesignSplit || mode == DownloadSelectionResults) && !isSaveHtml)
        parts << QStringLiteral("明细制作单");
    return parts.isEmpty() ? QStringLiteral("订单的收尾") : parts.join(QStringLiteral("、"));
}

bool FJHome::confirmStop()
{
    QStringList orders = unfinishedOrders();
    QString details;
    if (orders.size() > kShortListLines) {
        details = orders.join(QLatin1Char('\n'));
        const int more = orders.size() - (kShortListLines - 1);
        orders = orders.mid(0, kShortListLines - 1);
        orders << QStringLiteral("…另有 %1 个订单，详见详细信息").arg(more);
    }
    const QString text =
        QStringLiteral("%1还在进行。现在关闭，以下订单不会完成：\n%2\n已拷贝的文件保留，再次%1时在同一个订单文件夹里补齐。"
                       "\n确定要关闭吗？")
            .arg(doing(), orders.join(QLatin1Char('\n')));
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Question, QStringLiteral("温馨提示"), text, QMessageBox::Yes | QMessageBox::No, this);
    box->setDefaultButton(QMessageBox::No);
    box->setDetailedText(details);
    const int answer = ModalBox::exec(box);
    delete box.data();
    return answer == QMessageBox::Yes;
}

void FJHome::stopBatch()
{
    m_asking = false;
    m_heldBack.clear();
    if (m_gate)
        m_gate->stop();
    m_closing = true;
    dataOperate.downImgUrls.clear();
    threadPool->clear();
    qCWarning(lcDesignSplit) << "批处理被中断，未完成的订单:" << unfinishedOrders();
    ++m_ordersNotDone;
    if (m_planned && !m_orderDone)
        FJUnfinished::write(orderRoot, mode, leftOfOrder());
}

void FJHome::closeEvent(QCloseEvent *event)
{
    // Another close while the question is open waits for its answer.
    if (m_asking) {
        event->ignore();
        return;
    }
    if (m_running && !m_closing) {
        // The batch stands still while the user decides: no job starts, no
        // result is acted on, no box comes.
        m_asking = true;
        if (m_gate)
            m_gate->hold();
        QPointer<FJHome> self(this);
        const bool stop = confirmStop();
        if (!self)
            return;
        if (!stop) {
            event->ignore();
            resumeHeldBack();
            return;
        }
        stopBatch();
    }
    if (!isBusy()) {
        // A window that goes with its close drops what is still queued; one
        // that is only hidden and was not stopped keeps its batch.
        if (testAttribute(Qt::WA_DeleteOnClose)) {
            m_closing = true;
            dataOperate.downImgUrls.clear();
            threadPool->clear();
        } else if (m_closing) {
            settleStop();
        }
        event->accept();
        return;
    }
    // Running jobs write into the order folder and report to this window:
    // they are let finish, the queued ones are dropped.
    event->ignore();
    if (m_stopTimer->isActive())
        return;
    m_closing = true;
    dataOperate.downImgUrls.clear();
    threadPool->clear();
    FullScreenLoading::showLoading(this, QStringLiteral("正在停止…"), true);
    m_stopTimer->start();
}

void FJHome::settleStop()
{
    // The window stays: the stopped batch ends here, and the next start
    // begins afresh.
    m_closing = false;
    m_running = false;
    m_finishPending = false;
    ++m_sequence;
    rightPanel->setControlsEnabled(true);
    leftPanel->setControlsEnabled(true);
}

void FJHome::waitForJobsThenClose()
{
    if (isBusy())
        return;
    m_stopTimer->stop();
    if (FullScreenLoading *overlay = FullScreenLoading::instance(this))
        overlay->closeOverlay();
    if (!testAttribute(Qt::WA_DeleteOnClose))
        settleStop();
    close();
}
