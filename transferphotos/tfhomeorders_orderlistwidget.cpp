#include "transferphotos/tfhomeorders_orderlistwidget.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "base/k.h"
#include "base/modalbox.h"
#include "base/pathutil.h"
#include "base/sharedfolderopener.h"
#include "public/columnfit.h"
#include "public/ordernumberbuttondelegate.h"
#include "public/rowfeeder.h"
#include "public/tablelook.h"
#include "public/theme.h"
#include "public/toastwidget.h"
#include "transferphotos/jobs/tflog.h"
#include "transferphotos/jobs/tforderstate.h"
#include "base/orderreplies.h"

namespace {

// The 已选 cell of an order without picks, and the status colours, read the
// labels of the order states.
const QString kNotSelected = TfOrderState::label(OrderRunState::NotSelected);
const QString kWaiting = TfOrderState::label(OrderRunState::Waiting);
const QString kNotUploaded = TfOrderState::label(OrderRunState::NotUploaded);

const QString kReportFailed = QStringLiteral("上报失败");

const QString kSelectTitle = QStringLiteral("选择照片/视频");
const QString kCleanTitle = QStringLiteral("清空已选");
const QString kOpenTitle = QStringLiteral("打开");

// The first rows get their buttons as soon as the table is next used, more
// rows than a screen holds; later rows get theirs when they first scroll into
// view. Buttons are never made while rows are being added: with any cell
// widget in the table, every inserted row lays out the whole table again, so
// a search of thousands of orders took time growing with the square of its
// size.
constexpr int kEagerOperationRows = 40;

// The program's open-files dialog: it starts at the folder last used, else
// the user's home, never in the program's working folder.
QStringList dialogPicker(QWidget *parent, const QString &caption, const QString &filter)
{
    return ModalBox::getOpenFileNames(parent, caption, filter);
}

tfhomeorders_OrderListWidget::FilePicker &filePicker()
{
    static tfhomeorders_OrderListWidget::FilePicker picker = dialogPicker;
    return picker;
}

QString px(int value)
{
    return QString::number(K::instance()->scale(value));
}

QString greenButtonStyle()
{
    return Theme::sheet(QStringLiteral("QPushButton { background-color: @greenButton; color: white; border: 1px solid @greenButtonFrame;"
                                       " border-radius: 4px; font-size: ")
        + px(10) + QStringLiteral("px; font-weight: 600; }"
                                  "QPushButton:hover { background-color: @greenButtonHover; }"
                                  "QPushButton:pressed { background-color: @greenButtonPressed; }"));
}

QString greyButtonStyle()
{
    return Theme::sheet(QStringLiteral("QPushButton { background-color: @busyButton; color: white; border: none;"
                                       " border-radius: 4px; font-size: ")
        + px(10) + QStringLiteral("px; font-weight: 600; }"));
}

QString openButtonStyle()
{
    return Theme::sheet(QStringLiteral("QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @blueButtonTop,"
                                       " stop:1 @accent); color: white; border: 1px solid @accentDeep; border-radius: 4px; font-size: ")
        + px(10) + QStringLiteral("px; font-weight: 600; }"));
}

QString resubmitButtonStyle()
{
    return Theme::sheet(QStringLiteral("QPushButton { background-color: @dangerTint; color: @danger; border: 1px solid @danger;"
                                       " border-radius: 4px; font-size: ")
        + px(10)
        + QStringLiteral("px; font-weight: 600; margin: 8px 2px; }"
                         "QPushButton:hover { background-color: @danger; color: white; }"
                         "QPushButton:disabled { background-color: @disabledFace; color: @textFaint; border-color: @disabledFrame; }"));
}

QString startStyle()
{
    return Theme::sheet(QStringLiteral("QPushButton { background-color: @greenButton; color: white; border: 1px solid @greenButtonDeep;"
                                       " border-radius: ")
        + px(3) + QStringLiteral("px; font-size: ") + px(10)
        + QStringLiteral("px; font-weight: 600; }"
                         "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @greenButtonHoverTop,"
                         " stop:1 @greenButton); }"
                         "QPushButton:pressed { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @greenButtonPressedTop,"
                         " stop:1 @greenButtonDeep); }"));
}

QString pauseStyle()
{
    return Theme::sheet(QStringLiteral("QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @orangeButtonTop,"
                                       " stop:1 @warning); color: white; border: 1px solid @orangeButtonFrame; border-radius: ")
        + px(3) + QStringLiteral("px; font-size: ") + px(10) + QStringLiteral("px; font-weight: 600; }"));
}

// The handle alone over the rows, without a track, the same size on every
// display.
TableLook::ScrollBarLook scrollBarLook()
{
    TableLook::ScrollBarLook look = TableLook::thinLook();
    look.track = QStringLiteral("transparent");
    look.thickness = 8;
    look.radius = 4;
    look.minLength = 0;
    look.handleMargin = 0;
    look.corner.clear();
    return look;
}

QString tableStyle()
{
    return Theme::sheet(QStringLiteral("QTableWidget { border: none; background-color: white; gridline-color: @gridLine;"
                                       " font-size: ")
                        + px(12)
                        + QStringLiteral("px; }"
                                         "QTableWidget::item:selected { background-color: @selection; }"))
        + Theme::tableHeaderSheet(QStringLiteral("padding-left: 15px;"), 12, 600) + TableLook::thinScrollBars(scrollBarLook());
}

int columnWidth(const QString &header)
{
    static const QMap<QString, int> widths{
        {QStringLiteral("订单号"), 100},
        {QStringLiteral("客户姓名"), 110},
        {QStringLiteral("样前修片师"), 80},
        {QStringLiteral("已导"), 70},
        {QStringLiteral("上传状态"), 70},
        {QStringLiteral("已选"), 70},
        {QStringLiteral("操作"), 250},
        {QStringLiteral("导片路径"), 360},
        {QStringLiteral("男士电话"), 150},
        {QStringLiteral("女士电话"), 150},
        {QStringLiteral("摄影师"), 70},
        {QStringLiteral("化妆师"), 70},
        {QStringLiteral("选片师"), 100},
        {QStringLiteral("选片完成时间"), 100},
        {QStringLiteral("男士姓名"), 70},
        {QStringLiteral("女士姓名"), 70},
    };
    return widths.value(header, 100);
}

QString customerName(const OrderInfo &order)
{
    if (order.mname.isEmpty())
        return order.wname;
    if (order.wname.isEmpty())
        return order.mname;
    return order.mname + QLatin1Char('/') + order.wname;
}

QString importedText(const OrderInfo &order)
{
    return QStringLiteral("%1/%2/%3")
        .arg(order.photos.size())
        .arg(order.trialVideos.size())
        .arg(order.retouchedVideos.size());
}

QString selectedText(const OrderInfo &order)
{
    if (order.selectedFiles.isEmpty())
        return kNotSelected;
    return QString::number(OrderPicks::pickedCount(order, uploadTypeOf(order))) + QStringLiteral("张");
}

} // namespace

