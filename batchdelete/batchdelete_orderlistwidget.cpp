#include "batchdelete/batchdelete_orderlistwidget.h"

#include <utility>

#include <algorithm>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/k.h"
#include "batchdelete/batchdeletestyles.h"
#include "batchdelete/jobs/batchdeleterun.h"
#include "public/columnfit.h"
#include "public/elementbutton.h"
#include "public/rowfeeder.h"
#include "public/simpledialog.h"
#include "public/tablelook.h"
#include "public/theme.h"

namespace {

const QString kSelect = QStringLiteral("选择");
const QString kCounter = QStringLiteral("成功/失败/总数");
// Rows that get their cell widgets as they are added: more than a screen
// shows. Later rows get them when they are scrolled into view.
constexpr int kEagerRows = 64;
constexpr int kRowMargin = 8;

} // namespace

BatchDelete_OrderListWidget::BatchDelete_OrderListWidget(QWidget *parent)
    : QWidget(parent)
{
    setupUI();
}

BatchDelete_OrderListWidget::~BatchDelete_OrderListWidget() = default;

void BatchDelete_OrderListWidget::setupUI()
{
    K *k = K::instance();
    headerLabels = QStringList{kSelect,
                    QStringLiteral("订单号"),
                    QStringLiteral("客户姓名"),
                    QStringLiteral("摄影师"),
                    QStringLiteral("结单日期"),
                    kCounter,
                    QStringLiteral("导片路径")};

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *container = new QWidget(this);
    container->setObjectName(QStringLiteral("orderListParentWidget"));
    container->setStyleSheet(BatchDeleteStyles::panel(QStringLiteral("orderListParentWidget")));
    outer->addWidget(container);

    contentLayout = new QVBoxLayout(container);
    contentLayout->setContentsMargins(k->scale(10), k->scale(10), k->scale(10), k->scale(10));
    contentLayout->setSpacing(k->scale(8));

    auto *header = new QHBoxLayout;
    selectAllCheckBox = new QCheckBox(QStringLiteral("全选"), container);
    selectAllCheckBox->setStyleSheet(Theme::sheet(
        QStringLiteral("QCheckBox { font-size: %1px; font-weight: 500; color: @text; spacing: %2px; }"
                       "QCheckBox::indicator { width: %3px; height: %3px; border: 2px solid @tickFrame; border-radius: %4px;"
                       " background-color: @panel; }"
                       "QCheckBox::indicator:checked { background-color: @accent; border-color: @accent;"
                       " image: url(:/public/image/public/icon/check_white.png); }"
                       "QCheckBox::indicator:hover { border-color: @accent; }")
            .arg(k->scaleText(12), k->scaleText(6), k->scaleText(16), k->scaleText(4))));
    countLabel = new QLabel(container);
    countLabel->setStyleSheet(Theme::sheet(
        QStringLiteral("QLabel { font-size: %1px; font-weight: 500; color: @text; }").arg(k->scaleText(12))));
    header->addWidget(selectAllCheckBox);
    header->addWidget(countLabel);
    header->addStretch();
    contentLayout->addLayout(header);

    orderTable = new QTableWidget(container);
    orderTable->setColumnCount(headerLabels.size());
    orderTable->setHorizontalHeaderLabels(headerLabels);
    orderTable->setStyleSheet(BatchDeleteStyles::table() + BatchDeleteStyles::orderRowWidgets());
    orderTable->verticalScrollBar()->setStyleSheet(scrollBarStyleSheet());
    orderTable->horizontalScrollBar()->setStyleSheet(scrollBarStyleSheet());
    orderTable->horizontalHeader()->setStyleSheet(headerStyleSheet());
    orderTable->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft);
    orderTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    orderTable->setSelectionMode(QAbstractItemView::SingleSelection);
    orderTable->setAlternatingRowColors(true);
    orderTable->verticalHeader()->setVisible(false);
    orderTable->verticalHeader()->setDefaultSectionSize(k->scale(45));
    orderTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    orderTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    orderTable->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    orderTable->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {40, 100, 100, 80, 100, 170, 300};
    for (int i = 0; i < headerLabels.size(); ++i)
        orderTable->setColumnWidth(i, k->scale(widths[i]));
    // One line per cell: a wrapped text is cut at the row's bottom with no
    // sign that more follows; a single line ends in an ellipsis instead.
    orderTable->setWordWrap(false);
    orderTable->setTextElideMode(Qt::ElideRight);
    TableLook::keepItemColours(orderTable);
    // The check boxes and the counters are what a user acts on: the path,
    // then the names give way before them. An order number keeps the width
    // fitted to it, a closing date its whole text (date and time).
    orderTable->ensurePolished();
    const int dateWidth = orderTable->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00"))
        + 2 * k->scale(4) + 2 * (orderTable->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, orderTable) + 1)
        + k->scale(4);
    QVector<ColumnFit::Column> fit;
    for (int i = 0; i < headerLabels.size(); ++i) {
        const QString &title = headerLabels.at(i);
        ColumnFit::Column column{k->scale(widths[i]), k->scale(widths[i]), 0};
        if (title == QStringLiteral("订单号"))
            column.preferred = -1;
        else if (title == QStringLiteral("导片路径"))
            column = {k->scale(widths[i]), k->scale(60), 1};
        else if (title == QStringLiteral("客户姓名"))
            column = {k->scale(widths[i]), k->scale(50), 2};
        else if (title == QStringLiteral("摄影师"))
            column = {k->scale(widths[i]), k->scale(40), 3};
        else if (title == QStringLiteral("结单日期"))
            column = {dateWidth, dateWidth, 0};
        fit.append(column);
    }
    new ColumnFit(orderTable, fit);
    contentLayout->addWidget(orderTable);

    feeder = new RowFeeder(this);
    connect(orderTable->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &BatchDelete_OrderListWidget::createVisibleRowWidgets);
    connect(orderTable->verticalScrollBar(), &QScrollBar::rangeChanged, this,
            &BatchDelete_OrderListWidget::createVisibleRowWidgets);

    connect(selectAllCheckBox, &QCheckBox::stateChanged, this, &BatchDelete_OrderListWidget::onSelectAllChanged);
    connect(orderTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &BatchDelete_OrderListWidget::onTableSelectionChanged);
}

