#include "batchdelete/batchdelete.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLoggingCategory>
#include <QPainter>
#include <QPointer>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "base/globals.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "base/orderservice.h"
#include "batchdelete/batchdelete_filelistwidget.h"
#include "batchdelete/batchdelete_orderlistwidget.h"
#include "batchdelete/jobs/batchdeleterequests.h"
#include "batchdelete/jobs/batchdeleterun.h"
#include "batchdelete/batchlogindialog.h"
#include "public/datepopup.h"
#include "public/elementbutton.h"
#include "public/fullscreenloading.h"
#include "public/simpledialog.h"
#include "public/theme.h"
#include "public/toastwidget.h"

Q_LOGGING_CATEGORY(lcBatchDelete, "velquora.batchdelete")

namespace {

const QString kTitle = QStringLiteral("温馨提示");

QString popupStyle()
{
    return Theme::sheet(QStringLiteral(
        "QCalendarWidget { background-color: white; border: 2px solid @accent; border-radius: 8px; font-size: 14px; }"
        "QCalendarWidget QToolButton { background-color: @lightFace; border: 1px solid @border; border-radius: 4px;"
        " color: @text; font-size: 12px; padding: 4px; }"
        "QCalendarWidget QToolButton:hover { background-color: @selection; border-color: @accent; }"
        "QCalendarWidget QAbstractItemView { selection-background-color: @accent; selection-color: white;"
        " color: @text; }"));
}

} // namespace

void BatchDeleteComboBoxDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) const
{
    QStyleOptionViewItem copy(option);
    if (option.state & QStyle::State_MouseOver) {
        copy.backgroundBrush = QBrush(Theme::listHover.color());
        copy.palette.setColor(QPalette::Text, Qt::white);
        copy.palette.setColor(QPalette::HighlightedText, Qt::white);
        copy.palette.setColor(QPalette::Highlight, Theme::listHover.color());
    } else if (option.state & QStyle::State_Selected) {
        copy.backgroundBrush = QBrush(Theme::accent.color());
        copy.palette.setColor(QPalette::Text, Qt::white);
        copy.palette.setColor(QPalette::HighlightedText, Qt::white);
        copy.palette.setColor(QPalette::Highlight, Theme::accent.color());
    } else {
        copy.backgroundBrush = QBrush(Qt::white);
        copy.palette.setColor(QPalette::Text, Qt::black);
    }
    QStyledItemDelegate::paint(painter, copy, index);
}

QSize BatchDeleteComboBoxDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 60);
}

BatchDelete::BatchDelete(QWidget *parent)
    : QWidget(parent)
{
    if (!g_shopList.isEmpty())
        shopId = g_shopList.first().id;
    initUI();
}

BatchDelete::~BatchDelete()
{
    closing = true;
}

void BatchDelete::setFileProbe(std::shared_ptr<const FileDeleteProbe> probe)
{
    run->setFileProbe(std::move(probe));
}