UploadType uploadTypeOf(const OrderInfo &order)
{
    return OrderPicks::typeOfPicks(order, static_cast<UploadType>(g_uploadType.load()));
}

void tfhomeorders_OrderListWidget::setFilePicker(FilePicker picker)
{
    filePicker() = picker ? std::move(picker) : FilePicker(dialogPicker);
}

tfhomeorders_OrderListWidget::tfhomeorders_OrderListWidget(QWidget *parent)
    : QWidget(parent)
{
    importing = false;
    setupUI();
}

tfhomeorders_OrderListWidget::~tfhomeorders_OrderListWidget()
{
    // The group first: it refers to the radio buttons.
    delete typeGroup;
    typeGroup = nullptr;
    // The table's scroll bar still moves while the base class deletes it.
    table->verticalScrollBar()->disconnect(this);
}

void tfhomeorders_OrderListWidget::setupUI()
{
    folderOpener = new SharedFolderOpener(this);
    feeder = new RowFeeder(this);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *parentWidget = new QWidget(this);
    parentWidget->setObjectName(QStringLiteral("parentWidget"));
    parentWidget->setStyleSheet(Theme::sheet(QStringLiteral("#parentWidget {   border: 1px solid @groupFrame;   border-radius: 10px;}")));
    outer->addWidget(parentWidget);
    contentLayout = new QVBoxLayout(parentWidget);
    const int margin = K::instance()->scale(10);
    contentLayout->setContentsMargins(margin, margin, margin, margin);
    contentLayout->setSpacing(K::instance()->scale(5));

    toolbarLayout = new QHBoxLayout();
    toolbarLayout->setSpacing(K::instance()->scale(5));
    photoTypeButton = new QRadioButton(QStringLiteral("成品照片"), parentWidget);
    photoTypeButton->setObjectName(QStringLiteral("photoTypeButton"));
    trialVideoButton = new QRadioButton(QStringLiteral("试拍视频"), parentWidget);
    trialVideoButton->setObjectName(QStringLiteral("trialVideoButton"));
    retouchedVideoButton = new QRadioButton(QStringLiteral("精修视频"), parentWidget);
    retouchedVideoButton->setObjectName(QStringLiteral("retouchedVideoButton"));
    typeGroup = new QButtonGroup(this);
    typeGroup->setExclusive(true);
    typeGroup->addButton(photoTypeButton, 0);
    typeGroup->addButton(trialVideoButton, 1);
    typeGroup->addButton(retouchedVideoButton, 2);
    for (QRadioButton *radio : {photoTypeButton, trialVideoButton, retouchedVideoButton})
        radio->setStyleSheet(Theme::sheet(QStringLiteral("QRadioButton { font-size: ") + px(12)
                                          + QStringLiteral("px; color: @text; }")));
    toolbarLayout->addWidget(photoTypeButton);
    toolbarLayout->addWidget(trialVideoButton);
    toolbarLayout->addWidget(retouchedVideoButton);
    toolbarLayout->addStretch();
    startAllButton = new QPushButton(QStringLiteral("全部开始"), parentWidget);
    startAllButton->setObjectName(QStringLiteral("startAllButton"));
    startAllButton->setFixedHeight(K::instance()->scale(25));
    startAllButton->setMinimumWidth(K::instance()->scale(70));
    startAllButton->setStyleSheet(startStyle());
    connect(startAllButton, &QPushButton::clicked, this, &tfhomeorders_OrderListWidget::onStartAllClicked);
    toolbarLayout->addWidget(startAllButton);
    contentLayout->addLayout(toolbarLayout);

    headers = QStringList{
        QStringLiteral("订单号"), QStringLiteral("客户姓名"), QStringLiteral("样前修片师"), QStringLiteral("已导"),
        QStringLiteral("上传状态"), QStringLiteral("已选"), QStringLiteral("操作"), QStringLiteral("导片路径"),
        QStringLiteral("男士电话"), QStringLiteral("女士电话"), QStringLiteral("摄影师"), QStringLiteral("化妆师"),
        QStringLiteral("选片师"), QStringLiteral("选片完成时间"),
    };
    table = new QTableWidget(0, headers.size(), parentWidget);
    table->setObjectName(QStringLiteral("orderTable"));
    table->setHorizontalHeaderLabels(headers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setAlternatingRowColors(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The row buttons' height and a little air: more orders on a short
    // screen than rows of the old 50.
    table->verticalHeader()->setDefaultSectionSize(K::instance()->scale(36));
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->setStyleSheet(tableStyle());
    // One line a cell, cut with an ellipsis: a long path wrapped into a
    // second line that the row's height cut off. A selected row keeps its
    // status colours.
    table->setWordWrap(false);
    TableLook::keepItemColours(table);
    for (int c = 0; c < headers.size(); ++c) {
        table->setColumnWidth(c, K::instance()->scale(columnWidth(headers.at(c))));
        if (headers.at(c) == QStringLiteral("订单号")) {
            orderNumberDelegate = new OrderNumberButtonDelegate(table);
            table->setItemDelegateForColumn(c, orderNumberDelegate);
            connect(orderNumberDelegate, &OrderNumberButtonDelegate::orderNumberClicked, this,
                    &tfhomeorders_OrderListWidget::onOrderNumberClicked);
        }
    }
    contentLayout->addWidget(table);
    // The buttons' column is as wide as its buttons: "选择照片/视频",
    // "清空已选" and "打开", their gaps and the cell's margins.
    table->setColumnWidth(columnOf(QStringLiteral("操作")), K::instance()->scale(80 + 80 + 50 + 4 * 2 + 6));
    table->ensurePolished();
    table->viewport()->installEventFilter(this);

    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &tfhomeorders_OrderListWidget::onTableSelectionChanged);
    // A scroll, a resize and the layout after new rows all move the range or
    // the value of the scroll bar.
    operationCellTimer = new QTimer(this);
    operationCellTimer->setSingleShot(true);
    operationCellTimer->setInterval(0);
    connect(operationCellTimer, &QTimer::timeout, this, &tfhomeorders_OrderListWidget::makeOperationCells);
    connect(table->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &tfhomeorders_OrderListWidget::makeOperationCells);
    connect(table->verticalScrollBar(), &QScrollBar::rangeChanged, this,
            &tfhomeorders_OrderListWidget::makeOperationCells);
    const QList<QRadioButton *> radios{photoTypeButton, trialVideoButton, retouchedVideoButton};
    for (int type = 0; type < radios.size(); ++type) {
        connect(radios.at(type), &QRadioButton::toggled, this, [this, type](bool on) {
            if (on)
                setUploadType(type);
        });
    }
    // Checked once connected: the upload type is one value for the whole
    // program, and a window closed with a video type must not leave this one
    // showing "成品照片" while picking videos.
    photoTypeButton->setChecked(true);
}

void tfhomeorders_OrderListWidget::fitColumns()
{
    if (fitting)
        return;
    K *k = K::instance();
    const int available = table->viewport()->width();
    if (available <= 0)
        return;
    const int buttons = columnOf(QStringLiteral("操作"));
    const int path = columnOf(QStringLiteral("导片路径"));
    QHeaderView *header = table->horizontalHeader();
    // Narrowest a column gets: its whole title (after the header's 15 px
    // padding) where its content is short, three characters and the
    // ellipsis where it gives way further.
    const int least = table->fontMetrics().horizontalAdvance(QStringLiteral("中中中\u2026")) + k->scale(12);
    const auto title = [header, k](const QString &text) {
        return header->fontMetrics().horizontalAdvance(text) + 15 + k->scale(10);
    };
    // What the user acts on stays on screen: the customer's name gives way
    // first, then the counters, then the retoucher and the status; the
    // order number (fitted to its longest) and the row buttons never.
    QVector<ColumnFit::Column> fit;
    for (int c = 0; c <= buttons; ++c) {
        const QString &name = headers.at(c);
        const int wanted = k->scale(columnWidth(name));
        if (name == QStringLiteral("订单号") || c == buttons)
            fit.append({table->columnWidth(c), 0, 0});
        else if (name == QStringLiteral("客户姓名"))
            fit.append({wanted, qMin(wanted, title(name)), 1});
        else if (name == QStringLiteral("已导") || name == QStringLiteral("已选"))
            fit.append({wanted, qMin(wanted, title(name)), 2});
        else
            fit.append({wanted, qMin(wanted, least), 3});
    }
    const QVector<int> widths = ColumnFit::widths(fit, available, false);
    int used = 0;
    fitting = true;
    for (int c = 0; c < widths.size(); ++c) {
        used += widths.at(c);
        if (table->columnWidth(c) != widths.at(c))
            table->setColumnWidth(c, widths.at(c));
    }
    // The path takes the rest of the screen's width, cut with an ellipsis,
    // where there is room for a useful part of it; else its own width,
    // reached by scrolling.
    const int rest = available - used;
    const int pathWidth = rest >= 2 * least ? rest : k->scale(columnWidth(headers.at(path)));
    if (table->columnWidth(path) != pathWidth)
        table->setColumnWidth(path, pathWidth);
    fitting = false;
}

bool tfhomeorders_OrderListWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == table->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QWidget::eventFilter(watched, event);
}