QString BatchDelete_OrderListWidget::scrollBarStyleSheet() const
{
    return BatchDeleteStyles::scrollBar();
}

QString BatchDelete_OrderListWidget::headerStyleSheet() const
{
    return BatchDeleteStyles::header();
}

void BatchDelete_OrderListWidget::clearOrders()
{
    // Twenty thousand rows freed in one turn held the window: the table is
    // emptied now, its items and the records freed over the next turns.
    feeder->emptyTable(orderTable);
    feeder->freeLater(std::exchange(orders, {}));
    showsRun.clear();
    const QSignalBlocker blocker(selectAllCheckBox);
    selectAllCheckBox->setCheckState(Qt::Unchecked);
}

void BatchDelete_OrderListWidget::addOrderRow(const BatchDeleteOrderInfo &order)
{
    BatchDeleteOrderInfo copy = order;
    copy.checked = false;
    copy.row = orders.size();
    // "全选" ticked while a search's rows still arrive covers them too.
    if (selectAllCheckBox->checkState() == Qt::Checked)
        copy.checked = true;
    orders.append(copy);
    showsRun.append(false);

    const int r = orderTable->rowCount();
    orderTable->insertRow(r);
    for (int column = 0; column < headerLabels.size(); ++column) {
        const QString &title = headerLabels.at(column);
        if (title == kSelect || title == kCounter)
            continue;
        QString text;
        if (title == QStringLiteral("订单号"))
            text = order.orderpayforkey + QLatin1Char('-') + order.servicetimes;
        else if (title == QStringLiteral("客户姓名"))
            text = BatchDeleteOrderInfo::customerNameOf(order.mname, order.wname);
        else if (title == QStringLiteral("摄影师"))
            text = order.role1;
        else if (title == QStringLiteral("结单日期"))
            text = order.fulfil_time;
        else if (title == QStringLiteral("导片路径"))
            text = order.netpath;
        orderTable->setItem(r, column, new QTableWidgetItem(text));
        // A studio's order numbers are longer than the column's first
        // width, and a cut one cannot be told from its neighbours.
        if (title == QStringLiteral("订单号"))
            TableLook::fitCell(orderTable, orderTable->model()->index(r, column));
    }
    if (r < kEagerRows)
        createRowWidgets(r);
}


