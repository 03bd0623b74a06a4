#pragma once

#include <QStyledItemDelegate>

// The action column of the import file table: a red "重新导入" button on
// every failed file; a release anywhere in that cell asks for a retry.
class FileButtonDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit FileButtonDelegate(QObject *parent = nullptr);
    ~FileButtonDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

signals:
    void retryClicked(int row);
};
