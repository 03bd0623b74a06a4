#include "designsplit/fjleftpanel.h"

#include <utility>

#include <QElapsedTimer>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "base/globals.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "base/orderservice.h"
#include "designsplit/fjtickdelegate.h"
#include "designsplit/jobs/fjlog.h"
#include "public/columnfit.h"
#include "public/rowfeeder.h"
#include "public/tablelook.h"
#include "public/theme.h"

namespace {

QString px(int value)
{
    return K::instance()->scaleText(value);
}

// The panel's own greys, narrower than the other tools' bars, the handle
// filling the track. The fifteen columns are wider than the panel on a
// laptop screen: the horizontal bar is in sight too and looks the same.
TableLook::ScrollBarLook scrollBarLook()
{
    TableLook::ScrollBarLook look;
    look.track = Theme::hairline.name();
    look.handle = Theme::controlFrame.name();
    look.hover = Theme::controlFrameHover.name();
    look.thickness = K::instance()->scale(6);
    look.radius = K::instance()->scale(3);
    look.minLength = 20;
    return look;
}

QString tableStyle()
{
    return Theme::sheet(QStringLiteral("QTableWidget { background-color: @panel; border: 1px solid @separator; border-radius: ") + px(8)
        + QStringLiteral("px; gridline-color: @hairline; font-size: ") + px(13)
        + QStringLiteral("px; selection-background-color: transparent; }"
                         "QTableWidget::item { padding: ")
        + px(3) + QStringLiteral("px ") + px(5)
        + QStringLiteral("px; border-bottom: 1px solid @hairline; }"
                         "QTableWidget::item:hover { background-color: @itemHover; }"
                         "QHeaderView::section { background-color: @headerFace; font-weight: 600; font-size: ")
        + px(12) + QStringLiteral("px; padding: ") + px(8) + QStringLiteral("px ") + px(5)
        + QStringLiteral("px; border: none; border-bottom: 1px solid @separator; border-right: 1px solid @separator; }"
                         "QHeaderView::section:first { border-top-left-radius: ")
        + px(8) + QStringLiteral("px; }QHeaderView::section:last { border-top-right-radius: ") + px(8)
        + QStringLiteral("px; border-right: none; }")
        + TableLook::thinScrollBars(scrollBarLook()));
}

// Widest a column gets for its own text when room is short: a longer text
// (a package's long name) ends in "…" and shows whole in its tooltip. With
// room to spare it gets the whole text's width.
const int kLongestCell = 240;

int columnWidth(const QString &header, int mode)
{
    if (header.isEmpty())
        return mode == 1 ? 100 : 40;
    if (header == QStringLiteral("订单号"))
        return 150;
    if (header == QStringLiteral("男士姓名") || header == QStringLiteral("女士姓名"))
        return 80;
    return 100;
}

} // namespace

FJLeftPanel::FJLeftPanel(QWidget *parent)
    : QWidget(parent)
{
    headers = QStringList{QString(),
                          QStringLiteral("订单号"),
                          QStringLiteral("男士姓名"),
                          QStringLiteral("女士姓名"),
                          QStringLiteral("摄影师"),
                          QStringLiteral("套系"),
                          QStringLiteral("拍照日期"),
                          QStringLiteral("初修数/精修数"),
                          QStringLiteral("化妆师"),
                          QStringLiteral("选片师"),
                          QStringLiteral("选片日期"),
                          QStringLiteral("选片完成时间"),
                          QStringLiteral("男士电话"),
                          QStringLiteral("女士电话"),
                          QStringLiteral("订单金额")};
    forgetWidths();
    buildUi();
}

