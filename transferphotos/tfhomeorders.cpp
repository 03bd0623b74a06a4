#include "transferphotos/tfhomeorders.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "base/globals.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "base/orderservice.h"
#include "public/datepopup.h"
#include "public/theme.h"
#include "public/textwidth.h"
#include "public/comboboxitemdelegate.h"
#include "transferphotos/tfhomeorders_orderlistwidget.h"
#include "transferphotos/tfhomeorders_photodisplaywidget.h"
#include "transferphotos/jobs/tflog.h"
#include "base/orderreplies.h"

namespace {

const QString kRefreshMode = QStringLiteral("刷新导入数量");

QString px(int value)
{
    return QString::number(K::instance()->scale(value));
}

QString comboStyle()
{
    return Theme::fieldSheet(QStringLiteral("QComboBox"), QStringLiteral("6px 12px"), 10,
                             QStringLiteral("selection-background-color: @selection; color: black;"))
        + QStringLiteral("QComboBox::drop-down { width: 30px; border: none; }")
        + Theme::downArrowSheet(QStringLiteral("QComboBox"), 16)
        + Theme::sheet(QStringLiteral("QComboBox QAbstractItemView { border: 1px solid @border; background-color: white;"
                                      " selection-background-color: @selection; selection-color: white; font-size: ")
                       + px(10)
                       + QStringLiteral("px; min-height: 60px; }"
                                        "QComboBox QAbstractItemView::item { height: 60px; min-height: 60px; padding: 8px 12px;"
                                        " border: none; }"
                                        "QComboBox QAbstractItemView::item:hover { background-color: @listHover; color: white; }"
                                        "QComboBox QAbstractItemView::item:selected { background-color: @selection; color: black; }"));
}

QString comboViewStyle()
{
    return Theme::sheet(QStringLiteral("QListView { background-color: white; border: 1px solid @border; outline: none; font-size: ")
        + px(10) + QStringLiteral("px; show-decoration-selected: 1; }"));
}

QString dateStyle()
{
    return Theme::fieldSheet(QStringLiteral("QDateEdit"), QStringLiteral("6px 12px"), 10,
                             QStringLiteral("selection-background-color: transparent; selection-color: @text;"))
        + Theme::sheet(QStringLiteral("QDateEdit[readOnly=\"true\"] { background-color: white; color: @text; }"
                                      "QDateEdit::drop-down { width: 30px; background: transparent; border: none; }"))
        + Theme::downArrowSheet(QStringLiteral("QDateEdit"), 16)
        + Theme::sheet(QStringLiteral("QCalendarWidget { background-color: white; border: 1px solid @border; font-size: ")
                       + px(8)
                       + QStringLiteral("px; }"
                                        "QCalendarWidget QToolButton { background-color: @lightFace; border: 1px solid @border;"
                                        " border-radius: 4px; padding: 4px; margin: 2px; font-size: ")
                       + px(8)
                       + QStringLiteral("px; }"
                                        "QCalendarWidget QToolButton:hover { background-color: @selection; border-color: @accent; }"
                                        "QCalendarWidget QWidget#qt_calendar_navigationbar QToolButton { color: @textBlack; }"
                                        "QCalendarWidget QAbstractItemView { selection-background-color: @accent;"
                                        " selection-color: @textOnColour; }"
                                        "QCalendarWidget QAbstractItemView:enabled { font-size: ")
                       + px(8) + QStringLiteral("px; color: @text; }"));
}

QString searchButtonStyle(bool importing)
{
    const QString common = QStringLiteral("color: white; border: 1px solid @accentDeep; border-radius: 6px; font-size: ")
        + px(10) + QStringLiteral("px; font-weight: 600;");
    if (importing)
        return Theme::sheet(QStringLiteral("QPushButton { background-color: @busyButton; ") + common + QStringLiteral(" }"));
    return Theme::sheet(QStringLiteral("QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @blueButtonTop,"
                                       " stop:1 @accent); ")
        + common
        + QStringLiteral(" }"
                         "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @blueButtonHoverTop,"
                         " stop:1 @blueButtonHoverBottom); border-color: @blueButtonHoverFrame; }"
                         "QPushButton:pressed { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @blueButtonPressedTop,"
                         " stop:1 @accentDeepest); border-color: @accentDeepest; }"));
}

void styleCombo(QComboBox *combo, QWidget *owner)
{
    combo->setStyleSheet(comboStyle());
    combo->setItemDelegate(new ComboBoxItemDelegate(owner));
    combo->view()->setStyleSheet(comboViewStyle());
}

} // namespace

