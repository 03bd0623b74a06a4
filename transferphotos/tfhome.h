#pragma once

#include <functional>

#include <QJsonObject>
#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QString>
#include <QStringList>

#include "base/orderinfo.h"
#include "transferphotos/jobs/tfunfinished.h"

class QHBoxLayout;
class QLabel;
class QPushButton;
class QTimer;
class ToastWidget;
class tfhomeorders;
class tfhomephotos;
class tfhomereports;
class tfimportthreadmanager;
class WindowDrag;

// The photo-transfer window: the order search panel on the left, the picked
// photos of the selected order on the right, the import engine underneath.
// Turns the engine's results into view updates, the next order of the
// sequence and the reports to the order service.
class tfhome : public QMainWindow
{
    Q_OBJECT

public:
    explicit tfhome(QWidget *parent = nullptr);
    ~tfhome() override;

    QJsonObject loginData;

    // Reports to the order service.
    void upImportPhotoInfo(const QString &orderPhotoId, int row, const QString &path, const PhotoInfo &entry);
    void upImportOrderPath(int row, QString orderPhotoId, QString folder);
    void upImportOrderData(OrderInfo order);
    void uploadOrderByRow(int row);

    tfhomeorders *ordersPanel() const { return searchPanel; }
    tfhomephotos *photosPanel() const { return photoList; }
    tfimportthreadmanager *engine() const { return importManager; }
    tfhomereports *reports() const { return reporter; }

    // Resize zone under a point in window coordinates (0 none, 5 bottom,
    // 6 right, 7 top-right, 8 bottom-right).
    int hitTest(const QPoint &pos) const;
    bool isMaximizedByTitleBar() const { return maximized; }

public slots:
    void onCloseButtonClicked();
    void onMinimizeButtonClicked();
    void onMaximizeButtonClicked();
    void onStartImportOrder(OrderInfo order);
    void onStartAllImport(QList<OrderInfo> orders);
    void onStopAllImport();
    void onPhotoImported(OrderInfo order, QString photoName, int index, bool ok, QString error);
    void onOrderProgressUpdated(OrderInfo order, int done, int total);
    void onOrderImportCompleted(OrderInfo order, bool ok, QString error);
    void onAllTasksCompleted();
    void onPathErrorOccurred(QString message, QString path);

protected:
    // Closing mid-run asks first; 是 stops the run, and the window goes
    // once the copies in hand are written.
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void buildTitleBar();
    void buildBody();
    void handlePhotoImported(const OrderInfo &order, const QString &photoName, int index, bool ok,
                             const QString &error);
    void handleOrderImportCompleted(const OrderInfo &order, bool ok, const QString &error);
    void onPhotoSaved(const QString &orderPhotoId, int row, const PhotoInfo &saved, int uploadType);
    void onOrderReportsFailed(const QString &orderPhotoId, const QString &label, const QStringList &failures);
    void onOrderSettled(const QString &orderPhotoId, int row);
    void onOrderReportsDone(const QString &orderPhotoId, int row, const QStringList &problems);
    void resubmitOrderReports(int row);
    // The stored order of row when it still is the order with this id;
    // the no-order value otherwise.
    OrderInfo storedOrder(int row, const QString &orderPhotoId) const;
    void syncReportContext();
    void onOrderResumed(const OrderInfo &order, const TfUnfinished::Resume &resume);
    // An order is being imported, or waits for the engine.
    bool isRunning();
    // The question before a close mid-run; no photo starts and no end of an
    // order is taken while it is shown.
    bool confirmStop();
    // The run ends here: the order in the engine turns back to waiting and
    // is not reported as done.
    void stopRun();
    void closeWhenCopiesWritten();
    // While the question is shown, what would end an order or show a box
    // waits for the answer; false when call was held back.
    bool runNowOrHold(const std::function<void()> &call);
    void toggleMaximized();
    int edgeAt(const QPoint &pos) const;
    QRect innerRect() const;

    QWidget *titleBar = nullptr;
    QPushButton *closeButton = nullptr;
    QPushButton *minimizeButton = nullptr;
    QPushButton *maximizeButton = nullptr;
    QLabel *titleLabel = nullptr;
    QWidget *centralArea = nullptr;
    QHBoxLayout *bodyLayout = nullptr;
    tfhomeorders *searchPanel = nullptr;
    tfhomephotos *photoList = nullptr;
    tfimportthreadmanager *importManager = nullptr;
    tfhomereports *reporter = nullptr;
    WindowDrag *titleDrag = nullptr;
    bool maximized = false;
    bool resizing = false;
    QPoint resizeStartPos;
    QRect startGeometry;
    int resizeEdge = 0;
    bool closing = false;
    bool asking = false;
    bool stopping = false;
    QList<std::function<void()>> heldBack;
    QTimer *stopTimer = nullptr;
    QPointer<ToastWidget> resumeToast;
    // Orders whose run reached 100 %: their order report is due once the
    // run's file reports have answered.
    QSet<QString> completeRuns;
};