int tfhomeorders_OrderListWidget::columnOf(const QString &header) const
{
    return headers.indexOf(header);
}

QString tfhomeorders_OrderListWidget::cellText(int row, const QString &header) const
{
    const int column = columnOf(header);
    if (row < 0 || row >= table->rowCount() || column < 0)
        return QString();
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

void tfhomeorders_OrderListWidget::setCell(int row, const QString &header, const QString &text)
{
    const int column = columnOf(header);
    if (row < 0 || row >= table->rowCount() || column < 0)
        return;
    QTableWidgetItem *item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem();
        table->setItem(row, column, item);
    }
    item->setText(text);
}

void tfhomeorders_OrderListWidget::setStatusCell(int row, const QString &status, bool coloured)
{
    // A new status replaces what was shown of the order's reports.
    if (table->cellWidget(row, columnOf(QStringLiteral("上传状态"))))
        table->removeCellWidget(row, columnOf(QStringLiteral("上传状态")));
    setCell(row, QStringLiteral("上传状态"), status);
    if (!coloured)
        return;
    if (QTableWidgetItem *item = table->item(row, columnOf(QStringLiteral("上传状态"))))
        item->setForeground(QColor(statusColor(status)));
}

QString tfhomeorders_OrderListWidget::statusColor(const QString &status)
{
    if (status == QStringLiteral("已完成"))
        return Theme::success.name();
    if (status == QStringLiteral("上传中"))
        return Theme::accent.name();
    if (status == kWaiting)
        return Theme::warning.name();
    if (status == kNotUploaded)
        return Theme::textMuted.name();
    return Theme::text.name();
}