void FJLeftPanel::buildUi()
{
    K *k = K::instance();
    mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(k->scale(13), k->scale(13), k->scale(7), k->scale(13));
    mainLayout->setSpacing(k->scale(10));

    progressLabel = new QLabel(QStringLiteral("分件进度"), this);
    progressLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel { font-size: ") + px(11)
                                              + QStringLiteral("px; font-weight: 600; color: @textDark; margin-bottom: ") + px(7)
                                              + QStringLiteral("px; padding: ") + px(3) + QStringLiteral("px 0px; }")));
    mainLayout->addWidget(progressLabel);

    progressBar = new QProgressBar(this);
    progressBar->setFixedHeight(k->scale(13));
    progressBar->setTextVisible(true);
    progressBar->setValue(0);
    progressBar->setStyleSheet(Theme::sheet(
        QStringLiteral("QProgressBar { background-color: @separator; border: none; border-radius: ") + px(7)
        + QStringLiteral("px; text-align: center; font-size: ") + px(9)
        + QStringLiteral("px; color: @textDark; }"
                         "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:1, y2:0,"
                         " stop:0 @accent, stop:1 @success); border-radius: ")
        + px(6) + QStringLiteral("px; margin: 1px; }")));
    mainLayout->addWidget(progressBar);

    table = new QTableWidget(this);
    table->setColumnCount(headers.size());
    table->setHorizontalHeaderLabels(headers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setAlternatingRowColors(false);
    table->setShowGrid(true);
    table->setSortingEnabled(false);
    table->horizontalHeader()->setSortIndicatorShown(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setDefaultSectionSize(33);
    table->setStyleSheet(tableStyle());
    // A clicked cell draws no focus box, and the row keeps its items' own
    // colours.
    TableLook::keepItemColours(table);
    m_tickDelegate = new FJTickDelegate(false, table);
    table->setItemDelegateForColumn(0, m_tickDelegate);
    table->horizontalHeader()->setTextElideMode(Qt::ElideRight);
    table->setTextElideMode(Qt::ElideRight);
    table->viewport()->installEventFilter(this);
    table->viewport()->setMouseTracking(true);
    table->installEventFilter(this);
    connect(table, &QTableWidget::cellClicked, this, &FJLeftPanel::onCellClicked);
    connect(table, &QTableWidget::itemChanged, this, &FJLeftPanel::onItemChanged);
    // The keyboard's row shows on its tick box.
    connect(table, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow, int) {
        updateTickCell(previousRow);
        updateTickCell(row);
    });
    m_feeder = new RowFeeder(this);
    mainLayout->addWidget(table, 1);

    buttonBar = new QHBoxLayout;
    buttonBar->setSpacing(k->scale(7));
    buttonBar->setContentsMargins(0, 0, 0, 0);
    const QString common = QStringLiteral("border-radius: ") + px(5) + QStringLiteral("px; font-size: ") + px(11)
        + QStringLiteral("px; font-weight: 500; padding: ") + px(5) + QStringLiteral("px ") + px(11)
        + QStringLiteral("px;");
    selectAllButton = new QPushButton(QStringLiteral("全选"), this);
    selectAllButton->setFixedHeight(k->scale(23));
    selectAllButton->setMinimumWidth(k->scale(53));
    // Both buttons are off while a batch runs, and look it.
    selectAllButton->setStyleSheet(Theme::sheet(QStringLiteral("QPushButton { background-color: @accent; color: white; border: none; ")
                                                + common
                                                + QStringLiteral(" }QPushButton:hover { background-color: @accentHover; }"
                                                                 "QPushButton:pressed { background-color: @accentPressed; }"
                                                                 "QPushButton:disabled { background-color: @disabledFill; color: @textMuted; }")));
    unselectAllButton = new QPushButton(QStringLiteral("取消全选"), this);
    unselectAllButton->setFixedHeight(k->scale(23));
    unselectAllButton->setMinimumWidth(k->scale(53));
    unselectAllButton->setStyleSheet(Theme::sheet(
        QStringLiteral("QPushButton { background-color: @groupedFace; color: @textDark; border: 1px solid @separator; ") + common
        + QStringLiteral(" }QPushButton:hover { background-color: @greyHover; }"
                         "QPushButton:pressed { background-color: @greyPressed; }"
                         "QPushButton:disabled { color: @disabledFill; }")));
    connect(selectAllButton, &QPushButton::clicked, this, &FJLeftPanel::onSelectAllClicked);
    connect(unselectAllButton, &QPushButton::clicked, this, &FJLeftPanel::onUnselectAllClicked);
    buttonBar->addWidget(selectAllButton);
    buttonBar->addWidget(unselectAllButton);
    buttonBar->addStretch();
    mainLayout->addLayout(buttonBar);
}

void FJLeftPanel::setMode(int value)
{
    mode = value;
    if (mode == DownloadRawFiles) {
        FJTickDelegate *plain = m_tickDelegate;
        m_tickDelegate = new FJTickDelegate(true, table);
        table->setItemDelegateForColumn(0, m_tickDelegate);
        delete plain;
    }
    if (mode == DownloadPhotoDelivery) {
        selectAllButton->hide();
        unselectAllButton->hide();
    }
    // Photo delivery too: at the header view's default width its order
    // numbers showed cut off.
    for (int c = 0; c < headers.size(); ++c)
        table->setColumnWidth(c, K::instance()->scale(columnWidth(headers.at(c), mode)));
    fitColumns();
}