tfhomeorders::tfhomeorders(QWidget *parent)
    : QWidget(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("tfhomeorders"));
    resize(400, 300);
    setWindowTitle(QStringLiteral("Form"));
    buildPanel();
    if (g_shopList.isEmpty()) {
        // An account without a branch has nothing to search: said once when
        // the window has come up, in the words every tool uses, and the
        // branch field keeps saying it.
        qCWarning(lcTransfer) << "账号没有可用的分店";
        QTimer::singleShot(0, this, [this]() { warnNoShop(); });
        return;
    }
    reqTiaoseList();
}

tfhomeorders::~tfhomeorders() = default;

void tfhomeorders::buildPanel()
{
    if (!g_shopList.isEmpty())
        m_shopId = g_shopList.first().id;

    m_mainLayout = new QVBoxLayout(this);
    m_mainLayout->setSpacing(10);
    auto *searchBar = new QHBoxLayout();
    searchBar->setContentsMargins(K::instance()->scale(15), K::instance()->scale(10), K::instance()->scale(15),
                                  K::instance()->scale(10));
    searchBar->setSpacing(8);

    auto *branchLabel = new QLabel(QStringLiteral("分店选择:"), this);
    branchLabel->setStyleSheet(Theme::captionSheet(12));
    m_branchCombo = new QComboBox(this);
    m_branchCombo->setObjectName(QStringLiteral("m_branchCombo"));
    for (const ShopInfo &shop : qAsConst(g_shopList))
        m_branchCombo->addItem(shop.name);
    if (g_shopList.isEmpty())
        m_branchCombo->setPlaceholderText(QStringLiteral("没有可用的门店"));
    m_branchCombo->setFixedHeight(K::instance()->scale(30));
    styleCombo(m_branchCombo, this);
    m_branchCombo->setMinimumWidth(qMax(K::instance()->scale(120), TextWidth::comboBox(m_branchCombo)));
    // Connected after the items are in: filling the combo is no branch change.
    connect(m_branchCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &tfhomeorders::onBranchSelectionChanged);

    auto *typeLabel = new QLabel(QStringLiteral("搜索类型:"), this);
    typeLabel->setStyleSheet(Theme::captionSheet(12));
    m_searchTypeCombo = new QComboBox(this);
    m_searchTypeCombo->setObjectName(QStringLiteral("m_searchTypeCombo"));
    m_searchTypeCombo->addItems({QStringLiteral("基本信息"), QStringLiteral("拍照日期"), QStringLiteral("选片日期")});
    m_searchTypeCombo->setFixedHeight(K::instance()->scale(30));
    styleCombo(m_searchTypeCombo, this);
    m_searchTypeCombo->setMinimumWidth(qMax(K::instance()->scale(60), TextWidth::comboBox(m_searchTypeCombo)));

    m_keywordEdit = new QLineEdit(this);
    m_keywordEdit->setObjectName(QStringLiteral("m_keywordEdit"));
    m_keywordEdit->setPlaceholderText(QStringLiteral("搜索订单号、姓名、电话、微信..."));
    m_keywordEdit->setFixedHeight(K::instance()->scale(30));
    m_keywordEdit->setStyleSheet(
        Theme::fieldSheet(QStringLiteral("QLineEdit"), QStringLiteral("6px 12px"), 10, QStringLiteral("color: black;")));
    m_keywordEdit->setFixedWidth(qMax(K::instance()->scale(120), TextWidth::placeholder(m_keywordEdit)));

    DatePopupLook look;
    look.ownCalendarSize = QSize(320, 360);
    look.popupSize = QSize(K::instance()->scale(160), K::instance()->scale(180));
    look.popupStyleSheet = DatePopup::transferPopupStyle();
    look.popupPalette = true;
    look.palettePass = true;
    auto *datePopup = new DatePopup(look, this);
    const auto makeDateEdit = [this, datePopup](const QString &name, const QString &tip) {
        auto *edit = new QDateEdit(QDate::currentDate(), this);
        edit->setObjectName(name);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setCalendarPopup(true);
        edit->setReadOnly(true);
        edit->setFixedHeight(K::instance()->scale(30));
        edit->setFixedWidth(K::instance()->scale(120));
        edit->setStyleSheet(dateStyle());
        edit->hide();
        datePopup->attach(edit);
        edit->setToolTip(tip);
        return edit;
    };
    m_shotDateEdit = makeDateEdit(QStringLiteral("m_shotDateEdit"), QStringLiteral("点击选择拍照日期"));
    m_selectDateEdit = makeDateEdit(QStringLiteral("m_selectDateEdit"), QStringLiteral("点击选择选片日期"));

    auto *tiaoseLabel = new QLabel(QStringLiteral("样前修片师:"), this);
    tiaoseLabel->setStyleSheet(Theme::captionSheet(12));
    m_tiaoseCombo = new QComboBox(this);
    m_tiaoseCombo->setObjectName(QStringLiteral("m_tiaoseCombo"));
    m_tiaoseCombo->setFixedHeight(K::instance()->scale(30));
    styleCombo(m_tiaoseCombo, this);
    fitTiaoseCombo();

    m_searchButton = new QPushButton(QStringLiteral("搜索"), this);
    m_searchButton->setObjectName(QStringLiteral("searchButton"));
    m_searchButton->setFixedHeight(K::instance()->scale(25));
    m_searchButton->setFixedWidth(K::instance()->scale(60));
    m_searchButton->setStyleSheet(Theme::sheet(QStringLiteral("QPushButton { background-color: @brandBlue; color: white;"
                                                              " border: 1px solid @accentDeep; border-radius: 6px; font-size: ")
                                               + px(10)
                                               + QStringLiteral("px; font-weight: 600; }"
                                                                "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0,"
                                                                " y2:1, stop:0 @blueButtonHoverTop, stop:1 @blueButtonHoverBottom); border-color: @blueButtonHoverFrame; }"
                                                                "QPushButton:pressed { background: qlineargradient(x1:0, y1:0,"
                                                                " x2:0, y2:1, stop:0 @blueButtonPressedTop, stop:1 @accentDeepest);"
                                                                " border-color: @accentDeepest; }")));
    connect(m_searchButton, &QPushButton::clicked, this, &tfhomeorders::onSearchClick);

    searchBar->addWidget(branchLabel);
    searchBar->addWidget(m_branchCombo);
    searchBar->addStretch(1);
    searchBar->addWidget(typeLabel);
    searchBar->addWidget(m_searchTypeCombo);
    searchBar->addWidget(m_keywordEdit, 1);
    searchBar->addWidget(m_shotDateEdit, 1);
    searchBar->addWidget(m_selectDateEdit, 1);
    searchBar->addWidget(tiaoseLabel);
    searchBar->addWidget(m_tiaoseCombo);
    searchBar->addStretch(1);
    searchBar->addWidget(m_searchButton);

    connect(m_searchTypeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &tfhomeorders::onSearchTypeChanged);
    connect(m_tiaoseCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (index != -1 && index < m_tiaoseIds.size())
            m_tiaoseId = m_tiaoseIds.at(index);
    });
    connect(m_keywordEdit, &QLineEdit::returnPressed, this, &tfhomeorders::onSearchClick);

    m_orderListWidget = new tfhomeorders_OrderListWidget(this);
    m_orderListWidget->setObjectName(QStringLiteral("m_orderListWidget"));
    m_photoDisplayWidget = new tfhomeorders_PhotoDisplayWidget(this);
    m_photoDisplayWidget->setObjectName(QStringLiteral("m_photoDisplayWidget"));
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->addWidget(m_orderListWidget);
    m_splitter->addWidget(m_photoDisplayWidget);
    // The orders get the larger part: on a short screen the grid keeps one
    // row of cards and the table shows more than four orders.
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 2);

    connect(m_orderListWidget, &tfhomeorders_OrderListWidget::orderSelectionChanged, this,
            &tfhomeorders::onOrderSelectionChanged);
    connect(m_orderListWidget, &tfhomeorders_OrderListWidget::startImportOrder, this,
            &tfhomeorders::onStartImportOrder);
    connect(m_orderListWidget, &tfhomeorders_OrderListWidget::startImportAllOrders, this,
            &tfhomeorders::onStartImportAllOrders);
    connect(m_orderListWidget, &tfhomeorders_OrderListWidget::stopAllImport, this, &tfhomeorders::onStopAllImport);
    connect(m_orderListWidget, &tfhomeorders_OrderListWidget::importAllFinish, this,
            &tfhomeorders::onImportAllFinished);
    connect(m_photoDisplayWidget, &tfhomeorders_PhotoDisplayWidget::reloadOrderThumbnail, this,
            &tfhomeorders::onReloadOrderThumbnail);

    m_mainLayout->addLayout(searchBar, 0);
    m_mainLayout->addWidget(m_splitter, 1);

    m_searchTypeCombo->setCurrentIndex(2);
    onSearchTypeChanged(2);
    connect(m_orderListWidget, &tfhomeorders_OrderListWidget::importStatusChange, this,
            &tfhomeorders::restyleSearchButton);
}