void tfhomeorders_OrderListWidget::clearOrders()
{
    feeder->cancel();
    orders.clear();
    resumeNotes.clear();
    table->setRowCount(0);
}

void tfhomeorders_OrderListWidget::fillOrders(int count, const std::function<OrderInfo(int)> &orderAt)
{
    clearOrders();
    // All rows in one step, then only their cells: a row inserted while a
    // row has its buttons lays out every button of the table again.
    table->setRowCount(qMax(0, count));
    feeder->start(count, [this, orderAt](int i) { addOrderRow(orderAt(i)); });
}

bool tfhomeorders_OrderListWidget::isFilling() const
{
    return feeder->isRunning();
}

QWidget *tfhomeorders_OrderListWidget::makeOperationCell(int row)
{
    auto *cell = new QWidget();
    cell->setStyleSheet(QStringLiteral("QWidget { background: transparent; }"));
    auto *layout = new QHBoxLayout(cell);
    const int gap = K::instance()->scale(2);
    layout->setContentsMargins(gap, gap, gap, gap);
    layout->setSpacing(gap);

    auto *select = new QPushButton(kSelectTitle, cell);
    select->setObjectName(QStringLiteral("selectPhotosButton"));
    auto *clean = new QPushButton(kCleanTitle, cell);
    clean->setObjectName(QStringLiteral("cleanPhotosButton"));
    for (QPushButton *button : {select, clean}) {
        button->setFixedSize(K::instance()->scale(80), K::instance()->scale(25));
        button->setProperty("row", row);
        button->setEnabled(!importing);
        button->setStyleSheet(importing ? greyButtonStyle() : greenButtonStyle());
        layout->addWidget(button);
    }
    connect(select, &QPushButton::clicked, this, &tfhomeorders_OrderListWidget::onSelectPhotosClicked);
    connect(clean, &QPushButton::clicked, this, &tfhomeorders_OrderListWidget::onCleanPhotosClicked);
    if (openypml == 1) {
        auto *open = new QPushButton(kOpenTitle, cell);
        open->setObjectName(QStringLiteral("openFolderButton"));
        open->setFixedSize(K::instance()->scale(50), K::instance()->scale(25));
        open->setProperty("row", row);
        open->setStyleSheet(openButtonStyle());
        connect(open, &QPushButton::clicked, this, &tfhomeorders_OrderListWidget::onOpenPhotoPathClicked);
        layout->addWidget(open);
    }
    layout->addStretch();
    return cell;
}