bool FJLeftPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == table->viewport()) {
        switch (event->type()) {
        case QEvent::Resize:
            fitColumns();
            break;
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove: {
            // Seen before the view handles it: the cell click that a release
            // makes reads where in the tick cell it landed.
            const QPoint pos = static_cast<QMouseEvent *>(event)->pos();
            const QModelIndex index = table->indexAt(pos);
            const bool tickCell = m_tickDelegate && index.isValid() && index.column() == 0;
            const int part = tickCell ? int(m_tickDelegate->partAt(table->visualRect(index), pos)) : 0;
            const int row = tickCell ? index.row() : -1;
            if (event->type() == QEvent::MouseButtonRelease) {
                m_clickRow = row;
                m_clickPart = part;
            } else if (row != m_hoverRow || part != m_hoverPart) {
                updateTickCell(m_hoverRow);
                m_hoverRow = row;
                m_hoverPart = part;
                updateTickCell(m_hoverRow);
                table->viewport()->setCursor(part == int(FJTickDelegate::Part::Link) ? Qt::PointingHandCursor
                                                                                       : Qt::ArrowCursor);
            }
            break;
        }
        case QEvent::Leave:
            updateTickCell(m_hoverRow);
            m_hoverRow = -1;
            m_hoverPart = 0;
            break;
        default:
            break;
        }
    } else if (watched == table) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            const int row = table->currentRow();
            // Space ticks the keyboard's row, as a click on its box.
            if ((key == Qt::Key_Space || key == Qt::Key_Select) && tickAt(row)) {
                toggle(row);
                return true;
            }
        } else if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            updateTickCell(table->currentRow());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FJLeftPanel::updateTickCell(int row)
{
    if (row >= 0 && row < table->rowCount())
        table->viewport()->update(table->visualRect(table->model()->index(row, 0)));
}

void FJLeftPanel::fitColumns()
{
    // The header's font and paddings come from the style sheet.
    table->ensurePolished();
    QHeaderView *header = table->horizontalHeader();
    K *k = K::instance();
    QVector<ColumnFit::Column> fit(headers.size());
    for (int c = 0; c < headers.size(); ++c) {
        const int specified = k->scale(columnWidth(headers.at(c), mode));
        if (headers.at(c).isEmpty()) {
            fit[c] = {specified, specified, 0};
            continue;
        }
        const int row = c < m_widestRow.size() ? m_widestRow.at(c) : -1;
        const int text = row >= 0 && row < table->rowCount()
                             ? TableLook::cellWidth(table, table->model()->index(row, c))
                             : 0;
        const int label = header->sectionSizeHint(c);
        const int least = qMax(label, qMin(text, k->scale(kLongestCell)));
        const int wanted = qMax(least, qMax(specified, text));
        // The order number is what the user acts on: never cut.
        const bool number = headers.at(c) == QStringLiteral("订单号");
        fit[c] = {wanted, number ? qMax(text, least) : least, number ? 0 : 1};
    }
    const QVector<int> widths = ColumnFit::widths(fit, table->viewport()->width(), true);
    header->setStretchLastSection(false);
    for (int c = 0; c < widths.size(); ++c) {
        if (header->sectionSize(c) != widths.at(c))
            header->resizeSection(c, widths.at(c));
    }
}

void FJLeftPanel::warn(const QString &text)
{
    ModalBox::showMessage(this, QMessageBox::Warning, QStringLiteral("温馨提示"), text);
}

void FJLeftPanel::endSearch(const QString &warning)
{
    QPointer<FJLeftPanel> self(this);
    if (!warning.isEmpty())
        warn(warning);
    if (self)
        emit emitReqOrderFinish(true);
}

void FJLeftPanel::post(OrderService::Action action, const QByteArray &body,
                       const std::function<void(const QJsonObject &)> &onSuccess)
{
    QPointer<FJLeftPanel> self(this);
    OrderService::send(this, action, body, [self, onSuccess](bool ok, const QJsonDocument &doc) {
        if (!self)
            return;
        const QJsonObject reply = doc.object();
        const OrderService::Answer answer = OrderService::check(reply, OrderService::TextField::MessageOrMsg);
        // Every ending of a search gives the search button back.
        if (!ok)
            self->endSearch(QString());
        else if (!answer.ok)
            self->endSearch(answer.message);
        else
            onSuccess(reply);
    });
}

void FJLeftPanel::onReqShopInfo(const QString &searchType, const QString &keyword, const QString &shop)
{
    shopId = shop;
    post(OrderService::Action::SwitchShop, OrderService::switchShopBody(shopId),
         [this, searchType, keyword](const QJsonObject &reply) {
             const OrderService::Branch switched = OrderService::switchedBranch(shopId, reply);
             superId = switched.superId;
             eid = switched.eid;
             issjfenjianms = FJReplies::text(reply, QStringLiteral("issjfenjianms"));
             g_splitSuperId = superId;
             g_splitEnterpriseId = eid;
             emit userInfoChange(shopId, eid, superId);
             reqOrderList(searchType, keyword);
         });
}