void tfhomeorders::restyleSearchButton(bool importing)
{
    // Without a branch it stays on: pressed, it says what to do.
    m_searchButton->setEnabled(!importing);
    m_searchButton->setStyleSheet(searchButtonStyle(importing));
}

OrderInfo tfhomeorders::currentOrder() const
{
    return m_orderListWidget->currentOrder();
}

OrderInfo tfhomeorders::orderAt(int index) const
{
    return m_orderListWidget->orderAt(index);
}

void tfhomeorders::updateProgress(const OrderInfo &order, int percent)
{
    m_orderListWidget->updateProgress(order, percent);
}

void tfhomeorders::setOrderStatus(const OrderInfo &order, OrderRunState state)
{
    m_orderListWidget->setOrderStatus(order, state);
}

void tfhomeorders::updatePhotoStatus(const OrderInfo &order, int index, const QString &name, int state)
{
    m_orderListWidget->updatePhotoStatus(order, index, name, state);
}

void tfhomeorders::setImporting(bool on)
{
    m_orderListWidget->setImporting(on);
}

void tfhomeorders::startNext(int row)
{
    m_orderListWidget->startNext(row);
}

void tfhomeorders::addImportedPhoto(const PhotoInfo &photo)
{
    m_photoDisplayWidget->addImportedPhoto(photo);
}

