#include "designsplit/fjtickdelegate.h"

#include <QAbstractItemView>
#include <QCursor>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include "base/k.h"

namespace {

// The box is 12 pixels inside a 1-pixel border, unscaled, as the check
// boxes of the other tools' forms; the widget that used to hold it kept 3
// pixels on its left and 1 above, which still place it in the cell.
const int kBoxSide = 14;
const int kBoxLeft = 3;
const int kBoxTop = 1;
const int kHolderWidth = kBoxLeft + kBoxSide;
const int kHolderHeight = kBoxTop + kBoxSide;
// Between the box and the link.
const int kSpacing = 6;

const QColor kBorder(0xd1, 0xd1, 0xd6);
const QColor kBlue(0x00, 0x7a, 0xff);
const QColor kBlueHover(0x00, 0x56, 0xcc);
const QColor kLinkHover(0x00, 0x66, 0xcc);

QString linkText()
{
    return QStringLiteral("设置选中");
}

// Where the mouse is over the viewport the option's cell is drawn in, or
// nowhere when the cell is not hovered.
QPoint hoverPoint(const QStyleOptionViewItem &option)
{
    const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
    if (!view || !(option.state & QStyle::State_MouseOver))
        return QPoint(-1, -1);
    return view->viewport()->mapFromGlobal(QCursor::pos());
}

} // namespace

FJTickDelegate::FJTickDelegate(bool withLink, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_withLink(withLink)
{
    K *k = K::instance();
    m_tickFont.setBold(true);
    m_tickFont.setPixelSize(k->scale(8));
    m_linkFont.setPixelSize(k->scale(10));
    m_linkWidth = m_withLink ? QFontMetrics(m_linkFont).horizontalAdvance(linkText()) : 0;
}

void FJTickDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // The cell's background and border come from the table's style; the
    // box is drawn here, not the style's indicator, and no focus box.
    option->features &= ~QStyleOptionViewItem::HasCheckIndicator;
    option->state &= ~QStyle::State_HasFocus;
    option->text.clear();
}

QRect FJTickDelegate::groupRect(const QRect &cell) const
{
    const int width = kHolderWidth + (m_withLink ? kSpacing + m_linkWidth : 0);
    const int height = kHolderHeight;
    return QRect(cell.x() + (cell.width() - width) / 2, cell.y() + (cell.height() - height) / 2, width, height);
}

QRect FJTickDelegate::boxRect(const QRect &cell) const
{
    const QRect group = groupRect(cell);
    return QRect(group.x() + kBoxLeft, group.y() + kBoxTop, kBoxSide, kBoxSide);
}

QRect FJTickDelegate::linkRect(const QRect &cell) const
{
    if (!m_withLink)
        return QRect();
    const QRect group = groupRect(cell);
    const int height = QFontMetrics(m_linkFont).height() + 2;
    return QRect(group.x() + kHolderWidth + kSpacing, group.center().y() - height / 2, m_linkWidth, height);
}

FJTickDelegate::Part FJTickDelegate::partAt(const QRect &cell, const QPoint &pos) const
{
    if (!cell.contains(pos))
        return Part::None;
    const QRect group = groupRect(cell);
    // The box's holder as a whole, as a click on the old check box widget
    // anywhere toggled it.
    if (QRect(group.topLeft(), QSize(kHolderWidth, kHolderHeight)).contains(pos))
        return Part::Box;
    if (m_withLink && linkRect(cell).contains(pos))
        return Part::Link;
    return Part::None;
}

void FJTickDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);

    const QPoint mouse = hoverPoint(option);
    const Part hovered = partAt(option.rect, mouse);
    // The row the keyboard is on shows its box as hovered: the table draws
    // no focus box.
    const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
    const bool current = view && view->hasFocus() && view->currentIndex().row() == index.row();
    const bool hot = hovered == Part::Box || current;
    const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    const QRectF box = boxRect(option.rect);
    const QColor border = checked ? (hot ? kBlueHover : kBlue) : (hot ? kBlue : kBorder);
    const QColor fill = checked ? (hot ? kBlueHover : kBlue) : QColor(Qt::white);
    QPainterPath outer;
    outer.addRoundedRect(box, 2, 2);
    painter->fillPath(outer, border);
    QPainterPath inner;
    inner.addRoundedRect(box.adjusted(1, 1, -1, -1), 1, 1);
    painter->fillPath(inner, fill);
    if (checked) {
        painter->setFont(m_tickFont);
        painter->setPen(Qt::white);
        painter->drawText(box, Qt::AlignCenter, QStringLiteral("✓"));
    }
    if (m_withLink) {
        QColor colour = hovered == Part::Link ? kLinkHover : kBlue;
        if (!(option.state & QStyle::State_Enabled))
            colour = QColor(Qt::gray);
        painter->setFont(m_linkFont);
        painter->setPen(colour);
        painter->drawText(linkRect(option.rect), Qt::AlignCenter, linkText());
    }
    painter->restore();
}

QSize FJTickDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QRect group = groupRect(QRect());
    size.setWidth(qMax(size.width(), group.width() + 2 * K::instance()->scale(5)));
    size.setHeight(qMax(size.height(), group.height()));
    return size;
}

bool FJTickDelegate::editorEvent(QEvent *, QAbstractItemModel *, const QStyleOptionViewItem &, const QModelIndex &)
{
    // Clicks and keys are the panel's: the view's own toggle of a
    // checkable item would tick a clicked row a second time.
    return false;
}