void FJLeftPanel::reqOrderList(const QString &searchType, const QString &keyword)
{
    qCDebug(lcDesignSplit) << "要开始刷新数据量 222";
    OrderService::OrderQuery query;
    query.keyword = keyword;
    query.ratio = false;
    if (searchType == QStringLiteral("基本信息"))
        query.searchBy = OrderService::SearchBy::Keyword;
    else if (searchType == QStringLiteral("拍照日期"))
        query.searchBy = OrderService::SearchBy::ShotDate;
    else if (searchType == QStringLiteral("选片日期"))
        query.searchBy = OrderService::SearchBy::SelectDate;
    else
        query.searchBy = std::nullopt;
    const QByteArray body = OrderService::orderListBody(query, OrderService::Branch{shopId, eid, superId});

    m_feeder->cancel();
    selectAllButton->setEnabled(m_controlsEnabled);
    unselectAllButton->setEnabled(m_controlsEnabled);
    dropRows();
    emit ordersReset();

    const OrderService::Action action =
        mode == DownloadRawFiles ? OrderService::Action::RawOrderList : OrderService::Action::OrderList;
    post(action, body, [this](const QJsonObject &reply) {
        const QJsonArray data = reply.value(QStringLiteral("data")).toArray();
        if (data.isEmpty()) {
            endSearch(QStringLiteral("未检索到订单"));
            return;
        }
        // Records and rows are made a run at a time, so a list of
        // thousands of orders does not freeze the window. A run's rows and
        // records are made in the same turn: between turns a row that exists
        // has its record, and one still to come is neither ticked nor
        // counted. Ticking every row waits until all are there.
        orders.reserve(data.size());
        selectAllButton->setEnabled(false);
        unselectAllButton->setEnabled(false);
        m_feeder->startRanges(
            data.size(),
            [this, data](int first, int end) {
                // One insertion for the run: the view lays itself out once
                // for it, not once per row.
                table->blockSignals(true);
                table->setRowCount(end);
                bool wider = false;
                for (int i = first; i < end; ++i) {
                    const OrderData order = FJReplies::orderFromJson(data.at(i).toObject(), i);
                    orders.append(order);
                    wider = fillRow(i, order) || wider;
                }
                table->blockSignals(false);
                if (wider)
                    fitColumns();
            },
            [this]() {
                selectAllButton->setEnabled(m_controlsEnabled);
                unselectAllButton->setEnabled(m_controlsEnabled);
                endSearch(QString());
            });
    });
}

QString FJLeftPanel::cellText(const QString &header, const OrderData &order) const
{
    if (header == QStringLiteral("订单号"))
        return order.orderpayforkey + QLatin1Char('-') + order.servicetimes;
    if (header == QStringLiteral("男士姓名"))
        return order.mname;
    if (header == QStringLiteral("女士姓名"))
        return order.wname;
    if (header == QStringLiteral("摄影师"))
        return order.role1;
    if (header == QStringLiteral("套系"))
        return order.comboname;
    if (header == QStringLiteral("拍照日期"))
        return order.shotdate;
    if (header == QStringLiteral("初修数/精修数"))
        return QStringLiteral("%1 / %2").arg(order.imageCount, order.number_jingxiu);
    if (header == QStringLiteral("化妆师"))
        return order.role2;
    if (header == QStringLiteral("选片师"))
        return order.selectphotoname;
    if (header == QStringLiteral("选片日期"))
        return order.sampledate;
    if (header == QStringLiteral("选片完成时间"))
        return order.selectphototime;
    if (header == QStringLiteral("男士电话"))
        return order.mphone;
    if (header == QStringLiteral("女士电话"))
        return order.wphone;
    if (header == QStringLiteral("订单金额"))
        return order.order_price;
    return QString();
}

bool FJLeftPanel::fillRow(int row, const OrderData &order)
{
    auto *tick = new QTableWidgetItem;
    tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    tick->setCheckState(Qt::Unchecked);
    table->setItem(row, 0, tick);

    const QFontMetrics metrics = table->fontMetrics();
    const int longest = K::instance()->scale(kLongestCell);
    bool wider = false;
    for (int c = 0; c < headers.size(); ++c) {
        if (headers.at(c).isEmpty())
            continue;
        const QString text = cellText(headers.at(c), order);
        auto *item = new QTableWidgetItem(text);
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        // Measuring through the view's delegate is dear: the font's advance
        // finds the widest text of a column, the delegate measures only it.
        const int width = metrics.horizontalAdvance(text);
        if (width > longest)
            item->setToolTip(text);
        table->setItem(row, c, item);
        if (c < m_widestText.size() && width > m_widestText.at(c)) {
            m_widestText[c] = width;
            m_widestRow[c] = row;
            wider = true;
        }
    }
    return wider;
}

