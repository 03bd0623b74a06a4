#include "batchdelete/batchdelete_filelistwidget.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLoggingCategory>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "base/k.h"
#include "batchdelete/batchdeletefilemodel.h"
#include "batchdelete/batchdeletestyles.h"
#include "batchdelete/jobs/filescanthread.h"
#include "public/columnfit.h"
#include "public/elementbutton.h"
#include "public/fullscreenloading.h"
#include "public/tablelook.h"
#include "public/theme.h"
#include "public/toastwidget.h"

Q_LOGGING_CATEGORY(lcFileList, "velquora.batchdelete.files")

BatchDelete_FileListWidget::BatchDelete_FileListWidget(QWidget *parent)
    : QWidget(parent)
{
    setupUI();
}

BatchDelete_FileListWidget::~BatchDelete_FileListWidget()
{
    // The overlay goes with the panel; only the scans need stopping.
    for (FileScanThread *scan : qAsConst(scanThreads))
        scan->cancel(100);
    qDeleteAll(scanThreads);
    scanThreads.clear();
}

void BatchDelete_FileListWidget::setupUI()
{
    BatchDeleteRecords::registerMetaTypes();
    K *k = K::instance();

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *container = new QWidget(this);
    container->setObjectName(QStringLiteral("fileListParentWidget"));
    container->setStyleSheet(BatchDeleteStyles::panel(QStringLiteral("fileListParentWidget")));
    outer->addWidget(container);

    auto *layout = new QVBoxLayout(container);
    layout->setContentsMargins(k->scale(10), k->scale(10), k->scale(10), k->scale(10));
    layout->setSpacing(k->scale(8));

    auto *header = new QHBoxLayout;
    countLabel = new QLabel(QStringLiteral("请选择订单查看文件列表"), container);
    countLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel { font-size: %1px; font-weight: 500; color: @textSecondary; padding: %2px; }")
                                               .arg(k->scaleText(13), k->scaleText(8))));
    refreshButton = new ElementButton(QStringLiteral("刷新"), 2, this);
    refreshButton->setSize(1);
    connect(refreshButton, &ElementButton::clicked, this, &BatchDelete_FileListWidget::onRefreshClicked);
    header->addWidget(countLabel);
    header->addWidget(refreshButton);
    header->addStretch();
    layout->addLayout(header);

    fileModel = new BatchDeleteFileModel(this);
    fileTable = new QTableView(this);
    fileTable->setModel(fileModel);
    fileTable->setStyleSheet(BatchDeleteStyles::table());
    fileTable->verticalScrollBar()->setStyleSheet(BatchDeleteStyles::scrollBar());
    fileTable->horizontalScrollBar()->setStyleSheet(BatchDeleteStyles::scrollBar());
    fileTable->horizontalHeader()->setStyleSheet(BatchDeleteStyles::header());
    fileTable->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fileTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    fileTable->setSelectionMode(QAbstractItemView::SingleSelection);
    fileTable->setAlternatingRowColors(true);
    fileTable->verticalHeader()->setVisible(false);
    fileTable->verticalHeader()->setDefaultSectionSize(k->scale(40));
    fileTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fileTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    fileTable->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    fileTable->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    fileTable->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // One line per cell: a wrapped text is cut at the row's bottom with no
    // sign that more follows; a single line ends in an ellipsis instead.
    fileTable->setWordWrap(false);
    fileTable->setTextElideMode(Qt::ElideRight);
    TableLook::keepItemColours(fileTable);
    // The panel has the narrow side of the window: the path gives way
    // first, then the room the status does not use and the folder; the
    // file's name, which tells the rows apart, last. The size and the status
    // keep room for their text, the path for its header.
    fileTable->ensurePolished();
    const auto headerWidth = [this](int column) { return fileTable->horizontalHeader()->sectionSizeHint(column); };
    columnFit = new ColumnFit(
        fileTable, {{k->scale(200), k->scale(50), 4},
                    {k->scale(80), k->scale(40), 3},
                    {k->scale(80), std::max(headerWidth(2), cellWidth(QStringLiteral("1023.99 MB"))), 5},
                    {k->scale(150), headerWidth(3), 2},
                    {k->scale(400), headerWidth(4), 1}});
    fitStatus(true);
    fileTable->setMouseTracking(true);
    fileTable->viewport()->setMouseTracking(true);
    layout->addWidget(fileTable);
}