void BatchDelete::initUI()
{
    BatchDeleteRecords::registerMetaTypes();
    K *k = K::instance();
    setWindowTitle(QStringLiteral("批量删除"));

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->setSpacing(k->scale(10));
    mainLayout->setContentsMargins(k->scale(15), k->scale(10), k->scale(15), k->scale(10));

    const QString labelStyle = Theme::captionSheet(12);
    const QString comboStyle =
        Theme::fieldSheet(QStringLiteral("QComboBox"), QStringLiteral("6px 12px"), 10,
                          QStringLiteral("selection-background-color: @selection;"))
        + QStringLiteral("QComboBox::drop-down { width: 30px; border: none; }")
        + Theme::downArrowSheet(QStringLiteral("QComboBox"), 16)
        + Theme::sheet(QStringLiteral("QComboBox QAbstractItemView { min-height: 60px; font-size: %1px; }"
                                      "QComboBox QAbstractItemView::item:selected { background-color: @skySelection; }"))
              .arg(k->scaleText(10));
    const QString listStyle = Theme::sheet(QStringLiteral("QListView {    background-color: white;    border: 1px solid @border;"
                                                          "    outline: none;    font-size: %1px;    show-decoration-selected: 1;}"))
                                  .arg(k->scaleText(10));
    const QString fieldStyle =
        Theme::fieldSheet(QStringLiteral("QLineEdit, QDateEdit"), QStringLiteral("0 8px"), 10)
        + Theme::sheet(QStringLiteral("QLineEdit::placeholder { color: @textFaint; }"
                                      "QDateEdit QCalendarWidget { font-size: %1px; }"))
              .arg(k->scaleText(8));

    auto *bar = new QHBoxLayout;
    bar->setSpacing(k->scale(8));
    auto *branchLabel = new QLabel(QStringLiteral("分店选择:"), this);
    branchLabel->setStyleSheet(labelStyle);
    branchCombo = new QComboBox(this);
    branchCombo->setFixedHeight(k->scale(30));
    branchCombo->setMinimumWidth(k->scale(120));
    for (const ShopInfo &shop : qAsConst(g_shopList))
        branchCombo->addItem(shop.name);
    branchCombo->setItemDelegate(new BatchDeleteComboBoxDelegate(branchCombo));
    branchCombo->setStyleSheet(comboStyle);
    branchCombo->view()->setStyleSheet(listStyle);

    auto *typeLabel = new QLabel(QStringLiteral("搜索类型:"), this);
    typeLabel->setStyleSheet(labelStyle);
    searchTypeCombo = new QComboBox(this);
    searchTypeCombo->setFixedHeight(k->scale(30));
    searchTypeCombo->setMinimumWidth(k->scale(80));
    searchTypeCombo->addItems({QStringLiteral("基本信息"), QStringLiteral("结单日期")});
    searchTypeCombo->setItemDelegate(new BatchDeleteComboBoxDelegate(searchTypeCombo));
    searchTypeCombo->setStyleSheet(comboStyle);
    searchTypeCombo->view()->setStyleSheet(listStyle);

    keywordEdit = new QLineEdit(this);
    keywordEdit->setPlaceholderText(QStringLiteral("搜索订单号、姓名、电话、微信..."));
    keywordEdit->setFixedHeight(k->scale(30));
    keywordEdit->setFixedWidth(k->scale(180));
    keywordEdit->setStyleSheet(fieldStyle);

    dateEdit = new QDateEdit(QDate::currentDate(), this);
    dateEdit->setFixedHeight(k->scale(30));
    dateEdit->setFixedWidth(k->scale(120));
    dateEdit->setCalendarPopup(true);
    dateEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dateEdit->setReadOnly(true);
    dateEdit->setToolTip(QStringLiteral("点击选择日期"));
    dateEdit->setStyleSheet(fieldStyle);
    dateEdit->hide();
    DatePopupLook look;
    look.ownCalendarSize = QSize(k->scale(160), k->scale(180));
    look.popupSize = QSize(k->scale(160), k->scale(180));
    look.popupStyleSheet = popupStyle();
    look.popupPalette = true;
    look.palettePass = true;
    datePopup = new DatePopup(look, this);
    datePopup->attach(dateEdit);

    searchButton = new ElementButton(QStringLiteral("搜索"), 1, this);
    searchButton->setSize(1);
    startButton = new ElementButton(QStringLiteral("开始批量删除"), 3, this);
    startButton->setSize(1);

    bar->addWidget(branchLabel);
    bar->addWidget(branchCombo);
    bar->addStretch();
    bar->addWidget(typeLabel);
    bar->addWidget(searchTypeCombo);
    bar->addWidget(keywordEdit);
    bar->addWidget(dateEdit);
    bar->addStretch();
    bar->addWidget(searchButton);
    bar->addWidget(startButton);
    mainLayout->addLayout(bar);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    orderList = new BatchDelete_OrderListWidget(splitter);
    fileList = new BatchDelete_FileListWidget(splitter);
    splitter->addWidget(orderList);
    splitter->addWidget(fileList);
    // A third for the files: at 1366 pixels a file's name and every header
    // of its table are readable beside the order table.
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 1);
    splitter->setStyleSheet(Theme::sheet(QStringLiteral("QSplitter::handle {    background-color: @border;    width: %1px;}"
                                                        "QSplitter::handle:hover {    background-color: @accent;}"))
                                .arg(k->scaleText(3)));
    mainLayout->addWidget(splitter, 1);

    run = new BatchDeleteRun(this);
    run->setQuestionHandler([this](const QString &text, std::function<void(bool)> answer) {
        QPointer<BatchDelete> self(this);
        SimpleDialog::showQuestion(this, kTitle, text, [self, answer](bool again) {
            if (self && !self->closing)
                answer(again);
        }, false);
    });
    orderList->followRun(run);
    connect(run, &BatchDeleteRun::orderFilesAnnounced, this, [this](const BatchDeleteOrderInfo &order) {
        if (fileList->currentOrder().order_photo_id == order.order_photo_id)
            fileList->showOrderFiles({run->order(order.order_photo_id)});
    });
    const auto showFile = QOverload<const BatchDeleteOrderInfo &, const BatchDeleteFileInfo &>::of(
        &BatchDelete_FileListWidget::updateFile);
    connect(run, &BatchDeleteRun::fileDeleting, fileList, showFile);
    connect(run, &BatchDeleteRun::fileFinished, fileList, showFile);
    connect(run, &BatchDeleteRun::finished, this, &BatchDelete::onRunFinished);
    connect(run, &BatchDeleteRun::stopped, this, &BatchDelete::onRunStopped);
    connect(run, &BatchDeleteRun::closedDown, this, &BatchDelete::onRunClosedDown);

    connect(branchCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &BatchDelete::onBranchSelectionChanged);
    connect(searchButton, &ElementButton::clicked, this, &BatchDelete::onSearchClick);
    connect(keywordEdit, &QLineEdit::returnPressed, this, &BatchDelete::onSearchClick);
    connect(searchTypeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &BatchDelete::onSearchTypeChanged);
    connect(startButton, &ElementButton::clicked, this, &BatchDelete::onStartBatchDelete);
    connect(orderList, &BatchDelete_OrderListWidget::orderSelectionChanged, this, &BatchDelete::onOrderSelectionChanged);
    connect(orderList, &BatchDelete_OrderListWidget::singleOrderClicked, this, &BatchDelete::onOrderClicked);
    connect(fileList, &BatchDelete_FileListWidget::refreshOrderFiles, this, &BatchDelete::onFilesRefreshed);
    fileList->setFolderCheck(
        [this](const BatchDeleteOrderInfo &order) { return orderFolderRefusal(order, orderList->allOrders()); });

    searchTypeCombo->setCurrentIndex(0);
    keywordEdit->show();
    dateEdit->hide();
}

