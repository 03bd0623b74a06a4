#pragma once

#include <QObject>
#include <QVector>

class QTableView;
class QWidget;

// Keeps a table's columns inside its viewport, so that the columns a user
// acts on stay on screen: each column starts at its preferred width, the
// last one takes what is left over, and when the viewport is narrower than
// the preferred widths the text columns give way first, in their order,
// down to their minimum; the other columns follow, down to theirs. Only
// where even the minimums do not fit does the table scroll sideways.
class BatchDeleteColumnFit : public QObject
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

    BatchDeleteColumnFit(QTableView *table, const QVector<Column> &columns);

    // A minimum that follows the content (the widest status shown).
    void setMinimum(int column, int minimum);
    int minimum(int column) const;
    void fit();

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