void BatchDelete_FileListWidget::showOrderFiles(const QList<BatchDeleteOrderInfo> &orders)
{
    if (orders.isEmpty())
        return;
    clear();
    shownOrder = orders.first();
    if (shownOrder.allFiles.isEmpty()) {
        startScan(shownOrder);
        return;
    }
    // A look at the folder still under way would answer with the folder as
    // it was, over the states of this list.
    dropScans();
    setFiles(shownOrder.allFiles);
}

void BatchDelete_FileListWidget::dropScans()
{
    latestScan = nullptr;
    removeFinishedScans();
    for (FileScanThread *scan : qAsConst(scanThreads)) {
        if (scan->isRunning())
            scan->cancel(100);
    }
    if (FullScreenLoading *overlay = FullScreenLoading::instance(this))
        overlay->closeOverlay();
}

void BatchDelete_FileListWidget::startScan(const BatchDeleteOrderInfo &order)
{
    latestScan = nullptr;
    removeFinishedScans();
    for (FileScanThread *scan : qAsConst(scanThreads)) {
        if (scan->isRunning())
            scan->cancel(100);
    }

    // A folder that is a link, or that holds other orders' folders, would
    // show files that are not this order's as if they were.
    const QString refusal = order.netpath.isEmpty() || !folderCheck ? QString() : folderCheck(order);
    if (!refusal.isEmpty()) {
        qCWarning(lcFileList) << "订单目录不列出:" << order.label() << refusal;
        if (FullScreenLoading *overlay = FullScreenLoading::instance(this))
            overlay->closeOverlay();
        clear();
        countLabel->setText(refusal);
        return;
    }

    const QString text = QStringLiteral("查找") + order.orderpayforkey + QStringLiteral("-") + order.servicetimes
        + QStringLiteral("的文件中...");
    if (FullScreenLoading *overlay = FullScreenLoading::instance(this)) {
        overlay->setText(text);
    } else {
        overlay = FullScreenLoading::showWithCancel(this, text, QStringLiteral("取消"), true);
        connect(overlay, &FullScreenLoading::cancelled, this, &BatchDelete_FileListWidget::onScanCancelClicked);
    }

    auto *scan = new FileScanThread(this);
    latestScan = scan;
    connect(scan, &FileScanThread::scanFinished, this, [this, scan](const FileScanResult &result) {
        // A stale scan's result still lets its thread go.
        if (scan != latestScan.data()) {
            removeFinishedScans();
            return;
        }
        onScanFinished(result);
    });
    connect(scan, &FileScanThread::scanProgress, this, &BatchDelete_FileListWidget::onScanProgress);
    // The folder and its direct subfolders: the same files a run deletes.
    scan->startScan(order.order_photo_id, order.netpath, 2);
    scanThreads.append(scan);
}

void BatchDelete_FileListWidget::onScanFinished(const FileScanResult &result)
{
    removeFinishedScans();
    if (result.tag != shownOrder.order_photo_id)
        return;
    if (FullScreenLoading *overlay = FullScreenLoading::instance(this))
        overlay->closeOverlay();
    if (result.errorCode == FileScanError::None) {
        setFiles(result.files);
        emit refreshOrderFiles(shownOrder.order_photo_id, result.files);
    } else if (result.errorCode == FileScanError::NotFound || result.errorCode == FileScanError::ShareUnreachable) {
        // The scan's own text names the failure and the folder.
        ToastWidget::showToast(this, result.errorMessage, 2000);
    }
}

void BatchDelete_FileListWidget::setFiles(const QList<BatchDeleteFileInfo> &files)
{
    fileModel->setFiles(files);
    countLabel->setText(QStringLiteral("共 %1 个文件").arg(files.size()));
    fitStatus(true);
}