bool BatchDelete::eventFilter(QObject *watched, QEvent *event)
{
    return QWidget::eventFilter(watched, event);
}

void BatchDelete::onSearchTypeChanged(int index)
{
    keywordEdit->setVisible(index == 0);
    dateEdit->setVisible(index >= 1 && index <= 3);
}

void BatchDelete::onBranchSelectionChanged(int index)
{
    if (index < 0 || index >= g_shopList.size())
        return;
    shopId = g_shopList.at(index).id;
    personIds.clear();
}

void BatchDelete::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!noShopSaid && shopId.isEmpty()) {
        noShopSaid = true;
        // Once the window stands: the box is shown over it, not before it.
        QTimer::singleShot(0, this, [this]() {
            if (!closing)
                showBox(true, OrderService::noShopText());
        });
    }
}

bool BatchDelete::refuseWithoutShop()
{
    if (!shopId.isEmpty())
        return false;
    showBox(true, OrderService::noShopText());
    return true;
}

void BatchDelete::onSearchClick()
{
    if (refuseWithoutShop())
        return;
    reqShopInfo();
}

void BatchDelete::reqShopInfo()
{
    const int serial = ++searchSerial;
    const QString requested = shopId;
    OrderService::send(this, OrderService::Action::SwitchShop, OrderService::switchShopBody(requested),
                       [this, serial, requested](bool ok, const QJsonDocument &reply) {
                           onShopReply(serial, requested, ok, reply);
                       });
}

void BatchDelete::onShopReply(int serial, const QString &requestedShop, bool ok, const QJsonDocument &reply)
{
    // A later search has been sent meanwhile: its replies decide.
    if (closing || serial != searchSerial || !ok)
        return;
    const OrderService::Answer answer = OrderService::check(reply, OrderService::TextField::Msg);
    if (!answer.ok) {
        showBox(true, answer.message);
        return;
    }
    const QJsonObject object = reply.object();
    const QJsonValue right = object.value(QStringLiteral("is_all_del_photo"));
    allowDelete = right.isDouble() ? right.toInt() : 0;
    const OrderService::Branch switched = OrderService::switchedBranch(requestedShop, object);
    superId = switched.superId;
    eid = switched.eid;
    searchedShopId = switched.shopId;
    branchSwitched = true;
    emit changeShop({{QStringLiteral("shopid"), requestedShop},
                     {QStringLiteral("superid"), superId},
                     {QStringLiteral("managerid"), eid}});
    if (allowDelete != 1) {
        orderList->clearOrders();
        fileList->clear();
        orderList->orderCountLabel()->setText(QStringLiteral("暂无权限操作批量删除"));
        return;
    }
    reqOrderList();
}