// Rows come with their cell widgets only once they can be seen: a view
// with a widget in every row of a search of thousands of orders spends
// longer on them at every layout than a turn of the event loop may take.
// Until then a row's state lives in its record alone, and the widgets take
// it over when they are made.
void BatchDelete_OrderListWidget::createRowWidgets(int r)
{
    K *k = K::instance();
    const int selectColumn = column(kSelect);
    const int counterColumn = column(kCounter);
    if (selectColumn >= 0 && !orderTable->cellWidget(r, selectColumn)) {
        const int column = selectColumn;
        auto *cell = new QWidget;
        auto *layout = new QHBoxLayout(cell);
        layout->setContentsMargins(k->scale(8), 0, 0, 0);
        layout->setAlignment(Qt::AlignCenter);
        auto *box = new QCheckBox(cell);
        box->setProperty("row", r);
        layout->addWidget(box);
        box->setChecked(orders.at(r).checked);
        box->setEnabled(boxesEnabled);
        connect(box, &QCheckBox::stateChanged, this, &BatchDelete_OrderListWidget::onCheckBoxStateChanged);
        orderTable->setCellWidget(r, column, cell);
    }
    if (counterColumn >= 0 && !orderTable->cellWidget(r, counterColumn)) {
        const int column = counterColumn;
        const BatchDeleteOrderInfo &order = orders.at(r);
        auto *cell = new QWidget;
        auto *layout = new QHBoxLayout(cell);
        layout->setContentsMargins(k->scale(8), 0, 0, 0);
        layout->setAlignment(Qt::AlignLeft);
        auto *num = new QLabel(QStringLiteral("%1/%2/%3")
                                   .arg(order.successFiles.size())
                                   .arg(order.failedFiles.size())
                                   .arg(order.allFiles.size()),
                               cell);
        num->setObjectName(QStringLiteral("numLab"));
        auto *bar = new QProgressBar(cell);
        bar->setObjectName(QStringLiteral("progressBar"));
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setFixedSize(k->scale(80), k->scale(16));
        bar->setTextVisible(true);
        bar->hide();
        const auto button = [](const QString &name, const QString &text, int type) {
            auto *b = new ElementButton;
            b->setObjectName(name);
            b->setText(text);
            b->setSize(0);
            b->setType(type);
            b->setAlternateScheme(true);
            // The text-only look at its smallest size was a pale green
            // that could not be read on white.
            b->setStyleSheet(BatchDeleteStyles::resultLink(type == 3));
            b->setCursor(Qt::PointingHandCursor);
            b->hide();
            return b;
        };
        ElementButton *okButton = button(QStringLiteral("checkOkBtn"), QStringLiteral("查看成功"), 2);
        ElementButton *failButton = button(QStringLiteral("checkFailBtn"), QStringLiteral("查看失败"), 3);
        layout->addWidget(num);
        layout->addWidget(bar);
        layout->addWidget(okButton);
        layout->addWidget(failButton);
        connect(okButton, &ElementButton::clicked, this, [this, r]() { showSuccessPhotos(r); });
        connect(failButton, &ElementButton::clicked, this, [this, r]() { showFailedPhotos(r); });
        orderTable->setCellWidget(r, column, cell);
        // A row made after its order ran shows where the run left it.
        if (!orderAt(r).allFiles.isEmpty())
            updateCounter(r);
    }
}