void tfhomeorders::updateOrder(const OrderInfo &order)
{
    m_orderListWidget->updateOrder(order);
    followGrid(m_orderListWidget->orderAt(order.row));
}

void tfhomeorders::followGrid(const OrderInfo &stored)
{
    const OrderInfo &shown = m_photoDisplayWidget->shownOrder();
    if (stored.row >= 0 && shown.row == stored.row && shown.order_photo_id == stored.order_photo_id)
        m_photoDisplayWidget->followOrder(stored);
}

void tfhomeorders::onImportAllFinished()
{
    if (m_refreshHeld) {
        m_refreshWanted = true;
        return;
    }
    reqOrderList(kRefreshMode);
}

void tfhomeorders::holdImportCountRefresh(bool hold)
{
    m_refreshHeld = hold;
    if (hold || !m_refreshWanted)
        return;
    m_refreshWanted = false;
    reqOrderList(kRefreshMode);
}

void tfhomeorders::countUploadedPhotos(int row, const std::function<void(int, QString)> &done)
{
    m_orderListWidget->countUploadedPhotos(row, done);
}

ReportContext tfhomeorders::currentBranch() const
{
    return ReportContext{m_shopId, m_eid, m_superId};
}

void tfhomeorders::warnLater(const QString &text)
{
    QTimer::singleShot(0, this, [this, text]() {
        ModalBox::showMessage(this, QMessageBox::Warning, QStringLiteral("温馨提示"), text);
    });
}

void tfhomeorders::onSearchClick()
{
    // The table's rows are the engine's orders while it runs.
    if (m_orderListWidget->isImporting()) {
        qCDebug(lcTransfer) << "正在导片，忽略搜索";
        return;
    }
    if (g_shopList.isEmpty()) {
        warnNoShop();
        return;
    }
    reqShopInfo();
}

void tfhomeorders::warnNoShop()
{
    ModalBox::showMessage(window(), QMessageBox::Warning, QStringLiteral("温馨提示"), OrderService::noShopText());
}

void tfhomeorders::reqShopInfo()
{
    const int seq = ++m_shopSeq;
    const QString shopId = m_shopId;
    OrderService::send(this, OrderService::Action::SwitchShop, OrderService::switchShopBody(shopId),
                       [this, seq, shopId](bool ok, const QJsonDocument &reply) { onShopInfoReply(seq, shopId, ok, reply); });
}