void tfhomeorders_OrderListWidget::addOrderRow(const OrderInfo &order)
{
    const int row = orders.size();
    OrderInfo stored = order;
    // The table's invariant: an order's row is its index in the list.
    stored.row = row;
    orders.append(stored);
    // A fill made the row already.
    if (row >= table->rowCount())
        table->insertRow(row);
    const QString orderNumber = stored.orderpayforkey + QLatin1Char('-') + stored.servicetimes;
    setCell(row, QStringLiteral("订单号"), orderNumber);
    // An order number wider than the column would be cut on both sides.
    const int numberColumn = columnOf(QStringLiteral("订单号"));
    const int numberWidth = table->columnWidth(numberColumn);
    TableLook::fitCell(table, table->model()->index(row, numberColumn));
    if (table->columnWidth(numberColumn) != numberWidth)
        fitColumns();
    setCell(row, QStringLiteral("客户姓名"), customerName(stored));
    setCell(row, QStringLiteral("样前修片师"), stored.tiaosename);
    setCell(row, QStringLiteral("已导"), importedText(stored));
    setStatusCell(row, stored.uploadStatus, true);
    setCell(row, QStringLiteral("已选"), selectedText(stored));
    operationCellTimer->start();
    setPathCell(row, stored.importPath);
    setCell(row, QStringLiteral("男士电话"), stored.mphone);
    setCell(row, QStringLiteral("女士电话"), stored.wphone);
    setCell(row, QStringLiteral("摄影师"), stored.role1);
    setCell(row, QStringLiteral("化妆师"), stored.role2);
    setCell(row, QStringLiteral("选片师"), stored.selectphotoname);
    setCell(row, QStringLiteral("选片完成时间"), stored.selectphototime);
    // A row chosen before its order arrived shows that order now.
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    if (!selected.isEmpty() && selected.first().row() == row)
        onTableSelectionChanged();
}

void tfhomeorders_OrderListWidget::makeOperationCells()
{
    operationCellTimer->stop();
    const int column = columnOf(QStringLiteral("操作"));
    auto make = [this, column](int row) {
        if (!table->cellWidget(row, column))
            table->setCellWidget(row, column, makeOperationCell(row));
    };
    // Rows still waiting for their order get their buttons with it.
    const int rows = orders.size();
    for (int row = 0; row < qMin(rows, kEagerOperationRows); ++row)
        make(row);
    const int first = table->rowAt(0);
    if (first < 0)
        return;
    int last = table->rowAt(table->viewport()->height() - 1);
    if (last < 0 || last >= rows)
        last = rows - 1;
    for (int row = first; row <= last; ++row)
        make(row);
}

QTableWidget *tfhomeorders_OrderListWidget::tableWidget()
{
    makeOperationCells();
    return table;
}

OrderInfo tfhomeorders_OrderListWidget::currentOrder() const
{
    const int row = table->currentRow();
    if (row < 0 || row >= orders.size())
        return OrderInfo();
    return orders.at(row);
}

OrderInfo tfhomeorders_OrderListWidget::orderAt(int index) const
{
    if (index < 0 || index >= orders.size())
        return OrderInfo();
    return orders.at(index);
}

bool tfhomeorders_OrderListWidget::holdsOrder(const OrderInfo &order, const char *what) const
{
    if (order.row < 0 || order.row >= orders.size()) {
        qCWarning(lcTransfer) << what << "的行已不存在，已丢弃:" << order.row << order.orderpayforkey;
        return false;
    }
    if (orders.at(order.row).order_photo_id != order.order_photo_id) {
        qCWarning(lcTransfer) << what << "的订单与该行的订单不同，已丢弃: 行" << order.row << "订单"
                              << order.order_photo_id << "该行" << orders.at(order.row).order_photo_id;
        return false;
    }
    return true;
}

void tfhomeorders_OrderListWidget::updateOrder(const OrderInfo &order)
{
    if (!holdsOrder(order, "写回订单"))
        return;
    orders[order.row] = order;
    // Reports of the last files may be answered after the end-of-batch
    // refresh: the imported counts follow every write-back.
    setCell(order.row, QStringLiteral("已导"), importedText(order));
}

void tfhomeorders_OrderListWidget::updateImportedCounts(const QMap<QString, OrderInfo> &counts)
{
    for (int row = 0; row < orders.size(); ++row) {
        auto it = counts.constFind(orders.at(row).order_photo_id);
        if (it == counts.constEnd())
            continue;
        OrderInfo &stored = orders[row];
        stored.photos = it->photos;
        stored.trialVideos = it->trialVideos;
        stored.retouchedVideos = it->retouchedVideos;
        setCell(row, QStringLiteral("已导"), importedText(stored));
    }
}

void tfhomeorders_OrderListWidget::setOrderStatus(const OrderInfo &order, OrderRunState state)
{
    if (!holdsOrder(order, "订单状态"))
        return;
    orders[order.row].importPath = order.importPath;
    setRowState(order.row, state, true);
    setPathCell(order.row, order.importPath);
}

