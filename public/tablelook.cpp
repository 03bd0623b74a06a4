#include "public/tablelook.h"

#include <QModelIndex>
#include <QTableView>

#include "base/k.h"

namespace TableLook {

QString thinScrollBars()
{
    K *k = K::instance();
    return QStringLiteral("QScrollBar:vertical { background: rgba(0, 0, 0, 0.05); width: %1px; border-radius: %2px;"
                          " margin: 0px; }"
                          "QScrollBar:horizontal { background: rgba(0, 0, 0, 0.05); height: %1px; border-radius: %2px;"
                          " margin: 0px; }"
                          "QScrollBar::handle:vertical { background: rgba(0, 0, 0, 0.2); border-radius: %2px;"
                          " min-height: %3px; margin: %4px; }"
                          "QScrollBar::handle:horizontal { background: rgba(0, 0, 0, 0.2); border-radius: %2px;"
                          " min-width: %3px; margin: %4px; }"
                          "QScrollBar::handle:hover { background: rgba(0, 0, 0, 0.35); }"
                          "QScrollBar::handle:pressed { background: rgba(0, 0, 0, 0.5); }"
                          "QScrollBar::add-line, QScrollBar::sub-line { border: none; background: none; width: 0px;"
                          " height: 0px; }"
                          "QScrollBar::add-page, QScrollBar::sub-page { background: none; }"
                          "QAbstractScrollArea::corner { background: transparent; }")
        .arg(k->scaleText(8), k->scaleText(4), k->scaleText(20), k->scaleText(2));
}

void fitCell(QTableView *table, const QModelIndex &index)
{
    if (!table || !index.isValid())
        return;
    // The style sheet sets the font and the item paddings when the table
    // is polished.
    table->ensurePolished();
    // The grid line takes the column's last pixel, and a hinted font on a
    // real screen draws a pixel or two wider than it measures: without the
    // slack the last digit of an order number was cut off there.
    const int wanted = table->sizeHintForIndex(index).width() + (table->showGrid() ? 1 : 0)
                       + K::instance()->scale(4);
    if (table->columnWidth(index.column()) < wanted)
        table->setColumnWidth(index.column(), wanted);
}

} // namespace TableLook
