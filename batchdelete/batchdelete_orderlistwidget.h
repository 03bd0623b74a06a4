#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

#include "batchdelete/jobs/batchdeleterecords.h"

class QCheckBox;
class QLabel;
class QTableWidget;
class QVBoxLayout;

// The left-hand panel of the batch-delete window: one row per order of the
// last search, with a check box per row and "全选" above. During a run the
// row's "成功/失败/总数" cell counts the order's files, shows a progress bar
// while the order is worked on and, once it is done, buttons that list the
// deleted and the failed files. Columns are always found by their title.
class BatchDelete_OrderListWidget : public QWidget
{
    Q_OBJECT

public:
    explicit BatchDelete_OrderListWidget(QWidget *parent = nullptr);
    ~BatchDelete_OrderListWidget() override;

    void clearOrders();
    void addOrderRow(const BatchDeleteOrderInfo &order);
    QList<BatchDeleteOrderInfo> getCheckedOrders() const;
    void setCheckBoxesEnabled(bool enabled);
    void updateOrderFiles(const QString &orderPhotoId, const QList<BatchDeleteFileInfo> &files);
    void markFileDeleting(const QString &orderPhotoId, int index);
    void updateFileResult(const BatchDeleteOrderInfo &order, const BatchDeleteFileInfo &file);
    BatchDeleteOrderInfo currentOrder() const;
    void setOrderChecked(int row, bool checked);
    QString scrollBarStyleSheet() const;
    QString headerStyleSheet() const;
    void setAllChecked(bool checked);
    void showSuccessPhotos(int row);
    void showFailedPhotos(int row);

    // The first order with this id, or a record whose row is -1.
    BatchDeleteOrderInfo orderById(const QString &orderPhotoId) const;
    const QList<BatchDeleteOrderInfo> &allOrders() const { return orders; }
    QTableWidget *table() const { return orderTable; }
    QCheckBox *selectAllBox() const { return selectAllCheckBox; }
    // The label the window writes the order count (or a missing right) to.
    QLabel *orderCountLabel() const { return countLabel; }
    int column(const QString &title) const { return headerLabels.indexOf(title); }

signals:
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
    QCheckBox *rowCheckBox(int row) const;
    void showFileList(int row, bool failed);

    QVBoxLayout *contentLayout = nullptr;
    QTableWidget *orderTable = nullptr;
    QStringList headerLabels;
    QList<BatchDeleteOrderInfo> orders;
    QCheckBox *selectAllCheckBox = nullptr;
    QLabel *countLabel = nullptr;
};
