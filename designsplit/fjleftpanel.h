#pragma once

#include <functional>

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include "base/orderservice.h"
#include "designsplit/jobs/fjrecords.h"

class FJTickDelegate;
class RowFeeder;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class QVBoxLayout;

// The left half of the design-split window: the batch progress, the chosen
// shop's orders with one tick per row, and the buttons that tick or untick
// every row. A search first switches the service to the shop, keeps
// the shop's account ids, then loads the order list.
class FJLeftPanel : public QWidget
{
    Q_OBJECT

public:
    explicit FJLeftPanel(QWidget *parent = nullptr);

    // Called once by the window, right after construction.
    void setMode(int mode);
    void reqOrderList(const QString &searchType, const QString &keyword);
    // Rows that are ticked, in ascending order.
    QList<int> selectedRows() const;
    void setControlsEnabled(bool enabled);
    void clearTable();

    // The item holding a row's tick (its check state), or null. Setting its
    // check state is ticking the row, as a click on it is.
    QTableWidgetItem *tickAt(int row) const;
    bool isTicked(int row) const;
    // Where a row's tick box and, in the raw-file download, its "设置选中"
    // link are drawn, in the table's viewport; empty for a row not there.
    QRect tickBoxRect(int row) const;
    QRect pickLinkRect(int row) const;

    // Whether a search's rows are still being added.
    bool isFilling() const;

    // Gives the columns the table's width. Each column is at least as wide
    // as its header and its widest text (a very long text, as a package
    // name, up to a bound, then cut with "…" and whole in its tooltip);
    // room beyond that goes to the columns that need it, up to the
    // specified widths and the whole texts, and what is left to the last.
    // Where even the least widths do not fit, the table scrolls sideways,
    // the tick and the order number at its left.
    void fitColumns();

    QProgressBar *progressBar = nullptr;
    QLabel *progressLabel = nullptr;
    QList<OrderData> orders;
    QString shopId;
    QString superId;
    QString eid;
    QString issjfenjianms;
    QVBoxLayout *mainLayout = nullptr;
    QStringList headers;
    QTableWidget *table = nullptr;
    QHBoxLayout *buttonBar = nullptr;
    QPushButton *selectAllButton = nullptr;
    QPushButton *unselectAllButton = nullptr;
    int mode = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void emitReqOrderFinish(bool done);
    void orderSelected(int row, bool checked);
    void userInfoChange(QString shopid, QString eid, QString superid);
    // The order list was emptied for a new search: rows and records of the
    // previous list no longer exist.
    void ordersReset();

public slots:
    void onOrderSelectionChanged(int currentRow, int currentColumn, int previousRow, int previousColumn);
    void onCellClicked(int row, int column);
    void onSelectAllClicked();
    void onUnselectAllClicked();
    void onReqShopInfo(const QString &searchType, const QString &keyword, const QString &shopId);

private:
    void buildUi();
    // Fills the row's cells; true when a text of it is the widest of its
    // column so far.
    bool fillRow(int row, const OrderData &order);
    void forgetWidths();
    void onRowToggled(int row, bool checked);
    void onItemChanged(QTableWidgetItem *item);
    void toggle(int row);
    // Repaints the tick cell of row, when there is one.
    void updateTickCell(int row);
    // Empties the table and the records at once; what they held is freed
    // a slice a turn after.
    void dropRows();
    void warn(const QString &text);
    // Posts a request of the search; a failed request or a service error
    // ends the search (the error shown), a success goes to onSuccess.
    void post(OrderService::Action action, const QByteArray &body,
              const std::function<void(const QJsonObject &)> &onSuccess);
    // Ends a search, after showing warning when there is one.
    void endSearch(const QString &warning);
    QString cellText(const QString &header, const OrderData &order) const;

    // Adds a search's rows a slice at a time; a new search drops the rest.
    RowFeeder *m_feeder = nullptr;
    FJTickDelegate *m_tickDelegate = nullptr;
    bool m_controlsEnabled = true;
    // Where the mouse button went up in the tick column, read by the cell
    // click that follows it.
    int m_clickRow = -1;
    int m_clickPart = 0;
    // The tick cell the mouse is over and the part of it, to repaint the
    // hover when it moves from one part to another.
    int m_hoverRow = -1;
    int m_hoverPart = 0;
    // Per column, the widest text of the list so far in pixels and its row:
    // the columns are fitted again only for a wider one, measured through
    // the view's delegate for that row alone.
    QVector<int> m_widestText;
    QVector<int> m_widestRow;
    // Items and records of emptied lists not freed yet.
};