void tfhomeorders_OrderListWidget::setPathCell(int row, const QString &path)
{
    setCell(row, QStringLiteral("导片路径"), PathUtil::toDisplay(path));
    // The whole path where the column cuts it.
    if (QTableWidgetItem *item = table->item(row, columnOf(QStringLiteral("导片路径"))))
        item->setToolTip(PathUtil::toDisplay(path));
}

void tfhomeorders_OrderListWidget::setResumeNote(const OrderInfo &order, const QString &note)
{
    if (!holdsOrder(order, "重新导入说明"))
        return;
    resumeNotes.insert(order.row, note);
    if (QTableWidgetItem *item = table->item(order.row, columnOf(QStringLiteral("已选"))))
        item->setToolTip(note);
}

void tfhomeorders_OrderListWidget::setRowState(int row, OrderRunState state, bool coloured)
{
    TfOrderState::set(&orders[row], state);
    setStatusCell(row, orders.at(row).uploadStatus, coloured);
}

void tfhomeorders_OrderListWidget::setReportProblems(const OrderInfo &order, const QStringList &problems)
{
    if (!holdsOrder(order, "上报状态"))
        return;
    const int row = order.row;
    const int column = columnOf(QStringLiteral("上传状态"));
    if (problems.isEmpty()) {
        if (table->cellWidget(row, column))
            setStatusCell(row, orders.at(row).uploadStatus, true);
        return;
    }
    setCell(row, QStringLiteral("上传状态"), kReportFailed);
    auto *button = qobject_cast<QPushButton *>(table->cellWidget(row, column));
    if (!button) {
        button = new QPushButton(kReportFailed);
        button->setObjectName(QStringLiteral("resubmitReportsButton"));
        button->setProperty("row", row);
        button->setCursor(Qt::PointingHandCursor);
        button->setStyleSheet(resubmitButtonStyle());
        connect(button, &QPushButton::clicked, this, [this, button]() {
            const int clicked = button->property("row").toInt();
            if (clicked >= 0 && clicked < orders.size())
                emit resubmitReports(clicked);
        });
        table->setCellWidget(row, column, button);
    }
    button->setText(kReportFailed);
    button->setEnabled(true);
    button->setToolTip(problems.join(QLatin1Char('\n')) + QStringLiteral("\n点击重新上报"));
}

void tfhomeorders_OrderListWidget::setReportsResubmitting(const OrderInfo &order)
{
    if (!holdsOrder(order, "重新上报"))
        return;
    auto *button = qobject_cast<QPushButton *>(table->cellWidget(order.row, columnOf(QStringLiteral("上传状态"))));
    if (!button)
        return;
    button->setText(QStringLiteral("上报中…"));
    button->setEnabled(false);
}

void tfhomeorders_OrderListWidget::updateProgress(const OrderInfo &order, int percent)
{
    if (!holdsOrder(order, "导片进度"))
        return;
    OrderInfo &stored = orders[order.row];
    stored.importedCount = percent;
    setCell(order.row, QStringLiteral("已选"),
            QStringLiteral("%1% %2张").arg(percent).arg(OrderPicks::pickedCount(stored, uploadTypeOf(stored))));
}

void tfhomeorders_OrderListWidget::updatePhotoStatus(const OrderInfo &order, int index, const QString &name, int state)
{
    if (!holdsOrder(order, "照片状态"))
        return;
    // In place: every check comes before the first write, and a large order
    // is not copied once more per result.
    OrderInfo &stored = orders[order.row];
    OrderPicks::applyResult(&stored, uploadTypeOf(stored), index, name, state);
}

void tfhomeorders_OrderListWidget::countUploadedPhotos(int row, const std::function<void(int, QString)> &done)
{
    const OrderInfo order = orderAt(row);
    QString names;
    const int count = OrderPicks::countUploaded(order, uploadTypeOf(order), &names);
    if (done)
        done(count, names);
}

QList<PhotoInfo> tfhomeorders_OrderListWidget::addSelectedFiles(const QStringList &files, const OrderInfo &order)
{
    return OrderPicks::entriesFor(files, order, g_uploadType.load());
}

int tfhomeorders_OrderListWidget::rowOfSender() const
{
    const QObject *button = sender();
    if (!button)
        return -1;
    bool ok = false;
    const int row = button->property("row").toInt(&ok);
    if (!ok || row < 0 || row >= orders.size())
        return -1;
    return row;
}

void tfhomeorders_OrderListWidget::showInfo(const QString &title, const QString &text)
{
    ModalBox::showMessage(this, QMessageBox::Information, title, text);
}

