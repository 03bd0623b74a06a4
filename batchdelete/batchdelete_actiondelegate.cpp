#include "batchdelete/batchdelete_actiondelegate.h"

#include <QMouseEvent>
#include <QPainter>

#include "base/k.h"
#include "batchdelete/jobs/batchdeleterecords.h"
#include "public/theme.h"

BatchDelete_ActionDelegate::BatchDelete_ActionDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

BatchDelete_ActionDelegate::~BatchDelete_ActionDelegate() = default;

void BatchDelete_ActionDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const
{
    Q_UNUSED(index)
    painter->save();
    if (option.state & QStyle::State_Selected)
        painter->fillRect(option.rect, Theme::selection.color());
    else if (option.state & QStyle::State_MouseOver)
        painter->fillRect(option.rect, Theme::rowHover.color());
    else
        painter->fillRect(option.rect, Qt::white);
    painter->restore();
}

QSize BatchDelete_ActionDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    Q_UNUSED(option)
    Q_UNUSED(index)
    return QSize(K::instance()->scale(100), K::instance()->scale(40));
}

QRect BatchDelete_ActionDelegate::buttonRect(const QStyleOptionViewItem &option, int button) const
{
    Q_UNUSED(button)
    K *k = K::instance();
    const int height = k->scale(26);
    return QRect(option.rect.left() + k->scale(8), option.rect.top() + (option.rect.height() - height) / 2,
                 k->scale(70), height);
}

int BatchDelete_ActionDelegate::buttonAt(const QStyleOptionViewItem &option, int status, const QPoint &pos) const
{
    if (status == BatchDeleteFileStatus::SubmitFailed && buttonRect(option, 1).contains(pos))
        return 1;
    if (status == BatchDeleteFileStatus::Locked && buttonRect(option, 2).contains(pos))
        return 2;
    return 0;
}

bool BatchDelete_ActionDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                             const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::MouseButtonRelease && event->type() != QEvent::MouseMove)
        return QStyledItemDelegate::editorEvent(event, model, option, index);

    const int status = index.data(Qt::UserRole).toInt();
    const QPoint pos = static_cast<QMouseEvent *>(event)->localPos().toPoint();
    const int button = buttonAt(option, status, pos);

    if (event->type() == QEvent::MouseButtonRelease) {
        if (button == 1) {
            emit retrySubmitClicked(index.row());
            return true;
        }
        if (button == 2) {
            emit retryDeleteClicked(index.row());
            return true;
        }
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }

    if (index.row() != hoverRow || button != hoverButton) {
        hoverRow = index.row();
        hoverButton = button;
        if (model)
            emit model->dataChanged(index, index, {});
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

void BatchDelete_ActionDelegate::drawButton(QPainter *painter, const QRect &rect, const QString &text,
                                            const QColor &background, const QColor &textColour, bool hovered) const
{
    K *k = K::instance();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(hovered ? background.lighter(110) : background);
    painter->setPen(Qt::NoPen);
    painter->drawRoundedRect(rect, k->scale(4), k->scale(4));
    painter->setPen(textColour);
    QFont font = painter->font();
    font.setPixelSize(k->scale(11));
    font.setWeight(57);
    painter->setFont(font);
    painter->drawText(rect, Qt::AlignCenter, text);
}
