#include "public/columnfit.h"

#include <algorithm>

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

ColumnFit::ColumnFit(QTableView *view, const QVector<Column> &list)
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

void ColumnFit::setPreferred(int column, int value)
{
    if (column < 0 || column >= columns.size() || columns.at(column).preferred == value)
        return;
    columns[column].preferred = value;
    fit();
}

void ColumnFit::setMinimum(int column, int value)
{
    if (column < 0 || column >= columns.size() || columns.at(column).minimum == value)
        return;
    columns[column].minimum = value;
    fit();
}

int ColumnFit::minimum(int column) const
{
    return column >= 0 && column < columns.size() ? columns.at(column).minimum : 0;
}

void ColumnFit::fit()
{
    if (fitting || columns.isEmpty())
        return;
    const int available = table->viewport()->width();
    if (available <= 0)
        return;
    QVector<Column> current = columns;
    for (int i = 0; i < current.size(); ++i) {
        if (current.at(i).preferred < 0)
            current[i] = {table->columnWidth(i), 0, 0};
    }
    const QVector<int> fitted = widths(current, available, columns.last().preferred >= 0);
    fitting = true;
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).preferred >= 0 && table->columnWidth(i) != fitted.at(i))
            table->setColumnWidth(i, fitted.at(i));
    }
    fitting = false;
}

QVector<int> ColumnFit::widths(const QVector<Column> &list, int available, bool widenLast)
{
    QVector<int> result(list.size());
    int total = 0;
    QVector<int> levels;
    for (int i = 0; i < list.size(); ++i) {
        const Column &column = list.at(i);
        result[i] = std::max(column.preferred, column.minimum);
        total += result.at(i);
        if (column.giveWay > 0 && !levels.contains(column.giveWay))
            levels.append(column.giveWay);
    }
    if (total <= available) {
        if (widenLast && !result.isEmpty())
            result.last() += available - total;
        return result;
    }
    std::sort(levels.begin(), levels.end());
    for (const int level : qAsConst(levels)) {
        if (total <= available)
            break;
        qint64 room = 0;
        for (int i = 0; i < list.size(); ++i) {
            if (list.at(i).giveWay == level)
                room += result.at(i) - list.at(i).minimum;
        }
        if (room <= 0)
            continue;
        const qint64 take = std::min<qint64>(total - available, room);
        qint64 taken = 0;
        for (int i = 0; i < list.size(); ++i) {
            if (list.at(i).giveWay != level)
                continue;
            const int cut = int(take * (result.at(i) - list.at(i).minimum) / room);
            result[i] -= cut;
            taken += cut;
        }
        // What the rounding down left: a pixel from each column that still
        // has one, so the level gives exactly what was asked. Each column
        // that gave a share rounded down has at least that pixel left.
        for (int i = 0; i < list.size() && taken < take; ++i) {
            if (list.at(i).giveWay == level && result.at(i) > list.at(i).minimum) {
                --result[i];
                ++taken;
            }
        }
        total -= int(taken);
    }
    return result;
}

bool ColumnFit::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == viewport)
        fit();
    return QObject::eventFilter(watched, event);
}
