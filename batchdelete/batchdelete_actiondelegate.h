#pragma once

#include <QColor>
#include <QRect>
#include <QStyledItemDelegate>

// One action per row of a file table, chosen by the file's status under
// Qt::UserRole: send the confirmation again (status 3) or delete again
// (status 5). A click on the action's place reports the row; the delegate
// keeps track of the action under the mouse so the cell can repaint.
class BatchDelete_ActionDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit BatchDelete_ActionDelegate(QObject *parent = nullptr);
    ~BatchDelete_ActionDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

    QRect buttonRect(const QStyleOptionViewItem &option, int button) const;
    void drawButton(QPainter *painter, const QRect &rect, const QString &text, const QColor &background,
                    const QColor &textColour, bool hovered) const;

    int hoveredRow() const { return hoverRow; }
    int hoveredButton() const { return hoverButton; }

signals:
    void retrySubmitClicked(int row);
    void retryDeleteClicked(int row);

private:
    // The action under pos in a row of this status: 1 submit again, 2 delete
    // again, 0 none.
    int buttonAt(const QStyleOptionViewItem &option, int status, const QPoint &pos) const;

    int hoverRow = -1;
    int hoverButton = 0;
};
