#pragma once

#include <QObject>
#include <QVector>

class QTableView;
class QWidget;

// Keeps a table's columns inside its viewport, so that the columns a user
// acts on stay on screen: each column starts at its preferred width, the
// last one takes what is left over, and when the viewport is narrower than
// the preferred widths the text columns give way first, level by level,
// down to their minimum. Only where even the minimums do not fit does the
// table scroll sideways.
class ColumnFit : public QObject
{
    Q_OBJECT

public:
    struct Column
    {
        // Pixels as drawn; a negative value keeps the width the column has
        // (one sized to its content elsewhere), which never gives way.
        int preferred = 0;
        int minimum = 0;
        // Columns give way in ascending order of this; 0 never.
        int giveWay = 0;
    };

    // Watches the table's viewport and fits its columns on every resize.
    ColumnFit(QTableView *table, const QVector<Column> &columns);

    // A width or a minimum that follows the content (the widest status
    // shown).
    void setPreferred(int column, int preferred);
    void setMinimum(int column, int minimum);
    int minimum(int column) const;
    void fit();

    // The widths of columns (preferred widths of 0 and more) in `available`
    // pixels. A column starts at its preferred width, never below its
    // minimum. Where they overflow, the columns of the lowest level give way
    // together, each in proportion to what it can still give, before the
    // next level does. With `widenLast`, room left over goes to the last
    // column, as a stretched last section would.
    static QVector<int> widths(const QVector<Column> &columns, int available, bool widenLast);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableView *table;
    // Kept apart: events still reach the filter while the table is being
    // destroyed, when it can no longer be asked for its viewport.
    QWidget *viewport;
    QVector<Column> columns;
    bool fitting = false;
};