void tfhomeorders::onShopInfoReply(int seq, const QString &shopId, bool ok, const QJsonDocument &reply)
{
    if (seq != m_shopSeq) {
        qCDebug(lcTransfer) << "丢弃过期的切换分店回复:" << seq;
        return;
    }
    if (!ok)
        return;
    const OrderService::Answer answer = OrderService::check(reply, OrderService::TextField::Msg);
    if (!answer.ok) {
        warnLater(answer.message);
        return;
    }
    // The ids of one branch together: the branch may have been changed in
    // the combo while this reply was on its way.
    m_switched = OrderService::switchedBranch(shopId, reply.object());
    m_superId = m_switched.superId;
    m_eid = m_switched.eid;
    m_photoDisplayWidget->shopId = shopId;
    m_photoDisplayWidget->eid = m_eid;
    m_photoDisplayWidget->superId = m_superId;
    QMap<QString, QString> shop;
    shop.insert(QStringLiteral("shopid"), m_shopId);
    shop.insert(QStringLiteral("superid"), m_superId);
    shop.insert(QStringLiteral("managerid"), m_eid);
    emit changeShop(shop);
    reqOrderList(QString());
}

void tfhomeorders::reqTiaoseList()
{
    const int seq = ++m_tiaoseSeq;
    OrderService::send(this, OrderService::Action::Persons, OrderService::personsBody(currentBranch()),
                       [this, seq](bool ok, const QJsonDocument &reply) { onTiaoseListReply(seq, ok, reply); });
}

void tfhomeorders::onTiaoseListReply(int seq, bool ok, const QJsonDocument &reply)
{
    if (seq != m_tiaoseSeq) {
        qCDebug(lcTransfer) << "丢弃过期的修片师列表回复:" << seq;
        return;
    }
    if (!ok)
        return;
    const OrderService::Answer answer = OrderService::check(reply);
    if (!answer.ok) {
        warnLater(answer.message);
        return;
    }
    const QJsonObject object = reply.object();
    // Filled from empty, so the combo's index always matches m_tiaoseIds.
    m_tiaoseIds.clear();
    m_tiaoseCombo->clear();
    m_tiaoseId.clear();
    m_tiaoseIds.append(QString());
    m_tiaoseCombo->addItem(QStringLiteral("全部"));
    for (const QJsonValue &value : object.value(QStringLiteral("persons")).toArray()) {
        const QJsonObject person = value.toObject();
        m_tiaoseIds.append(OrderReplies::text(person, "id"));
        m_tiaoseCombo->addItem(OrderReplies::text(person, "name"));
    }
    fitTiaoseCombo();
}

void tfhomeorders::fitTiaoseCombo()
{
    // Compact, but never narrower than the longest retoucher's name.
    m_tiaoseCombo->setFixedWidth(qMax(K::instance()->scale(80), TextWidth::comboBox(m_tiaoseCombo)));
}

void tfhomeorders::reqOrderList(const QString &mode)
{
    const bool refresh = mode == kRefreshMode;
    const int seq = refresh ? ++m_refreshSeq : ++m_orderListSeq;
    OrderService::OrderQuery query;
    switch (m_searchTypeCombo->currentIndex()) {
    case 1:
        query.keyword = m_shotDateEdit->date().toString(QStringLiteral("yyyy-MM-dd"));
        query.searchBy = OrderService::SearchBy::ShotDate;
        break;
    case 2:
        query.keyword = m_selectDateEdit->date().toString(QStringLiteral("yyyy-MM-dd"));
        query.searchBy = OrderService::SearchBy::SelectDate;
        break;
    default:
        query.keyword = m_keywordEdit->text();
        query.searchBy = OrderService::SearchBy::Keyword;
        break;
    }
    query.role7id = m_tiaoseId;
    const ReportContext branch = m_switched;
    OrderService::send(this, OrderService::Action::OrderList, OrderService::orderListBody(query, currentBranch()),
                       [this, seq, mode, branch](bool ok, const QJsonDocument &reply) {
                           onOrderListReply(seq, mode, branch, ok, reply);
                       });
}

