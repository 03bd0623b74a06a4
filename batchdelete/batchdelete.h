#pragma once

#include <memory>

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QWidget>

#include "batchdelete/jobs/batchdeleterecords.h"

class BatchDelete_FileListWidget;
class BatchDelete_OrderListWidget;
class BatchDeleteRun;
class DatePopup;
class ElementButton;
class FileDeleteProbe;
class QComboBox;
class QDateEdit;
class QLineEdit;

// Paints the items of the batch-delete window's combo boxes: dark under
// the mouse, blue when selected, white otherwise.
class BatchDeleteComboBoxDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// The batch-delete window: a branch's finished orders on the left, the
// files of the clicked order on the right. The start button confirms the
// account again and runs the deletion of every ticked order's folder.
class BatchDelete : public QWidget
{
    Q_OBJECT

public:
    explicit BatchDelete(QWidget *parent = nullptr);
    ~BatchDelete() override;

    // The login reply, stored by the tool chooser; not read by the window.
    QJsonObject loginReply;

    void reqShopInfo();
    void reqOrderList();
    void reqPersons();
    void setControlsEnabled(bool enabled);

    BatchDelete_OrderListWidget *orderPanel() const { return orderList; }
    BatchDelete_FileListWidget *filePanel() const { return fileList; }
    BatchDeleteRun *deleteRun() const { return run; }
    DatePopup *datePicker() const { return datePopup; }
    int deleteRight() const { return allowDelete; }
    // The file probes of the delete threads (tests put in their own).
    void setFileProbe(std::shared_ptr<const FileDeleteProbe> probe);

signals:
    void changeShop(const QMap<QString, QString> &shop);

public slots:
    void onSearchClick();
    void onBranchSelectionChanged(int index);
    void onSearchTypeChanged(int index);
    void onStartBatchDelete();
    void onOrderSelectionChanged(const QList<BatchDeleteOrderInfo> &orders);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // Mid-run the window asks first; the run holds while it asks.
    void closeEvent(QCloseEvent *event) override;

private:
    void initUI();
    void onVerified(bool ok, const QString &account, const QString &password);
    void onOrderClicked(const BatchDeleteOrderInfo &order);
    void onFilesRefreshed(const QString &orderPhotoId, const QList<BatchDeleteFileInfo> &files);
    void onShopReply(int serial, const QString &requestedShop, bool ok, const QJsonDocument &reply);
    void onOrderListReply(int serial, bool ok, const QJsonDocument &reply);
    void onRunFinished();
    void onRunStopped(const QString &message);
    void onRunClosedDown();
    bool askStopRun() const;
    bool refuseWithoutShop();
    void dropToasts();
    void showBox(bool warning, const QString &text);

    QString shopId;
    QString eid;
    QString superId;
    bool closing = false;
    // The close question is open, or 是 was answered and the run is
    // closing down before the window goes.
    bool askingToClose = false;
    bool closingDown = false;
    // The account has no branch: said once when the window first shows.
    bool noShopSaid = false;
    int allowDelete = 0;
    QComboBox *branchCombo = nullptr;
    QComboBox *searchTypeCombo = nullptr;
    QLineEdit *keywordEdit = nullptr;
    QDateEdit *dateEdit = nullptr;
    ElementButton *startButton = nullptr;
    ElementButton *searchButton = nullptr;
    BatchDelete_OrderListWidget *orderList = nullptr;
    BatchDelete_FileListWidget *fileList = nullptr;
    QStringList personIds;
    QString role7id;
    DatePopup *datePopup = nullptr;

    // The shop whose switch gave eid, superId and allowDelete: the branch
    // of the orders on screen, whatever the combo shows now.
    QString searchedShopId;
    // Whether any search has switched the branch: before that the right to
    // delete is not known, and the start button says a search is missing.
    bool branchSwitched = false;
    // Only the replies of the latest search are shown.
    int searchSerial = 0;
    // The ticked orders at the start button, deleted once the account is
    // confirmed.
    QList<BatchDeleteOrderInfo> pendingOrders;
    // Every order of the search at the start button: no ticked order's
    // folder may hold one of theirs.
    QList<BatchDeleteOrderInfo> pendingSearch;
    BatchDeleteRun *run = nullptr;
};
