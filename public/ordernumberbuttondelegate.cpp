#include "public/ordernumberbuttondelegate.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "base/k.h"
#include "public/theme.h"

OrderNumberButtonDelegate::OrderNumberButtonDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

OrderNumberButtonDelegate::~OrderNumberButtonDelegate() = default;

void OrderNumberButtonDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    if (index.column() != 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    painter->save();
    const QString text = index.data(Qt::DisplayRole).toString();
    const bool hovered = option.state.testFlag(QStyle::State_MouseOver);
    const QColor colour = (hovered ? Theme::accentHover : Theme::accent).color();

    // The cell's own background and selection, as the view's other cells
    // have them; without it the view's row highlight (the palette's strong
    // blue) shows through a selected row and hides the blue link.
    QStyleOptionViewItem panel = option;
    initStyleOption(&panel, index);
    panel.text.clear();
    panel.icon = QIcon();
    panel.state &= ~QStyle::State_HasFocus;
    const QWidget *view = option.widget;
    (view ? view->style() : QApplication::style())->drawPrimitive(QStyle::PE_PanelItemViewItem, &panel, painter, view);

    QFont font = option.font;
    font.setPixelSize(K::instance()->scale(11));
    painter->setFont(font);
    painter->setPen(colour);
    painter->drawText(option.rect, Qt::AlignCenter, text);

    if (hovered) {
        const QFontMetrics metrics(font);
        const int w = metrics.horizontalAdvance(text);
        const int h = metrics.height();
        const QRect &r = option.rect;
        const int y = h / 2 + (r.top() + r.bottom()) / 2 - K::instance()->scale(2);
        const int cx = (r.left() + r.right()) / 2;
        painter->drawLine(cx - w / 2, y, cx + w / 2, y);
    }
    painter->restore();
}

QSize OrderNumberButtonDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    // The link's font may be smaller than the view's, and a cell keeps the
    // paddings a view's style sheet gives its items.
    if (index.column() == 0)
        size.setWidth(qMax(size.width(), cellWidth(index.data(Qt::DisplayRole).toString(), option.font)));
    return size;
}

int OrderNumberButtonDelegate::cellWidth(const QString &text, const QFont &base)
{
    QFont font = base;
    font.setPixelSize(K::instance()->scale(11));
    return QFontMetrics(font).horizontalAdvance(text) + 2 * K::instance()->scale(8);
}

bool OrderNumberButtonDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                            const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (index.column() != 0)
        return QStyledItemDelegate::editorEvent(event, model, option, index);

    if (event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton) {
            emit orderNumberClicked(index.row(), index.data(Qt::DisplayRole).toString());
            return true;
        }
    } else if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
        if (index.row() != hoveredRow) {
            hoveredRow = index.row();
            if (model)
                emit model->dataChanged(index, index, {});
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