void tfhomeorders_OrderListWidget::onSelectPhotosClicked()
{
    const int row = rowOfSender();
    if (row < 0 || importing)
        return;
    const OrderInfo order = orders.at(row);
    if (order.importPath.isEmpty() && order.publicNetpath.isEmpty()) {
        showInfo(QStringLiteral("温馨提示"),
                 order.storesname + QStringLiteral(" 没有设置本地云导片路径, 请在后台设置本地云导片路径！"));
        return;
    }

    const int type = g_uploadType.load();
    QString caption;
    QString filter;
    if (type == static_cast<int>(UploadType::Photos)) {
        caption = QStringLiteral("选择照片文件 (可使用Cmd+A全选)");
        filter = QStringLiteral("图片文件 (*.jpg *.jpeg *.JPG *.JPEG);;");
    } else {
        caption = QStringLiteral("选择视频文件 (可使用Cmd+A全选)");
        filter = QStringLiteral(
            "所有视频 (*.mp4 *.m4v *.mov *.avi *.mkv *.wmv *.flv *.webm *.3gp *.mpg *.mpeg *.ts *.mts *.m2ts *.vob *.rm "
            "*.rmvb *.ogv);;MP4文件 (*.mp4 *.m4v);;MOV文件 (*.mov);;AVI文件 (*.avi);;MKV文件 (*.mkv);;WMV文件 "
            "(*.wmv);;FLV/WebM (*.flv *.webm);;高清摄像 (*.mts *.m2ts *.ts);;");
    }
    QPointer<tfhomeorders_OrderListWidget> self(this);
    const QString orderId = order.order_photo_id;
    const QStringList files = filePicker()(this, caption, filter);
    // The dialog runs its own event loop: the table may have been reloaded
    // or an import started meanwhile.
    if (!self || files.isEmpty())
        return;
    if (importing || row >= orders.size() || orders.at(row).order_photo_id != orderId) {
        qCWarning(lcTransfer) << "选择文件期间订单列表已变化，已放弃本次选择:" << orderId;
        return;
    }

    // Files of one name would be copied onto each other in the order's folder.
    const QStringList duplicates = OrderPicks::duplicateNames(files);
    if (!duplicates.isEmpty()) {
        ModalBox::showMessage(this, QMessageBox::Warning, QStringLiteral("温馨提示"), QStringLiteral("以下文件名重复，导入时会互相覆盖，请重新选择：\n") + duplicates.join(QLatin1Char('\n')));
        return;
    }

    OrderInfo &stored = orders[row];
    stored.selectedFiles = addSelectedFiles(files, stored);
    stored.spareFlag = false;
    stored.selectedCount = files.size();
    stored.failedCount = 0;
    setRowState(row, OrderRunState::Waiting, true);
    setCell(row, QStringLiteral("已选"), QString::number(files.size()));

    emit orderSelectionChanged(row, stored);
    table->selectRow(row);
    showInfo(QStringLiteral("成功"), QStringLiteral("已选择 %1 ").arg(files.size()));
}

void tfhomeorders_OrderListWidget::onCleanPhotosClicked()
{
    const int row = rowOfSender();
    if (row < 0 || importing)
        return;
    OrderInfo &stored = orders[row];
    stored.selectedFiles.clear();
    stored.selectedCount = 0;
    stored.failedCount = 0;
    setRowState(row, OrderRunState::NotSelected, false);
    setCell(row, QStringLiteral("已选"), kNotSelected);
}

void tfhomeorders_OrderListWidget::onOpenPhotoPathClicked()
{
    const int row = rowOfSender();
    if (row < 0)
        return;
    const OrderInfo &order = orders.at(row);
    // Before the first import the folder is only known from the order's values.
    const QString folder = OrderPicks::targetFolder(order);
    QString error;
    if (folder.isEmpty())
        error = QStringLiteral("订单 %1 没有导片路径").arg(order.orderpayforkey);
    else
        error = folderOpener->openLocalFolder(folder);
    if (!error.isEmpty()) {
        qCWarning(lcTransfer) << "打开导片路径失败:" << error;
        ToastWidget::showToast(this, error, 2000);
    }
}

void tfhomeorders_OrderListWidget::onRestImportPathClicked()
{
    const int row = rowOfSender();
    if (row < 0)
        return;
    orders[row].importPath.clear();
    setCell(row, QStringLiteral("导片路径"), QString());
}

void tfhomeorders_OrderListWidget::onOrderNumberClicked(int row, QString text)
{
    Q_UNUSED(text)
    if (row < 0 || row >= orders.size())
        return;
    QApplication::clipboard()->setText(orders.at(row).orderpayforkey);
    ToastWidget::showToast(this, QStringLiteral("订单号已复制"), 2000);
}

void tfhomeorders_OrderListWidget::setUploadType(int type)
{
    g_uploadType.store(type);
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    if (!selected.isEmpty()) {
        const int row = selected.first().row();
        if (row >= 0 && row < orders.size() && !orders.at(row).selectedFiles.isEmpty()) {
            OrderInfo &stored = orders[row];
            stored.selectedFiles.clear();
            stored.spareFlag = false;
            stored.selectedCount = 0;
            stored.failedCount = 0;
            setRowState(row, OrderRunState::NotSelected, false);
            setCell(row, QStringLiteral("已选"), kNotSelected);
            emit orderSelectionChanged(row, stored);
            table->selectRow(row);
        }
    }
    onTableSelectionChanged();
}

void tfhomeorders_OrderListWidget::onTableSelectionChanged()
{
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const int row = selected.first().row();
    if (row >= 0 && row < orders.size())
        emit orderSelectionChanged(row, orders.at(row));
}

