#pragma once

#include <QStyledItemDelegate>

// Paints the drop-down items of a combo box in fixed colours, every row the
// same height.
class ComboBoxItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit ComboBoxItemDelegate(QObject *parent = nullptr);
    ~ComboBoxItemDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
