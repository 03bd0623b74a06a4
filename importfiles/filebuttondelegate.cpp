#include "importfiles/filebuttondelegate.h"

#include <QEvent>
#include <QPainter>

#include "importfiles/jobs/importrecords.h"
#include "public/theme.h"

namespace {

constexpr int kActionColumn = 2;

bool isFailed(const QModelIndex &index)
{
    return index.model() && index.data(Qt::UserRole).toInt() == Failed;
}

} // namespace

FileButtonDelegate::FileButtonDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

FileButtonDelegate::~FileButtonDelegate() = default;

void FileButtonDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (index.column() != kActionColumn) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Only failed files get anything in this cell, not even the selection.
    if (!isFailed(index))
        return;
    painter->save();
    const QRect area = option.rect.adjusted(10, 5, -10, -5);
    const QColor fill =
        (option.state.testFlag(QStyle::State_MouseOver) ? Theme::smallDangerHover : Theme::smallDanger).color();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setBrush(fill);
    painter->setPen(Qt::NoPen);
    painter->drawRoundedRect(area, 4.0, 4.0);
    painter->setPen(Qt::white);
    painter->drawText(area, Qt::AlignCenter, QStringLiteral("重新导入"));
    painter->restore();
}

QSize FileButtonDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(40);
    return size;
}

bool FileButtonDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                                     const QModelIndex &index)
{
    if (index.column() == kActionColumn && event->type() == QEvent::MouseButtonRelease && isFailed(index)) {
        emit retryClicked(index.row());
        return true;
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
