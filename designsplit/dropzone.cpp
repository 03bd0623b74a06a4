#include "designsplit/dropzone.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QMimeData>
#include <QPainter>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QVBoxLayout>

#include "designsplit/namingrulebuttons.h"
#include "public/theme.h"

namespace {

const QString kFieldItem = QStringLiteral("application/x-field-item");
const QString kFieldReorder = QStringLiteral("application/x-field-reorder");

bool accepted(const QMimeData *mime)
{
    return mime && (mime->hasFormat(kFieldItem) || mime->hasFormat(kFieldReorder));
}

} // namespace

using NamingRuleSize::px;

DropZone::DropZone(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    setAcceptDrops(true);
    setMinimumHeight(px(60));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_container = new QWidget(this);
    m_container->setAttribute(Qt::WA_TranslucentBackground);
    // Scoped to the container: a bare rule would cascade to the chips and
    // wipe out their own background.
    m_container->setObjectName(QStringLiteral("chipContainer"));
    m_container->setStyleSheet(QStringLiteral("#chipContainer { background: transparent; }"));
    layout->addWidget(m_container);
    m_containerLayout = new QHBoxLayout(m_container);
    m_containerLayout->setContentsMargins(px(12), px(12), px(12), px(12));
    m_containerLayout->setSpacing(px(6));
    m_containerLayout->addStretch();
    m_indicator = new QWidget(m_container);
    m_indicator->setFixedSize(px(4), px(28));
    m_indicator->setStyleSheet(Theme::sheet(QStringLiteral("background: @accent; border-radius: %1px;").arg(NamingRuleSize::pxText(2))));
    m_indicator->hide();
}

void DropZone::addField(const QString &name, const QString &key, int index)
{
    addField(name, key, QStringLiteral("_"), index);
}

void DropZone::addField(const QString &name, const QString &key, const QString &separator, int index)
{
    Entry entry;
    entry.chip = new FieldButton(name, key, m_container);
    entry.chip->show();
    connect(entry.chip, &FieldButton::deleteClicked, this, &DropZone::onFieldDeleteClicked);
    connect(entry.chip, &FieldButton::dragStarted, this, &DropZone::onFieldDragStarted);
    entry.separatorButton = new SeparatorButton(m_container);
    entry.separatorButton->showSeparator(separator);
    entry.separatorButton->show();
    connect(entry.separatorButton, &SeparatorButton::separatorChanged, this, &DropZone::onSeparatorChanged);
    entry.separator = separator;
    if (index >= 0 && index < m_entries.size())
        m_entries.insert(index, entry);
    else
        m_entries.append(entry);
    updateLayout(true);
    emit ruleChanged();
}

void DropZone::removeField(int index)
{
    if (index < 0 || index >= m_entries.size())
        return;
    const Entry entry = m_entries.takeAt(index);
    entry.chip->hide();
    entry.separatorButton->hide();
    entry.chip->deleteLater();
    entry.separatorButton->deleteLater();
    updateLayout(true);
    emit ruleChanged();
}

void DropZone::clear()
{
    for (const Entry &entry : qAsConst(m_entries)) {
        entry.chip->hide();
        entry.separatorButton->hide();
        entry.chip->deleteLater();
        entry.separatorButton->deleteLater();
    }
    m_entries.clear();
    updateLayout(false);
    emit ruleChanged();
}

QJsonArray DropZone::ruleJson() const
{
    QJsonArray rule;
    for (int i = 0; i < m_entries.size(); ++i) {
        QJsonObject field{{QStringLiteral("name"), m_entries.at(i).chip->name()},
                          {QStringLiteral("key"), m_entries.at(i).chip->key()}};
        if (i + 1 < m_entries.size())
            field.insert(QStringLiteral("separator"), m_entries.at(i).separator);
        rule.append(field);
    }
    return rule;
}

QString DropZone::ruleString() const
{
    QString text;
    for (int i = 0; i < m_entries.size(); ++i) {
        text += QLatin1Char('{') + m_entries.at(i).chip->key() + QLatin1Char('}');
        if (i + 1 < m_entries.size())
            text += m_entries.at(i).separator;
    }
    return text;
}

QStringList DropZone::ruleParts() const
{
    QStringList parts;
    for (int i = 0; i < m_entries.size(); ++i) {
        parts << m_entries.at(i).chip->key();
        if (i + 1 < m_entries.size())
            parts << m_entries.at(i).separator;
    }
    return parts;
}

int DropZone::entryOf(const FieldButton *chip) const
{
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).chip == chip)
            return i;
    }
    return -1;
}

