#include "batchdelete/batchdeletecolumnfit.h"

#include <algorithm>

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

BatchDeleteColumnFit::BatchDeleteColumnFit(QTableView *view, const QVector<Column> &list)
    : QObject(view)
    , table(view)
    , viewport(view->viewport())
    , columns(list)
{
    // The last column is sized here: the header's own stretch would keep
    // it at its width when the others already overflow.
    table->horizontalHeader()->setStretchLastSection(false);
    table->horizontalHeader()->setMinimumSectionSize(1);
    viewport->installEventFilter(this);
    // A column sized to its content elsewhere (a long order number) moves
    // the others.
    connect(table->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section) {
        if (!fitting && section >= 0 && section < columns.size() && columns.at(section).preferred < 0)
            fit();
    });
    fit();
}

void BatchDeleteColumnFit::setMinimum(int column, int value)
{
    if (column < 0 || column >= columns.size() || columns.at(column).minimum == value)
        return;
    columns[column].minimum = value;
    fit();
}

int BatchDeleteColumnFit::minimum(int column) const
{
    return column >= 0 && column < columns.size() ? columns.at(column).minimum : 0;
}

void BatchDeleteColumnFit::fit()
{
    if (fitting || columns.isEmpty())
        return;
    const int available = table->viewport()->width();
    if (available <= 0)
        return;
    QVector<int> widths(columns.size());
    int total = 0;
    for (int i = 0; i < columns.size(); ++i) {
        const Column &column = columns.at(i);
        widths[i] = column.preferred < 0 ? table->columnWidth(i) : std::max(column.preferred, column.minimum);
        total += widths.at(i);
    }
    if (total > available) {
        QVector<int> levels;
        for (const Column &column : qAsConst(columns)) {
            if (column.giveWay > 0 && column.preferred >= 0 && !levels.contains(column.giveWay))
                levels.append(column.giveWay);
        }
        std::sort(levels.begin(), levels.end());
        for (const int level : qAsConst(levels)) {
            for (int i = 0; i < columns.size() && total > available; ++i) {
                if (columns.at(i).giveWay != level || columns.at(i).preferred < 0)
                    continue;
                const int cut = std::min(total - available, std::max(0, widths.at(i) - columns.at(i).minimum));
                widths[i] -= cut;
                total -= cut;
            }
        }
    } else if (columns.last().preferred >= 0) {
        widths.last() += available - total;
    }
    fitting = true;
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).preferred >= 0 && table->columnWidth(i) != widths.at(i))
            table->setColumnWidth(i, widths.at(i));
    }
    fitting = false;
}

bool BatchDeleteColumnFit::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == viewport)
        fit();
    return QObject::eventFilter(watched, event);
}