void BatchDelete_OrderListWidget::createVisibleRowWidgets()
{
    const int rows = orderTable->rowCount();
    if (rows == 0)
        return;
    int first = orderTable->rowAt(0);
    int last = orderTable->rowAt(orderTable->viewport()->height() - 1);
    if (first < 0)
        first = 0;
    if (last < 0)
        last = rows - 1;
    // A few rows beyond each edge, so a scroll by a step shows them whole.
    first = std::max(0, first - kRowMargin);
    last = std::min(rows - 1, last + kRowMargin);
    for (int r = first; r <= last && r < orders.size(); ++r)
        createRowWidgets(r);
}

void BatchDelete_OrderListWidget::fillOrders(int count, const std::function<BatchDeleteOrderInfo(int)> &make)
{
    feeder->start(count, [this, make](int i) { addOrderRow(make(i)); }, [this]() { emit ordersFilled(); });
}

bool BatchDelete_OrderListWidget::isFilling() const
{
    return feeder->isRunning();
}

QList<BatchDeleteOrderInfo> BatchDelete_OrderListWidget::getCheckedOrders() const
{
    QList<BatchDeleteOrderInfo> checked;
    for (const BatchDeleteOrderInfo &order : orders) {
        if (order.checked)
            checked.append(order);
    }
    return checked;
}

QCheckBox *BatchDelete_OrderListWidget::rowCheckBox(int row) const
{
    QWidget *cell = orderTable->cellWidget(row, column(kSelect));
    return cell ? cell->findChild<QCheckBox *>() : nullptr;
}

QWidget *BatchDelete_OrderListWidget::counterCell(int row) const
{
    return orderTable->cellWidget(row, column(kCounter));
}

void BatchDelete_OrderListWidget::setCheckBoxesEnabled(bool enabled)
{
    boxesEnabled = enabled;
    selectAllCheckBox->setEnabled(enabled);
    for (int row = 0; row < orderTable->rowCount(); ++row) {
        if (QCheckBox *box = rowCheckBox(row))
            box->setEnabled(enabled);
    }
}

int BatchDelete_OrderListWidget::indexOf(const QString &orderPhotoId) const
{
    for (int i = 0; i < orders.size(); ++i) {
        if (orders.at(i).order_photo_id == orderPhotoId)
            return i;
    }
    return -1;
}

void BatchDelete_OrderListWidget::followRun(const BatchDeleteRun *deleteRun)
{
    if (run)
        disconnect(run, nullptr, this, nullptr);
    run = deleteRun;
    if (!run)
        return;
    connect(run, &BatchDeleteRun::orderFilesAnnounced, this, &BatchDelete_OrderListWidget::onRunFilesAnnounced);
    connect(run, &BatchDeleteRun::fileFinished, this, &BatchDelete_OrderListWidget::onRunFileFinished);
}

void BatchDelete_OrderListWidget::onRunFilesAnnounced(const BatchDeleteOrderInfo &order)
{
    const int i = indexOf(order.order_photo_id);
    if (i < 0)
        return;
    showsRun[i] = true;
    // The row shows the run's list from now on; a look's list is stale.
    orders[i].allFiles.clear();
    updateCounter(i);
}

void BatchDelete_OrderListWidget::onRunFileFinished(const BatchDeleteOrderInfo &order)
{
    const int i = indexOf(order.order_photo_id);
    if (i >= 0 && showsRun.at(i))
        updateCounter(i);
}

void BatchDelete_OrderListWidget::updateOrderFiles(const QString &orderPhotoId, const QList<BatchDeleteFileInfo> &files)
{
    const int i = indexOf(orderPhotoId);
    if (i < 0)
        return;
    showsRun[i] = false;
    orders[i].allFiles = files;
    updateCounter(i);
}

BatchDeleteOrderInfo BatchDelete_OrderListWidget::orderAt(int row) const
{
    if (row < 0 || row >= orders.size()) {
        BatchDeleteOrderInfo none;
        none.row = -1;
        return none;
    }
    BatchDeleteOrderInfo order = orders.at(row);
    if (showsRun.at(row) && run) {
        const BatchDeleteOrderInfo record = run->order(order.order_photo_id);
        order.allFiles = record.allFiles;
        order.successFiles = record.successFiles;
        order.failedFiles = record.failedFiles;
    }
    return order;
}

