#pragma once

#include <functional>

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "base/orderinfo.h"

class QComboBox;
class QDateEdit;
class QHBoxLayout;
class QJsonDocument;
class QLineEdit;
class QPushButton;
class QSplitter;
class QVBoxLayout;
class tfhomeorders_OrderListWidget;
class tfhomeorders_PhotoDisplayWidget;

// The left panel of the photo-transfer window: the search bar (branch,
// search type, keyword or date, retoucher), the order table and the grid
// of the selected order's imported photos. Asks the order service for
// branches, retouchers, orders and an order's photos, and relays the
// table's import signals to the window.
class tfhomeorders : public QWidget
{
    Q_OBJECT

public:
    explicit tfhomeorders(QWidget *parent = nullptr);
    ~tfhomeorders() override;

    OrderInfo currentOrder() const;
    OrderInfo orderAt(int index) const;
    void updateProgress(const OrderInfo &order, int percent);
    void setOrderStatus(const OrderInfo &order, OrderRunState state);
    void updatePhotoStatus(const OrderInfo &order, int index, const QString &name, int state);
    void setImporting(bool on);
    void startNext(int row);
    void addImportedPhoto(const PhotoInfo &photo);
    void updateOrder(const OrderInfo &order);
    void getOrderImportPhotos(const OrderInfo &order);
    void countUploadedPhotos(int row, const std::function<void(int, QString)> &done);

    // The ids of the branch the requests speak for (the last switch).
    QString shopId() const { return m_shopId; }
    QString eid() const { return m_eid; }
    QString superId() const { return m_superId; }
    // The branch the table's orders were listed under: reports about those
    // orders speak for it, whatever branch has been chosen since.
    ReportContext listedContext() const { return m_listed; }

    // While held, the import-count refresh at the end of a batch waits (the
    // reports of its last photos are still on their way, and a list taken
    // before the service has them would undo what the grid shows); released,
    // a waiting refresh is sent.
    void holdImportCountRefresh(bool hold);

    tfhomeorders_OrderListWidget *orderListWidget() const { return m_orderListWidget; }
    tfhomeorders_PhotoDisplayWidget *photoDisplayWidget() const { return m_photoDisplayWidget; }

    void reqShopInfo();
    void reqTiaoseList();
    void reqOrderList(const QString &mode);

signals:
    void orderSelChanged(int row, OrderInfo order);
    void importProgressUpdated(QString orderPhotoId, int percent);
    void startImportOrder(OrderInfo order);
    void startImportAllOrders(QList<OrderInfo> orders);
    void stopAllImport();
    void changeShop(QMap<QString, QString> shop);

public slots:
    void onSearchClick();
    void onBranchSelectionChanged(int index);
    void onOrderSelectionChanged(int row, OrderInfo order);
    void onSearchTypeChanged(int index);
    void onStartImportOrder(OrderInfo order);
    void onStartImportAllOrders(QList<OrderInfo> orders);
    void onStopAllImport();
    void onReloadOrderThumbnail(QString orderPhotoId);

private:
    void buildPanel();
    // The branch the search bar's requests speak for.
    ReportContext currentBranch() const;
    void onShopInfoReply(int seq, const QString &shopId, bool ok, const QJsonDocument &reply);
    void onTiaoseListReply(int seq, bool ok, const QJsonDocument &reply);
    void onOrderListReply(int seq, const QString &mode, const ReportContext &branch, bool ok,
                          const QJsonDocument &reply);
    void onImportAllFinished();
    // The grid shows the stored order of its row as it is now.
    void followGrid(const OrderInfo &stored);
    void onOrderPhotosReply(int seq, const OrderInfo &sent, bool ok, const QJsonDocument &reply);
    // Warning box titled "温馨提示", opened on the next turn of the event loop.
    void warnLater(const QString &text);
    // The account has no branch: the box every tool shows for it.
    void warnNoShop();
    void restyleSearchButton(bool importing);
    void fitTiaoseCombo();

    tfhomeorders_OrderListWidget *m_orderListWidget = nullptr;
    QString m_shopId;
    QString m_eid;
    QString m_superId;
    // The branch of the last switch reply (the shop id that switch sent) and
    // the branch the shown orders were listed under.
    ReportContext m_switched;
    ReportContext m_listed;
    bool m_refreshHeld = false;
    bool m_refreshWanted = false;
    int m_openypml = 0;
    int m_delyp = 0;
    QVBoxLayout *m_mainLayout = nullptr;
    QComboBox *m_branchCombo = nullptr;
    QComboBox *m_searchTypeCombo = nullptr;
    QLineEdit *m_keywordEdit = nullptr;
    QDateEdit *m_shotDateEdit = nullptr;
    QDateEdit *m_selectDateEdit = nullptr;
    QSplitter *m_splitter = nullptr;
    QComboBox *m_tiaoseCombo = nullptr;
    tfhomeorders_PhotoDisplayWidget *m_photoDisplayWidget = nullptr;
    QStringList m_tiaoseIds;
    QString m_tiaoseId;
    QPushButton *m_searchButton = nullptr;

    // Sequence numbers per kind of request: a reply older than the newest
    // request of its kind is dropped.
    int m_shopSeq = 0;
    int m_tiaoseSeq = 0;
    int m_orderListSeq = 0;
    int m_refreshSeq = 0;
    QHash<QString, int> m_photoSeq;
};
