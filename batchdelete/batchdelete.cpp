#include "batchdelete/batchdelete.h"

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

#include "base/basereq.h"
#include "base/globals.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "batchdelete/batchdelete_filelistwidget.h"
#include "batchdelete/batchdelete_orderlistwidget.h"
#include "batchdelete/jobs/batchdeleterequests.h"
#include "batchdelete/jobs/batchdeleterun.h"
#include "batchdelete/batchlogindialog.h"
#include "public/datepopup.h"
#include "public/elementbutton.h"
#include "public/simpledialog.h"
#include "public/toastwidget.h"

Q_LOGGING_CATEGORY(lcBatchDelete, "velquora.batchdelete")

namespace {

const QString kTitle = QStringLiteral("温馨提示");

QString popupStyle()
{
    return QStringLiteral(
        "QCalendarWidget { background-color: white; border: 2px solid #007aff; border-radius: 8px; font-size: 14px; }"
        "QCalendarWidget QToolButton { background-color: #f8f9fa; border: 1px solid #e0e0e0; border-radius: 4px;"
        " color: #333333; font-size: 12px; padding: 4px; }"
        "QCalendarWidget QToolButton:hover { background-color: #e3f2fd; border-color: #007aff; }"
        "QCalendarWidget QAbstractItemView { selection-background-color: #007aff; selection-color: white;"
        " color: #333333; }");
}

} // namespace

void BatchDeleteComboBoxDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) const
{
    QStyleOptionViewItem copy(option);
    if (option.state & QStyle::State_MouseOver) {
        copy.backgroundBrush = QBrush(QColor(QStringLiteral("#2c3e50")));
        copy.palette.setColor(QPalette::Text, Qt::white);
        copy.palette.setColor(QPalette::HighlightedText, Qt::white);
        copy.palette.setColor(QPalette::Highlight, QColor(QStringLiteral("#2c3e50")));
    } else if (option.state & QStyle::State_Selected) {
        copy.backgroundBrush = QBrush(QColor(QStringLiteral("#007aff")));
        copy.palette.setColor(QPalette::Text, Qt::white);
        copy.palette.setColor(QPalette::HighlightedText, Qt::white);
        copy.palette.setColor(QPalette::Highlight, QColor(QStringLiteral("#007aff")));
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

    const QString labelStyle =
        QStringLiteral("QLabel {    font-size: %1px;    font-weight: 600;    color: #333;}").arg(k->scaleText(12));
    const QString comboStyle =
        QStringLiteral("QComboBox { padding: 6px 12px; border: 1px solid #e0e0e0; border-radius: 6px;"
                       " background-color: white; selection-background-color: #e3f2fd; font-size: %1px; }"
                       "QComboBox:focus { border-color: #007aff; }"
                       "QComboBox::drop-down { width: 30px; border: none; }"
                       "QComboBox::down-arrow { image: url(:/public/image/public/arrows/downarrow_gray_64.png);"
                       " width: 16px; height: 16px; margin-right: 8px; }"
                       "QComboBox QAbstractItemView { min-height: 60px; font-size: %1px; }"
                       "QComboBox QAbstractItemView::item:selected { background-color: #87CEEB; }")
            .arg(k->scaleText(10));
    const QString listStyle = QStringLiteral("QListView {    background-color: white;    border: 1px solid #e0e0e0;"
                                             "    outline: none;    font-size: %1px;    show-decoration-selected: 1;}")
                                  .arg(k->scaleText(10));
    const QString fieldStyle =
        QStringLiteral("QLineEdit, QDateEdit { padding: 0 8px; border: 1px solid #e0e0e0; border-radius: 6px;"
                       " background-color: white; font-size: %1px; }"
                       "QLineEdit:focus, QDateEdit:focus { border-color: #007aff; }"
                       "QLineEdit::placeholder { color: #999999; }"
                       "QDateEdit QCalendarWidget { font-size: %2px; }")
            .arg(k->scaleText(10), k->scaleText(8));

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
    splitter->setStretchFactor(0, 7);
    splitter->setStretchFactor(1, 3);
    splitter->setStyleSheet(QStringLiteral("QSplitter::handle {    background-color: #e0e0e0;    width: %1px;}"
                                           "QSplitter::handle:hover {    background-color: #007aff;}")
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

void BatchDelete::onSearchClick()
{
    reqShopInfo();
}

void BatchDelete::reqShopInfo()
{
    const int serial = ++searchSerial;
    const QString requested = shopId;
    auto *request = new BaseReq(this);
    request->post(QStringLiteral("&m=public&a=switch_shop"), BatchDeleteRequests::switchShopBody(requested),
                  [this, request, serial, requested](bool ok, const QJsonDocument &reply) {
                      request->deleteLater();
                      onShopReply(serial, requested, ok, reply);
                  });
}

void BatchDelete::onShopReply(int serial, const QString &requestedShop, bool ok, const QJsonDocument &reply)
{
    // A later search has been sent meanwhile: its replies decide.
    if (closing || serial != searchSerial || !ok)
        return;
    const QJsonObject object = reply.object();
    if (object.value(QStringLiteral("code")).toString() != QLatin1String("1")) {
        showBox(true, object.value(QStringLiteral("msg")).toString());
        return;
    }
    const QJsonValue right = object.value(QStringLiteral("is_all_del_photo"));
    allowDelete = right.isDouble() ? right.toInt() : 0;
    superId = object.value(QStringLiteral("SUPERID")).toString();
    eid = object.value(QStringLiteral("EID")).toString();
    searchedShopId = requestedShop;
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
    auto *request = new BaseReq(this);
    request->post(QStringLiteral("&m=order&a=order_list"), body,
                  [this, request, serial](bool ok, const QJsonDocument &reply) {
                      request->deleteLater();
                      onOrderListReply(serial, ok, reply);
                  });
}

void BatchDelete::onOrderListReply(int serial, bool ok, const QJsonDocument &reply)
{
    if (closing || serial != searchSerial || !ok)
        return;
    const QJsonObject object = reply.object();
    if (object.value(QStringLiteral("code")).toString() != QLatin1String("1")) {
        showBox(true, object.value(QStringLiteral("message")).toString());
        return;
    }
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
    auto *request = new BaseReq(this);
    request->post(QStringLiteral("&m=order&a=get_persons"), BatchDeleteRequests::personsBody(branch),
                  [this, request](bool ok, const QJsonDocument &reply) {
                      request->deleteLater();
                      if (closing || !ok)
                          return;
                      const QJsonObject object = reply.object();
                      if (object.value(QStringLiteral("code")).toString() != QLatin1String("1")) {
                          showBox(true, object.value(QStringLiteral("message")).toString());
                          return;
                      }
                      personIds = QStringList{QString()};
                      for (const QJsonValue &value : object.value(QStringLiteral("persons")).toArray())
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

void BatchDelete::showBox(bool warning, const QString &text)
{
    ModalBox::showMessage(this, warning ? QMessageBox::Warning : QMessageBox::Information, kTitle, text);
}