int BatchDelete_FileListWidget::cellWidth(const QString &text) const
{
    K *k = K::instance();
    // The item's paddings, the style's text margins and a little slack for
    // a hinted font that draws wider than it measures.
    return fileTable->fontMetrics().horizontalAdvance(text) + 2 * k->scale(4)
        + 2 * (fileTable->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, fileTable) + 1) + k->scale(4);
}

void BatchDelete_FileListWidget::fitStatus(bool fromScratch, int status)
{
    int widest = fileTable->horizontalHeader()->sectionSizeHint(3);
    if (fromScratch) {
        // Few distinct states, however many files.
        QVector<int> seen;
        for (int row = 0; row < fileModel->rowCount(); ++row) {
            const int state = fileModel->file(row).status;
            if (seen.contains(state))
                continue;
            seen.append(state);
            widest = std::max(widest, cellWidth(fileModel->index(row, 3).data().toString()));
        }
    } else {
        widest = std::max(columnFit->minimum(3), widest);
        QString text = BatchDeleteFileModel::statusText(status);
        if (status == BatchDeleteFileStatus::Missing)
            text += QStringLiteral(" (文件不存在)");
        else if (status == BatchDeleteFileStatus::Locked)
            text += QStringLiteral(" (文件被占用)");
        widest = std::max(widest, cellWidth(text));
    }
    columnFit->setMinimum(3, widest);
}

QString BatchDelete_FileListWidget::countText() const
{
    return countLabel->text();
}

void BatchDelete_FileListWidget::clear()
{
    fileModel->clear();
    fitStatus(true);
    countLabel->setText(QStringLiteral("请选择订单查看文件列表"));
}

void BatchDelete_FileListWidget::updateFile(const BatchDeleteOrderInfo &order, const BatchDeleteFileInfo &file)
{
    if (order.order_photo_id != shownOrder.order_photo_id)
        return;
    fileModel->updateFile(file.index, file.status, file.errorMessage);
    fitStatus(false, file.status);
}

void BatchDelete_FileListWidget::updateFile(int row, int status, const QString &errorMessage)
{
    fileModel->updateFile(row, status, errorMessage);
    fitStatus(false, status);
}

void BatchDelete_FileListWidget::setRefreshEnabled(bool enabled)
{
    refreshButton->setEnabled(enabled);
}

void BatchDelete_FileListWidget::onRefreshClicked()
{
    startScan(shownOrder);
}

void BatchDelete_FileListWidget::onScanCancelClicked()
{
    if (FullScreenLoading *overlay = FullScreenLoading::instance(this))
        overlay->closeOverlay();
    for (FileScanThread *scan : qAsConst(scanThreads))
        scan->cancel(100);
}

void BatchDelete_FileListWidget::stopAllScans()
{
    latestScan = nullptr;
    for (FileScanThread *scan : qAsConst(scanThreads)) {
        scan->cancel(100);
        scan->deleteLater();
    }
    scanThreads.clear();
    // A scan's overlay has nothing left to wait for.
    if (FullScreenLoading *overlay = FullScreenLoading::instance(this))
        overlay->closeOverlay();
}

void BatchDelete_FileListWidget::removeFinishedScans()
{
    for (int i = scanThreads.size() - 1; i >= 0; --i) {
        if (!scanThreads.at(i)->isRunning())
            scanThreads.takeAt(i)->deleteLater();
    }
}

void BatchDelete_FileListWidget::onScanProgress(int filesFound, const QString &folder)
{
    Q_UNUSED(filesFound)
    Q_UNUSED(folder)
}

void BatchDelete_FileListWidget::onRetrySubmit(int row)
{
    qCDebug(lcFileList) << "重新提交文件状态, 行:" << row;
    emit retrySubmitClicked(row);
}

void BatchDelete_FileListWidget::onRetryDelete(int row)
{
    qCDebug(lcFileList) << "重新删除文件, 行:" << row;
    emit retryDeleteClicked(row);
}
