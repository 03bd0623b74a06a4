#pragma once

#include <functional>

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "base/orderinfo.h"

class OrderNumberButtonDelegate;
class QButtonGroup;
class QHBoxLayout;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTimer;
class QVBoxLayout;
class RowFeeder;
class SharedFolderOpener;

// The upload type an order's picks were made under (from the size tags of
// its picked entries); the current g_uploadType when nothing is picked.
// Reports and counts of an order use this, never the type selected now.
UploadType uploadTypeOf(const OrderInfo &order);

// The order table of the photo-transfer window: one order per row, the
// files picked per order, and the sequencer that hands one order at a time
// to the import engine.
class tfhomeorders_OrderListWidget : public QWidget
{
    Q_OBJECT

public:
    // Asks the user for files: parent, caption, filter; returns the chosen
    // paths (empty when cancelled). Tests replace the file dialog here.
    using FilePicker = std::function<QStringList(QWidget *, const QString &, const QString &)>;
    static void setFilePicker(FilePicker picker);

    explicit tfhomeorders_OrderListWidget(QWidget *parent = nullptr);
    ~tfhomeorders_OrderListWidget() override;

    int openypml = 0;
    int delyp = 0;
    QString headerTitle;

    void clearOrders();
    void addOrderRow(const OrderInfo &order);
    // Replaces the rows with count orders, orderAt(i) giving order i. The
    // table has its count of rows at once; the orders fill them a slice at
    // a time across turns of the event loop, so a search of thousands of
    // orders never holds the window. A new fill or clearOrders drops the
    // orders not added yet; orderCount() is the orders added so far.
    void fillOrders(int count, const std::function<OrderInfo(int)> &orderAt);
    bool isFilling() const;
    OrderInfo currentOrder() const;
    OrderInfo orderAt(int index) const;
    int orderCount() const { return orders.size(); }
    void updateOrder(const OrderInfo &order);
    void updateImportedCounts(const QMap<QString, OrderInfo> &counts);
    // The order's state, and its label in the status cell.
    void setOrderStatus(const OrderInfo &order, OrderRunState state);
    void updateProgress(const OrderInfo &order, int percent);
    void updatePhotoStatus(const OrderInfo &order, int index, const QString &name, int state);
    void setImporting(bool on);
    bool isImporting() const { return importing; }
    void startNext(int afterRow);
    void countUploadedPhotos(int row, const std::function<void(int, QString)> &done);
    QList<PhotoInfo> addSelectedFiles(const QStringList &files, const OrderInfo &order);
    void setUploadType(int type);

    // Reports of the order that the service did not take: its status cell
    // reads "上报失败" and holds a button that asks for them to be sent again
    // (resubmitReports). An empty list shows the order's status again, as
    // does every change of its status.
    void setReportProblems(const OrderInfo &order, const QStringList &problems);
    // The order's reports are being sent again: the button waits.
    void setReportsResubmitting(const OrderInfo &order);

    // What the order's run did over of an earlier run cut short ("重新导入
    // 3 张未完成的照片"): the 已选 cell's tip, and a line of the summary
    // at the end of the batch. Dropped when the order's next run starts.
    void setResumeNote(const OrderInfo &order, const QString &note);

    // The texts of a row's cells, by column title (tests and the window).
    QString cellText(int row, const QString &header) const;
    // The table with the buttons of its first and visible rows made.
    QTableWidget *tableWidget();

    static QString statusColor(const QString &status);

signals:
    void orderSelectionChanged(int row, OrderInfo order);
    void startImportOrder(OrderInfo order);
    void startImportAllOrders(QList<OrderInfo> orders);
    void stopAllImport();
    void importStatusChange(bool importing);
    void importAllFinish();
    void resubmitReports(int row);

public slots:
    void onStartAllClicked();
    void onOpenPhotoPathClicked();
    void onTableSelectionChanged();
    void onSelectPhotosClicked();
    void onCleanPhotosClicked();
    void onRestImportPathClicked();
    void onOrderNumberClicked(int row, QString text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupUI();
    // The columns up to the row buttons stay on screen, the path takes what
    // is left of it; the columns behind keep their widths and scroll.
    void fitColumns();
    int columnOf(const QString &header) const;
    void setCell(int row, const QString &header, const QString &text);
    void setPathCell(int row, const QString &path);
    void setStatusCell(int row, const QString &status, bool coloured);
    void setRowState(int row, OrderRunState state, bool coloured);
    QWidget *makeOperationCell(int row);
    // Gives the first rows and the rows on screen their buttons where they
    // have none yet.
    void makeOperationCells();
    // The row a row button stands for, or -1 when it no longer exists.
    int rowOfSender() const;
    // Whether order names the stored order of its row (same id); logs and
    // returns false otherwise.
    bool holdsOrder(const OrderInfo &order, const char *what) const;
    void refreshStartButton();
    void updateOperationButtons();
    void showInfo(const QString &title, const QString &text);

    SharedFolderOpener *folderOpener = nullptr;
    QVBoxLayout *contentLayout = nullptr;
    QStringList headers;
    QTableWidget *table = nullptr;
    bool fitting = false;
    OrderNumberButtonDelegate *orderNumberDelegate = nullptr;
    QHBoxLayout *toolbarLayout = nullptr;
    QPushButton *startAllButton = nullptr;
    QButtonGroup *typeGroup = nullptr;
    QRadioButton *photoTypeButton = nullptr;
    QRadioButton *trialVideoButton = nullptr;
    QRadioButton *retouchedVideoButton = nullptr;
    QList<OrderInfo> orders;
    bool importing = false;
    QTimer *operationCellTimer = nullptr;
    RowFeeder *feeder = nullptr;
    QHash<int, QString> resumeNotes;
};
