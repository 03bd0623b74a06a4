#pragma once

#include <QFont>
#include <QStyledItemDelegate>

// Draws the tick column of the order table: a tick box from the item's
// check state and, in the raw-file download, the "设置选中" link beside it.
// Painted, not one widget per row: a table of thousands of orders with a
// widget in every row spends each layout and scroll walking them.
// The delegate toggles nothing; the panel decides what a click does by
// the part it landed on (partAt).
class FJTickDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    enum class Part {
        None,
        Box,
        Link,
    };

    FJTickDelegate(bool withLink, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

    // Which part of a tick cell drawn in cell lies at pos (both in the
    // view's viewport).
    Part partAt(const QRect &cell, const QPoint &pos) const;
    // Where the box is drawn within cell; the link's place is empty without
    // a link.
    QRect boxRect(const QRect &cell) const;
    QRect linkRect(const QRect &cell) const;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    // The box with what a check box widget kept around it, and the link
    // beside it, centred in the cell together.
    QRect groupRect(const QRect &cell) const;

    bool m_withLink = false;
    QFont m_tickFont;
    QFont m_linkFont;
    int m_linkWidth = 0;
};