void tfhomeorders_OrderListWidget::onStartAllClicked()
{
    if (importing) {
        importing = false;
        setImporting(false);
        return;
    }
    importing = true;
    int first = -1;
    for (int i = 0; i < orders.size(); ++i) {
        const OrderInfo &order = orders.at(i);
        if (order.runState == OrderRunState::Importing || order.runState == OrderRunState::Waiting
            || order.runState == OrderRunState::NotUploaded || order.failedCount > 0) {
            first = i;
            break;
        }
    }
    startNext(first < 0 ? -1 : first - 1);
    setImporting(importing);
}

void tfhomeorders_OrderListWidget::setImporting(bool on)
{
    importing = on;
    refreshStartButton();
    updateOperationButtons();
    if (on)
        return;
    for (int i = 0; i < orders.size(); ++i) {
        if (orders.at(i).runState == OrderRunState::Importing) {
            setOrderStatus(orders.at(i), OrderRunState::Waiting);
            break;
        }
    }
    emit stopAllImport();
}

void tfhomeorders_OrderListWidget::startNext(int afterRow)
{
    if (orders.isEmpty()) {
        qCDebug(lcTransfer) << "订单列表为空，无法开始导片";
        importing = false;
        refreshStartButton();
        updateOperationButtons();
        return;
    }

    QString summary;
    for (int i = 0; i < orders.size(); ++i) {
        OrderInfo &order = orders[i];
        int failed = 0;
        if (order.runState == OrderRunState::Done) {
            // Successes are the photos that ended imported, not everything
            // that did not fail: a stopped or skipped photo is neither.
            const OrderPicks::Tally t = OrderPicks::tally(order, uploadTypeOf(order));
            failed = t.failed;
            summary += QLatin1Char('\n') + order.orderpayforkey + QLatin1Char('-') + order.servicetimes
                + QStringLiteral("  总数:") + QString::number(t.total) + QStringLiteral("  成功:")
                + QString::number(t.succeeded);
            if (t.failed > 0)
                summary += QStringLiteral("  失败:") + QString::number(t.failed);
            if (resumeNotes.contains(i))
                summary += QStringLiteral("  （") + resumeNotes.value(i) + QStringLiteral("）");
            if (t.failed > 0 || t.succeeded < t.total)
                setCell(i, QStringLiteral("已选"),
                        QStringLiteral("%1/%2 失败:%3").arg(t.succeeded).arg(t.total).arg(t.failed));
        }
        order.failedCount = failed;
    }

    // A paused sequence starts nothing more, even when the engine reports
    // the interrupted order as finished afterwards.
    if (!importing) {
        refreshStartButton();
        return;
    }

    int chosen = -1;
    for (int i = qMax(afterRow + 1, 0); i < orders.size(); ++i) {
        const OrderInfo &order = orders.at(i);
        if (order.runState == OrderRunState::Waiting || order.runState == OrderRunState::NotUploaded
            || order.failedCount > 0) {
            chosen = i;
            break;
        }
    }

    if (chosen >= 0) {
        // A note of an earlier run: this run says its own.
        resumeNotes.remove(chosen);
        if (QTableWidgetItem *item = table->item(chosen, columnOf(QStringLiteral("已选"))))
            item->setToolTip(QString());
        setOrderStatus(orders.at(chosen), OrderRunState::Importing);
        emit startImportAllOrders(QList<OrderInfo>{orders.at(chosen)});
        return;
    }

    importing = false;
    refreshStartButton();
    updateOperationButtons();
    emit importAllFinish();
    if (summary.isEmpty())
        return;
    QTimer::singleShot(0, this, [this, summary]() {
        ModalBox::showMessage(this, QMessageBox::Information, QStringLiteral("全部导完"), summary);
    });
}

void tfhomeorders_OrderListWidget::refreshStartButton()
{
    emit importStatusChange(importing);
    for (QRadioButton *radio : {photoTypeButton, trialVideoButton, retouchedVideoButton})
        radio->setEnabled(!importing);
    if (importing) {
        startAllButton->setText(QStringLiteral("全部暂停"));
        startAllButton->setStyleSheet(pauseStyle());
        return;
    }
    bool retry = false;
    for (const OrderInfo &order : orders) {
        if (order.runState == OrderRunState::Done && OrderPicks::hasFailedEntry(order)) {
            retry = true;
            break;
        }
    }
    startAllButton->setText(QStringLiteral("全部开始%1").arg(retry ? QStringLiteral("/上传失败照片") : QString()));
    startAllButton->setStyleSheet(startStyle());
}

void tfhomeorders_OrderListWidget::updateOperationButtons()
{
    // Picks change what the engine is copying: they wait for the import.
    const int column = columnOf(QStringLiteral("操作"));
    for (int row = 0; row < table->rowCount(); ++row) {
        QWidget *cell = table->cellWidget(row, column);
        if (!cell)
            continue;
        for (QPushButton *button : cell->findChildren<QPushButton *>()) {
            if (button->objectName() != QLatin1String("selectPhotosButton")
                && button->objectName() != QLatin1String("cleanPhotosButton"))
                continue;
            button->setEnabled(!importing);
            button->setStyleSheet(importing ? greyButtonStyle() : greenButtonStyle());
        }
    }
}