void tfhomeorders::onOrderListReply(int seq, const QString &mode, const ReportContext &branch, bool ok,
                                    const QJsonDocument &reply)
{
    const bool refresh = mode == kRefreshMode;
    if (seq != (refresh ? m_refreshSeq : m_orderListSeq)) {
        qCDebug(lcTransfer) << "丢弃过期的订单列表回复:" << mode << seq;
        return;
    }
    if (!ok)
        return;
    const OrderService::Answer answer = OrderService::check(reply);
    if (!answer.ok) {
        warnLater(answer.message);
        return;
    }
    const QJsonObject object = reply.object();
    const QJsonArray data = object.value(QStringLiteral("data")).toArray();
    if (data.isEmpty()) {
        // The refresh after a batch comes with the "全部导完" summary; a
        // second box over it would only say that the counts stay as they are.
        if (refresh)
            qCDebug(lcTransfer) << "刷新导入数量时未检索到订单，保留原有数量";
        else
            warnLater(QStringLiteral("未检索到订单"));
        return;
    }

    if (refresh) {
        const QMap<QString, OrderInfo> counts = OrderReplies::importedCounts(data);
        m_orderListWidget->updateImportedCounts(counts);
        const OrderInfo shown = m_photoDisplayWidget->shownOrder();
        if (counts.contains(shown.order_photo_id))
            followGrid(m_orderListWidget->orderAt(shown.row));
        return;
    }

    // Rebuilding the rows would pull the orders from under the engine.
    if (m_orderListWidget->isImporting()) {
        qCWarning(lcTransfer) << "导片进行中，丢弃订单搜索结果";
        return;
    }
    m_openypml = object.value(QStringLiteral("openypml")).toInt(0);
    m_delyp = object.value(QStringLiteral("delyp")).toInt(0);
    m_orderListWidget->openypml = m_openypml;
    m_orderListWidget->delyp = m_delyp;
    m_photoDisplayWidget->setDeletePermission(m_delyp);
    m_listed = branch;
    // Each order is read from the reply as its row is filled.
    m_orderListWidget->fillOrders(data.size(), [data](int i) { return OrderReplies::orderFromJson(data.at(i).toObject(), i); });
}

void tfhomeorders::getOrderImportPhotos(const OrderInfo &order)
{
    const int seq = ++m_photoSeq[order.order_photo_id];
    OrderService::send(this, OrderService::Action::OrderPhotos,
                       OrderService::orderPhotosBody(order.order_photo_id, currentBranch()),
                       [this, seq, order](bool ok, const QJsonDocument &reply) { onOrderPhotosReply(seq, order, ok, reply); });
}

void tfhomeorders::onOrderPhotosReply(int seq, const OrderInfo &sent, bool ok, const QJsonDocument &reply)
{
    if (seq != m_photoSeq.value(sent.order_photo_id)) {
        qCDebug(lcTransfer) << "丢弃过期的订单照片回复:" << sent.order_photo_id << seq;
        return;
    }
    if (!ok || !OrderService::check(reply).ok)
        return;
    OrderInfo stored = m_orderListWidget->orderAt(sent.row);
    if (stored.row < 0 || stored.order_photo_id != sent.order_photo_id) {
        qCWarning(lcTransfer) << "订单照片回复对应的行已不是该订单，已丢弃:" << sent.order_photo_id << sent.row;
        return;
    }
    OrderInfo lists;
    OrderReplies::sortServerPhotos(reply.object().value(QStringLiteral("images")).toArray(), &lists);
    stored.photos = lists.photos;
    stored.trialVideos = lists.trialVideos;
    stored.retouchedVideos = lists.retouchedVideos;
    // The grid follows the stored order when it shows it.
    updateOrder(stored);
}

void tfhomeorders::onBranchSelectionChanged(int index)
{
    if (index < 0 || index >= g_shopList.size())
        return;
    m_shopId = g_shopList.at(index).id;
    m_tiaoseCombo->clear();
    m_tiaoseIds.clear();
    m_tiaoseId.clear();
    reqTiaoseList();
}

void tfhomeorders::onOrderSelectionChanged(int row, OrderInfo order)
{
    m_photoDisplayWidget->setOrder(order);
    emit orderSelChanged(row, order);
}

void tfhomeorders::onSearchTypeChanged(int index)
{
    m_keywordEdit->hide();
    m_shotDateEdit->hide();
    m_selectDateEdit->hide();
    if (index == 1)
        m_shotDateEdit->show();
    else if (index == 2)
        m_selectDateEdit->show();
    else
        m_keywordEdit->show();
    qCDebug(lcTransfer) << "搜索类型已切换到索引:" << index;
}

void tfhomeorders::onStartImportOrder(OrderInfo order)
{
    qCDebug(lcTransfer) << "启动单个订单导片:" << order.orderpayforkey;
    emit startImportOrder(order);
}

void tfhomeorders::onStartImportAllOrders(QList<OrderInfo> orders)
{
    qCDebug(lcTransfer) << "启动批量导片，订单数量:" << orders.size();
    emit startImportAllOrders(orders);
}

void tfhomeorders::onStopAllImport()
{
    qCDebug(lcTransfer) << "停止所有导片";
    emit stopAllImport();
}

void tfhomeorders::onReloadOrderThumbnail(QString orderPhotoId)
{
    const OrderInfo current = m_orderListWidget->currentOrder();
    if (current.row >= 0 && current.order_photo_id == orderPhotoId)
        getOrderImportPhotos(current);
}