int DropZone::insertIndexAt(const QPoint &position) const
{
    if (m_entries.isEmpty())
        return 0;
    const int s = px(6);
    struct Target
    {
        int index;
        QRect rect;
    };
    QList<Target> targets;
    for (int i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries.at(i);
        if (entry.chip == m_draggedChip)
            continue;
        QRect rect = entry.chip->geometry();
        bool laterChip = false;
        for (int j = i + 1; j < m_entries.size() && !laterChip; ++j)
            laterChip = m_entries.at(j).chip != m_draggedChip;
        // A chip and its separator form one target.
        if (laterChip && entry.separatorButton->isVisible())
            rect.setRight(entry.separatorButton->geometry().right());
        targets.append({i, rect});
    }
    if (targets.isEmpty())
        return 0;

    const Target *rowTarget = nullptr;
    for (const Target &t : targets) {
        if (t.rect.top() - s / 2 <= position.y() && position.y() <= t.rect.bottom() + s / 2) {
            rowTarget = &t;
            break;
        }
    }
    if (rowTarget && rowTarget->rect.top() >= 0) {
        const int top = rowTarget->rect.top();
        int last = -1;
        for (const Target &t : targets) {
            if (qAbs(t.rect.top() - top) >= s)
                continue;
            if (position.x() < t.rect.left() + t.rect.width() / 2)
                return t.index;
            last = t.index;
        }
        return last + 1;
    }
    if (position.y() < targets.first().rect.top())
        return targets.first().index;
    return m_entries.size();
}

void DropZone::updateLayout(bool animate)
{
    if (m_layoutAnimation)
        m_layoutAnimation->stop();
    // A zone not on screen yet (a rule loaded before the window shows) is
    // laid out again at its real width; there is nothing to animate.
    animate = animate && isVisible();
    while (QLayoutItem *item = m_containerLayout->takeAt(0))
        delete item;

    const int left = px(12);
    const int gap = px(6);
    const int rowHeight = px(32);
    const int indicatorWidth = px(4);
    const int reserve = px(20);
    const int width = this->width();
    int x = left;
    int y = px(12);

    QList<QPair<QWidget *, QPoint>> placements;
    const auto place = [&](QWidget *widget, const QPoint &target) { placements.append({widget, target}); };

    for (int i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries.at(i);
        if (m_dropIndex == i && m_dragActive) {
            m_indicator->show();
            m_indicator->raise();
            place(m_indicator, QPoint(x, y));
            x += indicatorWidth + gap;
        }
        if (entry.chip == m_draggedChip)
            continue;
        entry.chip->adjustSize();
        place(entry.chip, QPoint(x, y));
        x += entry.chip->width() + gap;

        int ahead = 0;
        if (i + 1 < m_entries.size()) {
            ahead = gap + entry.separatorButton->width();
            FieldButton *next = m_entries.at(i + 1).chip;
            if (next != m_draggedChip) {
                next->adjustSize();
                ahead += next->width();
            }
        }
        bool laterChip = false;
        for (int j = i + 1; j < m_entries.size() && !laterChip; ++j)
            laterChip = m_entries.at(j).chip != m_draggedChip;
        if (laterChip) {
            entry.separatorButton->show();
            place(entry.separatorButton, QPoint(x, y));
            x += entry.separatorButton->width() + gap;
            if (x + ahead > width - reserve) {
                x = left;
                y += gap + rowHeight;
            }
        } else {
            entry.separatorButton->hide();
        }
    }
    if (m_dropIndex == m_entries.size() && m_dragActive) {
        m_indicator->show();
        m_indicator->raise();
        place(m_indicator, QPoint(x, y));
    }

    if (animate) {
        auto *group = new QParallelAnimationGroup(this);
        m_layoutAnimation = group;
        for (const auto &p : qAsConst(placements)) {
            auto *animation = new QPropertyAnimation(p.first, "pos", group);
            animation->setDuration(150);
            animation->setStartValue(p.first->pos());
            animation->setEndValue(p.second);
            animation->setEasingCurve(QEasingCurve::OutCubic);
            group->addAnimation(animation);
        }
        group->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        for (const auto &p : qAsConst(placements))
            p.first->move(p.second);
    }

    const int height = y + rowHeight + px(12);
    if (height > px(60))
        setMinimumHeight(height);
}

void DropZone::onFieldDeleteClicked()
{
    const int index = entryOf(qobject_cast<FieldButton *>(sender()));
    if (index >= 0)
        removeField(index);
}

