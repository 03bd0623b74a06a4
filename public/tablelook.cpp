#include "public/tablelook.h"

#include <QApplication>
#include <QHeaderView>
#include <QModelIndex>
#include <QPainter>
#include <QProxyStyle>
#include <QStyledItemDelegate>
#include <QTableView>

#include "base/k.h"
#include "base/textelide.h"
#include "public/textwidth.h"

namespace TableLook {

namespace {

class ItemColourDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QWidget *widget = cell.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        // Cut in the view's own elide mode (a path keeps its end), with an
        // ellipsis the program's font draws.
        TextElide::fitItemText(&cell);
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        // A selected cell is drawn in the highlighted-text colour, one colour
        // for every status; the row's background already shows the selection.
        option->palette.setBrush(QPalette::HighlightedText, option->palette.brush(QPalette::Text));
        option->state &= ~QStyle::State_HasFocus;
    }
};

// Header labels as the cells: cut ones end in an ellipsis. The header's
// style sheet draws the section and hands the label's text to the style
// below it, which centres a text wider than the section and cuts both of
// its ends. Set on the header only, this style draws no other text.
class HeaderLabelStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    void drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &palette, bool enabled,
                      const QString &text, QPalette::ColorRole textRole) const override
    {
        // The painter holds the style sheet's font of the header.
        const QString shown = flags & Qt::TextWordWrap ? text : TextWidth::elided(painter->fontMetrics(), text, rect.width());
        QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, shown, textRole);
    }
};

} // namespace

ScrollBarLook thinLook()
{
    K *k = K::instance();
    ScrollBarLook look;
    look.track = QStringLiteral("rgba(0, 0, 0, 0.05)");
    look.handle = QStringLiteral("rgba(0, 0, 0, 0.2)");
    look.hover = QStringLiteral("rgba(0, 0, 0, 0.35)");
    look.pressed = QStringLiteral("rgba(0, 0, 0, 0.5)");
    look.thickness = k->scale(8);
    look.radius = k->scale(4);
    look.minLength = k->scale(20);
    look.handleMargin = k->scale(2);
    look.corner = QStringLiteral("transparent");
    return look;
}

QString thinScrollBars(const ScrollBarLook &look)
{
    QString sheet;
    for (const bool vertical : {true, false}) {
        const QString orientation = vertical ? QStringLiteral("vertical") : QStringLiteral("horizontal");
        sheet += QStringLiteral("QScrollBar:%1 { background: %2; %3: %4px; border-radius: %5px; margin: 0px; }")
                     .arg(orientation, look.track, vertical ? QStringLiteral("width") : QStringLiteral("height"))
                     .arg(look.thickness)
                     .arg(look.radius);
    }
    for (const bool vertical : {true, false}) {
        sheet += QStringLiteral("QScrollBar::handle:%1 { background: %2; border-radius: %3px;")
                     .arg(vertical ? QStringLiteral("vertical") : QStringLiteral("horizontal"), look.handle)
                     .arg(look.radius);
        if (look.minLength > 0)
            sheet += QStringLiteral(" %1: %2px;")
                         .arg(vertical ? QStringLiteral("min-height") : QStringLiteral("min-width"))
                         .arg(look.minLength);
        sheet += QStringLiteral(" margin: %1px; }").arg(look.handleMargin);
    }
    sheet += QStringLiteral("QScrollBar::handle:hover { background: %1; }").arg(look.hover);
    if (!look.pressed.isEmpty())
        sheet += QStringLiteral("QScrollBar::handle:pressed { background: %1; }").arg(look.pressed);
    sheet += QStringLiteral("QScrollBar::add-line, QScrollBar::sub-line { border: none; background: none; width: 0px;"
                            " height: 0px; }"
                            "QScrollBar::add-page, QScrollBar::sub-page { background: none; }");
    if (!look.corner.isEmpty())
        sheet += QStringLiteral("QAbstractScrollArea::corner { background: %1; }").arg(look.corner);
    return sheet;
}

int cellWidth(QTableView *table, const QModelIndex &index)
{
    if (!table || !index.isValid())
        return 0;
    // The style sheet sets the font and the item paddings when the table
    // is polished.
    table->ensurePolished();
    // The grid line takes the column's last pixel, and a hinted font on a
    // real screen draws a pixel or two wider than it measures: without the
    // slack the last digit of an order number was cut off there.
    return table->sizeHintForIndex(index).width() + (table->showGrid() ? 1 : 0) + K::instance()->scale(4);
}

void fitCell(QTableView *table, const QModelIndex &index)
{
    if (!table || !index.isValid())
        return;
    const int wanted = cellWidth(table, index);
    if (table->columnWidth(index.column()) < wanted)
        table->setColumnWidth(index.column(), wanted);
}

void keepItemColours(QTableView *table)
{
    table->setItemDelegate(new ItemColourDelegate(table));
    QHeaderView *header = table->horizontalHeader();
    auto *style = new HeaderLabelStyle;
    style->setParent(header);
    header->setStyle(style);
}

} // namespace TableLook