void BatchDelete::reqOrderList()
{
    const int serial = searchSerial;
    const BatchDeleteRequests::Branch branch{searchedShopId, eid, superId};
    const QByteArray body = BatchDeleteRequests::orderListBody(searchTypeCombo->currentIndex(), keywordEdit->text(),
                                                               dateEdit->date(), role7id, branch);
    OrderService::send(this, OrderService::Action::OrderList, body,
                       [this, serial](bool ok, const QJsonDocument &reply) { onOrderListReply(serial, ok, reply); });
}

void BatchDelete::onOrderListReply(int serial, bool ok, const QJsonDocument &reply)
{
    if (closing || serial != searchSerial || !ok)
        return;
    const OrderService::Answer answer = OrderService::check(reply);
    if (!answer.ok) {
        showBox(true, answer.message);
        return;
    }
    const QJsonObject object = reply.object();
    const QJsonArray data = object.value(QStringLiteral("data")).toArray();
    if (data.isEmpty()) {
        showBox(true, QStringLiteral("未检索到订单"));
        return;
    }
    orderList->clearOrders();
    fileList->clear();
    orderList->orderCountLabel()->setText(QStringLiteral("    共%1个订单").arg(data.size()));
    // Records are made as their rows are added: a slice at a time, from a
    // later turn on; this one emptied a list that may have been as long.
    // After a timer, not a posted call: the old rows' widgets are deleted
    // by the next pass of posted calls, and the first slice would join
    // them there in one turn.
    QTimer::singleShot(1, this, [this, serial, data]() {
        if (closing || serial != searchSerial)
            return;
        orderList->fillOrders(data.size(),
                              [data](int i) { return BatchDeleteOrderInfo::fromJson(data.at(i).toObject(), i); });
    });
}

void BatchDelete::reqPersons()
{
    const BatchDeleteRequests::Branch branch{shopId, eid, superId};
    OrderService::send(this, OrderService::Action::Persons, OrderService::personsBody(branch),
                       [this](bool ok, const QJsonDocument &reply) {
                           if (closing || !ok)
                               return;
                           const OrderService::Answer answer = OrderService::check(reply);
                           if (!answer.ok) {
                               showBox(true, answer.message);
                               return;
                           }
                           personIds = QStringList{QString()};
                           for (const QJsonValue &value : reply.object().value(QStringLiteral("persons")).toArray())
                               personIds << value.toObject().value(QStringLiteral("id")).toString();
                       });
}

void BatchDelete::setControlsEnabled(bool enabled)
{
    startButton->setLoading(!enabled);
    searchButton->setLoading(!enabled);
    orderList->setCheckBoxesEnabled(enabled);
    fileList->setRefreshEnabled(enabled);
}

void BatchDelete::onOrderSelectionChanged(const QList<BatchDeleteOrderInfo> &orders)
{
    if (orders.isEmpty())
        fileList->clear();
    else
        fileList->showOrderFiles(orders);
}

void BatchDelete::onOrderClicked(const BatchDeleteOrderInfo &order)
{
    qCDebug(lcBatchDelete) << "获取文件照片信息";
    if (order.netpath.isEmpty())
        return;
    fileList->showOrderFiles({order});
}

void BatchDelete::onFilesRefreshed(const QString &orderPhotoId, const QList<BatchDeleteFileInfo> &files)
{
    // The run keeps its own list of a running order's files; a look at the
    // folder meanwhile must not reset the order's counters.
    if (run->isRunning() && run->contains(orderPhotoId))
        return;
    orderList->updateOrderFiles(orderPhotoId, files);
}

void BatchDelete::onStartBatchDelete()
{
    if (run->isRunning())
        return;
    if (!branchSwitched) {
        ToastWidget::showToast(this, QStringLiteral("请先搜索订单"), 2000);
        return;
    }
    if (allowDelete != 1) {
        ToastWidget::showToast(this, QStringLiteral("暂无权限操作"), 2000);
        return;
    }
    // The ticked set is not known while the search's rows still arrive.
    if (orderList->isFilling()) {
        ToastWidget::showToast(this, QStringLiteral("订单加载中，请稍候"), 2000);
        return;
    }
    pendingOrders = orderList->getCheckedOrders();
    pendingSearch = orderList->allOrders();
    if (pendingOrders.isEmpty()) {
        ToastWidget::showToast(this, QStringLiteral("请选择要删除的订单!"), 2000);
        return;
    }
    QPointer<BatchDelete> self(this);
    BatchLoginDialog::verify(this, [self](bool ok, const QString &account, const QString &password) {
        if (self)
            self->onVerified(ok, account, password);
    });
}

