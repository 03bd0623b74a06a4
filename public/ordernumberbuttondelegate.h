#pragma once

#include <QStyledItemDelegate>

// Draws the order number of a row as a link and reports a left click on it.
class OrderNumberButtonDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit OrderNumberButtonDelegate(QObject *parent = nullptr);
    ~OrderNumberButtonDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // Room for the link as painted, so that a view sized by its hints
    // (TableLook::fitCell) shows the number whole.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

    // The column width that shows text whole as a link over a cell whose
    // font is base.
    static int cellWidth(const QString &text, const QFont &base);

signals:
    void orderNumberClicked(int row, QString text);

private:
    int hoveredRow = -1;
};
