#pragma once

#include <functional>

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include "batchdelete/jobs/batchdeleterecords.h"

class BatchDeleteRun;
class QCheckBox;
class RowFeeder;
class QLabel;
class QTableWidget;
class QVBoxLayout;

// The left-hand panel of the batch-delete window: one row per order of the
// last search, with a check box per row and "全选" above. During a run the
// row's "成功/失败/总数" cell counts the order's files, shows a progress bar
// while the order is worked on and, once it is done, buttons that list the
// deleted and the failed files. Columns are always found by their title.
//
// Once the run has announced an order's files, the order's first row reads
// them from the run's record, until a look at the folder gives the row a
// list of its own; the panel keeps no copy of what the run records.
class BatchDelete_OrderListWidget : public QWidget
{
    Q_OBJECT

public:
    explicit BatchDelete_OrderListWidget(QWidget *parent = nullptr);
    ~BatchDelete_OrderListWidget() override;

    void clearOrders();
    void addOrderRow(const BatchDeleteOrderInfo &order);
    // Adds count orders, make(i) building the i-th, a slice at a time
    // across turns of the event loop, so a search of thousands of orders
    // does not freeze the window. A later fill or clearOrders() drops the
    // rows not added yet.
    void fillOrders(int count, const std::function<BatchDeleteOrderInfo(int)> &make);
    // Whether rows of the last search are still arriving.
    bool isFilling() const;
    QList<BatchDeleteOrderInfo> getCheckedOrders() const;
    void setCheckBoxesEnabled(bool enabled);
    // The run whose records the rows of its orders show.
    void followRun(const BatchDeleteRun *run);
    // A look at the order's folder: its first row shows this list.
    void updateOrderFiles(const QString &orderPhotoId, const QList<BatchDeleteFileInfo> &files);
    // The row's order with the files it shows (the run's, once announced).
    BatchDeleteOrderInfo orderAt(int row) const;
    BatchDeleteOrderInfo currentOrder() const;
    void setOrderChecked(int row, bool checked);
    QString scrollBarStyleSheet() const;
    QString headerStyleSheet() const;
    void setAllChecked(bool checked);
    void showSuccessPhotos(int row);
    void showFailedPhotos(int row);

    // The rows as the search gave them, with the list of a look; a row that
    // shows the run's files has them in orderAt only.
    const QList<BatchDeleteOrderInfo> &allOrders() const { return orders; }
    QTableWidget *table() const { return orderTable; }
    QCheckBox *selectAllBox() const { return selectAllCheckBox; }
    // The label the window writes the order count (or a missing right) to.
    QLabel *orderCountLabel() const { return countLabel; }
    int column(const QString &title) const { return headerLabels.indexOf(title); }

signals:
    // The last fill has added its last row.
    void ordersFilled();
    void orderSelectionChanged(const QList<BatchDeleteOrderInfo> &orders);
    void singleOrderClicked(const BatchDeleteOrderInfo &order);

public slots:
    void onTableSelectionChanged();
    void onCheckBoxStateChanged(int state);
    void onSelectAllChanged(int state);

private:
    void setupUI();
    int indexOf(const QString &orderPhotoId) const;
    QWidget *counterCell(int row) const;
    void createRowWidgets(int row);
    void createVisibleRowWidgets();
    QCheckBox *rowCheckBox(int row) const;
    void showFileList(int row, bool failed);
    void onRunFilesAnnounced(const BatchDeleteOrderInfo &order);
    void onRunFileFinished(const BatchDeleteOrderInfo &order);
    // Shows the row's counts, and its progress or result buttons.
    void updateCounter(int row);

    QVBoxLayout *contentLayout = nullptr;
    QTableWidget *orderTable = nullptr;
    QStringList headerLabels;
    QList<BatchDeleteOrderInfo> orders;
    // Per row: whether it shows the run's record of its order.
    QVector<bool> showsRun;
    QPointer<const BatchDeleteRun> run;
    QCheckBox *selectAllCheckBox = nullptr;
    QLabel *countLabel = nullptr;
    RowFeeder *feeder = nullptr;
    // What a row's check box made later starts as.
    bool boxesEnabled = true;
};