void FJLeftPanel::forgetWidths()
{
    m_widestText = QVector<int>(headers.size(), 0);
    m_widestRow = QVector<int>(headers.size(), -1);
}

QTableWidgetItem *FJLeftPanel::tickAt(int row) const
{
    return row >= 0 && row < table->rowCount() ? table->item(row, 0) : nullptr;
}

bool FJLeftPanel::isTicked(int row) const
{
    const QTableWidgetItem *tick = tickAt(row);
    return tick && tick->checkState() == Qt::Checked;
}

QRect FJLeftPanel::tickBoxRect(int row) const
{
    if (!tickAt(row) || !m_tickDelegate)
        return QRect();
    return m_tickDelegate->boxRect(table->visualRect(table->model()->index(row, 0)));
}

QRect FJLeftPanel::pickLinkRect(int row) const
{
    if (!tickAt(row) || !m_tickDelegate)
        return QRect();
    return m_tickDelegate->linkRect(table->visualRect(table->model()->index(row, 0)));
}

void FJLeftPanel::toggle(int row)
{
    if (QTableWidgetItem *tick = tickAt(row))
        tick->setCheckState(tick->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void FJLeftPanel::onItemChanged(QTableWidgetItem *item)
{
    // Every change of a tick, whoever made it, is a toggle of the row.
    if (item && item->column() == 0)
        onRowToggled(item->row(), item->checkState() == Qt::Checked);
}

void FJLeftPanel::onOrderSelectionChanged(int, int, int, int)
{
}

void FJLeftPanel::onCellClicked(int row, int column)
{
    if (!tickAt(row))
        return;
    const bool inTickCell = column == 0 && row == m_clickRow;
    const auto part = FJTickDelegate::Part(inTickCell ? m_clickPart : 0);
    m_clickRow = -1;
    m_clickPart = 0;
    // The link shows the order's files and leaves its tick alone.
    if (part == FJTickDelegate::Part::Link) {
        emit orderSelected(row, true);
        return;
    }
    toggle(row);
    // A click on the box itself only ticks; one elsewhere on the row picks
    // the order too.
    if (mode == DownloadRawFiles && part != FJTickDelegate::Part::Box)
        emit orderSelected(row, isTicked(row));
}

void FJLeftPanel::onRowToggled(int row, bool checked)
{
    if (!checked || mode != DownloadPhotoDelivery)
        return;
    emit orderSelected(row, true);
    // At most one order at a time: the delivery options follow the ticked one.
    for (int r = 0; r < table->rowCount(); ++r) {
        if (r != row && isTicked(r))
            tickAt(r)->setCheckState(Qt::Unchecked);
    }
}

void FJLeftPanel::onSelectAllClicked()
{
    for (int r = 0; r < table->rowCount(); ++r) {
        if (QTableWidgetItem *tick = tickAt(r))
            tick->setCheckState(Qt::Checked);
    }
}

void FJLeftPanel::onUnselectAllClicked()
{
    for (int r = 0; r < table->rowCount(); ++r) {
        if (QTableWidgetItem *tick = tickAt(r))
            tick->setCheckState(Qt::Unchecked);
    }
}

QList<int> FJLeftPanel::selectedRows() const
{
    QList<int> rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        if (isTicked(r))
            rows.append(r);
    }
    return rows;
}

void FJLeftPanel::setControlsEnabled(bool enabled)
{
    m_controlsEnabled = enabled;
    table->setEnabled(enabled);
    selectAllButton->setEnabled(enabled && !isFilling());
    unselectAllButton->setEnabled(enabled && !isFilling());
}

bool FJLeftPanel::isFilling() const
{
    return m_feeder->isRunning();
}

void FJLeftPanel::clearTable()
{
    m_feeder->cancel();
    selectAllButton->setEnabled(m_controlsEnabled);
    unselectAllButton->setEnabled(m_controlsEnabled);
    dropRows();
}

void FJLeftPanel::dropRows()
{
    // The old list's items and records are freed over the next turns.
    m_feeder->freeLater(std::exchange(orders, QList<OrderData>()));
    m_feeder->emptyTable(table);
    forgetWidths();
    m_clickRow = -1;
    m_hoverRow = -1;
}