void DropZone::onSeparatorChanged(QString separator)
{
    auto *button = qobject_cast<SeparatorButton *>(sender());
    if (!button)
        return;
    for (Entry &entry : m_entries) {
        if (entry.separatorButton == button) {
            entry.separator = separator;
            emit ruleChanged();
            return;
        }
    }
}

void DropZone::onFieldDragStarted(FieldButton *button)
{
    m_draggedChip = button;
    button->setDragging(true);
    updateLayout(true);

    auto *drag = new QDrag(this);
    auto *mime = new QMimeData;
    mime->setData(kFieldReorder, button->name().toUtf8());
    drag->setMimeData(mime);
    QPixmap pixmap(button->size());
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Theme::accent.color(), 1));
        painter.setBrush(Theme::accentTint.color());
        painter.drawRoundedRect(pixmap.rect().adjusted(1, 1, -1, -1), px(6), px(6));
        QFont font;
        font.setPixelSize(px(11));
        font.setWeight(QFont::Medium);
        painter.setFont(font);
        painter.setPen(Theme::textDark.color());
        painter.drawText(pixmap.rect(), Qt::AlignCenter, button->name());
    }
    drag->setPixmap(pixmap);
    drag->setHotSpot(QPoint(pixmap.width() / 2, pixmap.height() / 2));
    namingRuleDragRunner()(drag, Qt::MoveAction);

    // The drag has ended, dropped anywhere or cancelled: a chip dragged out
    // of the zone comes back in place.
    if (m_draggedChip) {
        m_draggedChip->setDragging(false);
        m_draggedChip = nullptr;
    }
    m_dropIndex = -1;
    m_indicator->hide();
    updateLayout(true);
}

void DropZone::dragEnterEvent(QDragEnterEvent *event)
{
    if (!accepted(event->mimeData()))
        return;
    event->acceptProposedAction();
    m_dragActive = true;
    m_dropIndex = -1;
    update();
}

void DropZone::dragMoveEvent(QDragMoveEvent *event)
{
    if (!accepted(event->mimeData()))
        return;
    event->acceptProposedAction();
    int index = insertIndexAt(event->pos());
    if (event->mimeData()->hasFormat(kFieldReorder) && m_draggedChip) {
        const int own = entryOf(m_draggedChip);
        if (index == own || index == own + 1)
            index = -1;
    }
    if (index != m_dropIndex) {
        m_dropIndex = index;
        updateLayout(true);
    }
}

void DropZone::dragLeaveEvent(QDragLeaveEvent *event)
{
    Q_UNUSED(event);
    m_dragActive = false;
    m_dropIndex = -1;
    m_indicator->hide();
    updateLayout(true);
    update();
}

void DropZone::dropEvent(QDropEvent *event)
{
    m_dragActive = false;
    m_indicator->hide();
    int index = m_dropIndex;
    m_dropIndex = -1;
    const QMimeData *mime = event->mimeData();
    if (mime && mime->hasFormat(kFieldItem)) {
        const QStringList parts = QString::fromUtf8(mime->data(kFieldItem)).split(QLatin1Char('|'));
        if (parts.size() >= 2) {
            if (index < 0)
                index = insertIndexAt(event->pos());
            addField(parts.at(0), parts.at(1), index);
        }
        event->acceptProposedAction();
    } else if (mime && mime->hasFormat(kFieldReorder)) {
        const int from = entryOf(m_draggedChip);
        if (index >= 0 && m_draggedChip && from >= 0 && index != from) {
            const Entry entry = m_entries.takeAt(from);
            m_entries.insert(index > from ? index - 1 : index, entry);
            emit ruleChanged();
        }
        if (m_draggedChip) {
            m_draggedChip->setDragging(false);
            m_draggedChip = nullptr;
        }
        updateLayout(true);
        event->acceptProposedAction();
    }
    update();
}

void DropZone::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int radius = px(10);
    painter.setPen(Qt::NoPen);
    painter.setBrush((m_dragActive ? Theme::dropActiveFace : Theme::dropFace).color());
    painter.drawRoundedRect(rect().adjusted(2, 2, -2, -2), radius, radius);
    QPen pen((m_dragActive ? Theme::accent : Theme::dropFrame).color(), 2);
    pen.setDashPattern({5, 3});
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect().adjusted(3, 3, -3, -3), radius, radius);
    if (m_entries.isEmpty()) {
        QFont font = painter.font();
        font.setPixelSize(px(12));
        painter.setFont(font);
        painter.setPen(Theme::textMuted.color());
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("拖拽字段到此处"));
    }
}

void DropZone::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    m_container->setGeometry(0, 0, width(), height());
    updateLayout(false);
}