void BatchDelete_OrderListWidget::updateCounter(int row)
{
    QWidget *cell = counterCell(row);
    if (!cell)
        return;
    const BatchDeleteOrderInfo order = orderAt(row);
    const int s = order.successFiles.size();
    const int f = order.failedFiles.size();
    const int n = order.allFiles.size();
    if (auto *num = cell->findChild<QLabel *>(QStringLiteral("numLab")))
        num->setText(QStringLiteral("%1/%2/%3").arg(s).arg(f).arg(n));
    auto *bar = cell->findChild<QProgressBar *>(QStringLiteral("progressBar"));
    auto *okButton = cell->findChild<ElementButton *>(QStringLiteral("checkOkBtn"));
    auto *failButton = cell->findChild<ElementButton *>(QStringLiteral("checkFailBtn"));
    if (bar) {
        if (bar->maximum() != n)
            bar->setMaximum(n);
        bar->setValue(s + f);
        // A list nothing has been deleted from yet shows its count only.
        bar->setVisible(s + f > 0 && s + f < n);
    }
    const bool done = s + f > 0 && s + f >= n;
    if (okButton)
        okButton->setVisible(done && s > 0);
    if (failButton)
        failButton->setVisible(done && f > 0);
}

BatchDeleteOrderInfo BatchDelete_OrderListWidget::currentOrder() const
{
    return orderAt(orderTable->currentRow());
}

void BatchDelete_OrderListWidget::setOrderChecked(int row, bool checked)
{
    if (row >= 0 && row < orders.size())
        orders[row].checked = checked;
}

void BatchDelete_OrderListWidget::onCheckBoxStateChanged(int state)
{
    auto *box = qobject_cast<QCheckBox *>(sender());
    if (!box)
        return;
    const int row = box->property("row").toInt();
    if (row >= 0 && row < orders.size())
        orders[row].checked = state == Qt::Checked;

    int checkedCount = 0;
    for (const BatchDeleteOrderInfo &order : qAsConst(orders)) {
        if (order.checked)
            ++checkedCount;
    }
    const QSignalBlocker blocker(selectAllCheckBox);
    if (checkedCount > 0 && checkedCount == orders.size())
        selectAllCheckBox->setCheckState(Qt::Checked);
    else if (checkedCount > 0)
        selectAllCheckBox->setCheckState(Qt::PartiallyChecked);
    else
        selectAllCheckBox->setCheckState(Qt::Unchecked);
}

void BatchDelete_OrderListWidget::onSelectAllChanged(int state)
{
    setAllChecked(state == Qt::Checked);
}

void BatchDelete_OrderListWidget::setAllChecked(bool checked)
{
    for (int row = 0; row < orderTable->rowCount(); ++row) {
        if (QCheckBox *box = rowCheckBox(row)) {
            const QSignalBlocker blocker(box);
            box->setChecked(checked);
        }
        if (row < orders.size())
            orders[row].checked = checked;
    }
}

void BatchDelete_OrderListWidget::onTableSelectionChanged()
{
    const int row = orderTable->currentRow();
    if (row >= 0 && row < orders.size())
        emit singleOrderClicked(orderAt(row));
}

void BatchDelete_OrderListWidget::showSuccessPhotos(int row)
{
    showFileList(row, false);
}

void BatchDelete_OrderListWidget::showFailedPhotos(int row)
{
    showFileList(row, true);
}

void BatchDelete_OrderListWidget::showFileList(int row, bool failed)
{
    if (row < 0 || row >= orders.size())
        return;
    const BatchDeleteOrderInfo order = orderAt(row);
    QString message;
    for (const BatchDeleteFileInfo &file : failed ? order.failedFiles : order.successFiles) {
        message += QLatin1Char('\n') + file.dirName + QLatin1Char('/') + file.fileName;
        if (failed)
            message += QStringLiteral(": ") + file.errorMessage;
    }
    const QString title = order.orderpayforkey + QLatin1Char('-') + order.servicetimes
        + (failed ? QStringLiteral(" 删除失败的照片") : QStringLiteral(" 删除成功的照片"));
    SimpleDialog::showQuestion(this, title, message, nullptr, false);
}
