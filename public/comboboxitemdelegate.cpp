#include "public/comboboxitemdelegate.h"

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPalette>

#include "public/theme.h"

ComboBoxItemDelegate::ComboBoxItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

ComboBoxItemDelegate::~ComboBoxItemDelegate() = default;

void ComboBoxItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    QColor background;
    QColor text;
    // Hover wins over selection, so the item under the pointer always stands out.
    if (opt.state.testFlag(QStyle::State_MouseOver)) {
        background = Theme::listHover.color();
        text = Qt::white;
    } else if (opt.state.testFlag(QStyle::State_Selected)) {
        background = Theme::accent.color();
        text = Qt::white;
    } else {
        background = Qt::white;
        text = Qt::black;
    }
    opt.backgroundBrush = QBrush(background);
    // The base class takes the background brush from the model again, so
    // the background is laid down here; the highlight colours below cover a
    // selected row the style paints itself.
    painter->fillRect(opt.rect, background);
    opt.palette.setColor(QPalette::All, QPalette::Text, text);
    // The style paints a selected row with the highlight colours over the
    // background brush; they must say the same.
    opt.palette.setColor(QPalette::All, QPalette::Highlight, background);
    opt.palette.setColor(QPalette::All, QPalette::HighlightedText, text);
    QStyledItemDelegate::paint(painter, opt, index);
}

QSize ComboBoxItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    // Rows stay 60 px whatever the display scale.
    size.setHeight(60);
    return size;
}