void BatchDelete::onVerified(bool ok, const QString &account, const QString &password)
{
    Q_UNUSED(account)
    Q_UNUSED(password)
    if (closing || !ok || pendingOrders.isEmpty())
        return;
    // Gone again when a box comes first (dropToasts): it would cover it.
    ToastWidget::showToast(this, QStringLiteral("验证成功！"), 2000);
    setControlsEnabled(false);
    // A look at a folder still under way would hand back a list that is
    // not the run's.
    fileList->stopAllScans();
    const QList<BatchDeleteOrderInfo> orders = pendingOrders;
    const QList<BatchDeleteOrderInfo> search = pendingSearch;
    const BatchDeleteRequests::Branch branch{searchedShopId, eid, superId};
    pendingOrders.clear();
    pendingSearch.clear();
    // Once the account dialog has closed: a run that ends at once shows its
    // box over the window, not under the dialog.
    QTimer::singleShot(0, this, [this, branch, orders, search]() {
        if (!closing && !run->start(branch, orders, search))
            setControlsEnabled(true);
    });
}

void BatchDelete::onRunFinished()
{
    if (closing)
        return;
    setControlsEnabled(true);
    showBox(!run->isClean(), run->summaryText());
}

void BatchDelete::onRunStopped(const QString &message)
{
    if (closing)
        return;
    setControlsEnabled(true);
    showBox(true, message);
}

void BatchDelete::dropToasts()
{
    // A toast still up would stand over a box's text.
    for (ToastWidget *toast : findChildren<ToastWidget *>()) {
        toast->hide();
        toast->deleteLater();
    }
}

void BatchDelete::showBox(bool warning, const QString &text)
{
    dropToasts();
    ModalBox::showMessage(this, warning ? QMessageBox::Warning : QMessageBox::Information, kTitle, text);
}

// ------------------------------------------------------------ closing

void BatchDelete::closeEvent(QCloseEvent *event)
{
    if (closing || !run->isRunning()) {
        QWidget::closeEvent(event);
        return;
    }
    // Asking already, or closing down: the answer or the run decides.
    event->ignore();
    if (askingToClose || closingDown)
        return;
    run->hold();
    askingToClose = true;
    dropToasts();
    QPointer<BatchDelete> self(this);
    const bool stop = askStopRun();
    if (!self)
        return;
    askingToClose = false;
    if (!stop) {
        run->release();
        return;
    }
    // Files being deleted finish and are confirmed first; the window goes
    // once the run says it has closed down.
    closingDown = true;
    FullScreenLoading::showLoading(this, QStringLiteral("正在停止…"), true);
    run->stopForClose();
}

bool BatchDelete::askStopRun() const
{
    const BatchDeleteOrderInfo order = run->currentOrder();
    QString text;
    if (order.row >= 0 && !order.allFiles.isEmpty()) {
        text = QStringLiteral("订单%1的删除还在进行（已处理 %2/%3 个文件）。现在关闭，这个订单不会完成：正在删除的文件删完后停止，"
                              "其余文件保留，再次批量删除这个订单时继续删除。\n确定要关闭吗？")
                   .arg(order.label())
                   .arg(order.successFiles.size() + order.failedFiles.size())
                   .arg(order.allFiles.size());
    } else {
        text = QStringLiteral("批量删除还在进行。现在关闭，还没有开始删除的订单不会删除。\n确定要关闭吗？");
    }
    // On the heap: the window may go while the box is open, and the box with it.
    QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Question, kTitle, text, QMessageBox::Yes | QMessageBox::No,
                                                const_cast<BatchDelete *>(this));
    box->setDefaultButton(QMessageBox::No);
    const int answer = ModalBox::exec(box);
    delete box.data();
    return answer == QMessageBox::Yes;
}

void BatchDelete::onRunClosedDown()
{
    if (FullScreenLoading *overlay = FullScreenLoading::instance(this))
        overlay->closeOverlay();
    closingDown = false;
    setControlsEnabled(true);
    close();
}
