#include "designsplit/namingrulebuttons.h"

#include <QApplication>
#include <QDrag>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include "base/k.h"
#include "public/theme.h"

namespace NamingRuleSize {

int px(int n)
{
    return K::instance()->scale(n);
}

QString pxText(int n)
{
    return K::instance()->scaleText(n);
}

} // namespace NamingRuleSize

using NamingRuleSize::px;
using NamingRuleSize::pxText;

NamingRuleDragRunner &namingRuleDragRunner()
{
    static NamingRuleDragRunner runner = [](QDrag *drag, Qt::DropAction action) { return drag->exec(action); };
    return runner;
}

FieldButton::FieldButton(const QString &name, const QString &key, QWidget *parent)
    : QWidget(parent)
    , m_name(name)
    , m_key(key)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(px(8), px(4), px(4), px(4));
    layout->setSpacing(px(4));
    m_nameLabel = new QLabel(name, this);
    m_nameLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel { font-size: %1px; font-weight: 500; color: @textDark; "
                                                           "background: transparent; }")
                                                .arg(pxText(11))));
    m_deleteButton = new QPushButton(QStringLiteral("×"), this);
    m_deleteButton->setFixedSize(px(18), px(18));
    m_deleteButton->setCursor(Qt::PointingHandCursor);
    m_deleteButton->setStyleSheet(Theme::sheet(QStringLiteral("QPushButton { background: transparent; color: @textMuted; border: none; "
                                                              "border-radius: %1px; font-size: %2px; font-weight: bold; }"
                                                              "QPushButton:hover { background: @danger; color: white; }")
                                                   .arg(pxText(9), pxText(14))));
    m_deleteButton->hide();
    connect(m_deleteButton, &QPushButton::clicked, this, &FieldButton::deleteClicked);
    layout->addWidget(m_nameLabel);
    layout->addWidget(m_deleteButton);
    setAutoFillBackground(true);
    setBackground(Theme::accentTint.color());
    setCursor(Qt::OpenHandCursor);
    setMinimumHeight(px(28));
}

void FieldButton::setBackground(const QColor &colour)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, colour);
    setPalette(p);
}

void FieldButton::setDragging(bool dragging)
{
    if (dragging) {
        setCursor(Qt::ClosedHandCursor);
        hide();
    } else {
        setCursor(Qt::OpenHandCursor);
        show();
        setBackground(Theme::accentTint.color());
    }
}

void FieldButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressPos = event->pos();
        m_pressed = true;
        setCursor(Qt::ClosedHandCursor);
    }
    QWidget::mousePressEvent(event);
}

void FieldButton::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressed && (event->pos() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        m_pressed = false;
        emit dragStarted(this);
    }
    QWidget::mouseMoveEvent(event);
}

void FieldButton::mouseReleaseEvent(QMouseEvent *event)
{
    m_pressed = false;
    setCursor(Qt::OpenHandCursor);
    QWidget::mouseReleaseEvent(event);
}

void FieldButton::enterEvent(QEvent *event)
{
    m_deleteButton->show();
    setBackground(Theme::accentTintPressed.color());
    QWidget::enterEvent(event);
}

void FieldButton::leaveEvent(QEvent *event)
{
    m_deleteButton->hide();
    setBackground(Theme::accentTint.color());
    QWidget::leaveEvent(event);
}

SeparatorButton::SeparatorButton(QWidget *parent)
    : QPushButton(parent)
    , m_choices({QStringLiteral(" "), QStringLiteral(","), QStringLiteral("."), QStringLiteral("《"), QStringLiteral("》"),
                 QStringLiteral("_"), QStringLiteral("-"), QStringLiteral("="), QStringLiteral("#")})
{
    setFixedSize(px(28), px(28));
    setCursor(Qt::PointingHandCursor);
    setStyleSheet(Theme::sheet(QStringLiteral("QPushButton { background: @secondaryFace; color: @textMuted; border: 1px dashed @controlFrame; "
                                              "border-radius: %1px; font-size: %2px; font-weight: bold; }"
                                              "QPushButton:hover { background: @greyHover; border-color: @accent; color: @accent; }")
                                   .arg(pxText(6), pxText(12))));
    setText(buttonText(m_separator));
}

QString SeparatorButton::buttonText(const QString &separator)
{
    return separator == QLatin1String(" ") ? QStringLiteral("␣") : separator;
}

void SeparatorButton::showSeparator(const QString &separator)
{
    m_separator = separator;
    setText(buttonText(separator));
}

void SeparatorButton::setSeparator(const QString &separator)
{
    showSeparator(separator);
    emit separatorChanged(separator);
}

void SeparatorButton::mousePressEvent(QMouseEvent *event)
{
    // The menu replaces the button's own press handling for every button.
    if (event->button() == Qt::LeftButton)
        showSeparatorMenu();
}

void SeparatorButton::showSeparatorMenu()
{
    QMenu menu(this);
    menu.setStyleSheet(Theme::sheet(QStringLiteral("QMenu { background: white; border: 1px solid @separator; border-radius: %1px; "
                                                   "padding: %2px; }"
                                                   "QMenu::item { padding: %3px %4px; font-size: %5px; border-radius: %2px; }"
                                                   "QMenu::item:selected { background: @accent; color: white; }")
                                        .arg(pxText(8), pxText(4), pxText(8), pxText(20), pxText(12))));
    for (const QString &choice : m_choices) {
        QAction *action = menu.addAction(choice == QLatin1String(" ") ? QStringLiteral("空格 (␣)") : choice);
        action->setData(choice);
        if (choice == m_separator) {
            action->setCheckable(true);
            action->setChecked(true);
        }
    }
    const QAction *chosen = menu.exec(mapToGlobal(QPoint(0, height())));
    if (chosen)
        setSeparator(chosen->data().toString());
}

DraggableFieldSource::DraggableFieldSource(const QString &name, const QString &key, QWidget *parent)
    : QPushButton(name, parent)
    , m_name(name)
    , m_key(key)
{
    setCursor(Qt::OpenHandCursor);
    setMinimumHeight(px(32));
    setStyleSheet(Theme::sheet(QStringLiteral("QPushButton { background: @secondaryFace; color: @textDark; border: 1px solid @secondaryFrame; "
                                              "border-radius: %1px; padding: %1px %2px; font-size: %3px; font-weight: 500; }"
                                              "QPushButton:hover { background: @accentTint; border-color: @accent; color: @accent; }"
                                              "QPushButton:pressed { background: @accentTintPressed; }")
                                   .arg(pxText(6), pxText(12), pxText(11))));
}

void DraggableFieldSource::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressPos = event->pos();
    QPushButton::mousePressEvent(event);
}

void DraggableFieldSource::mouseMoveEvent(QMouseEvent *event)
{
    if ((event->buttons() & Qt::LeftButton)
        && (event->pos() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        auto *drag = new QDrag(this);
        auto *mime = new QMimeData;
        const QString text = m_name + QLatin1Char('|') + m_key;
        mime->setData(QStringLiteral("application/x-field-item"), text.toUtf8());
        mime->setText(text);
        drag->setMimeData(mime);
        QPixmap pixmap(size());
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Theme::accent.color());
            painter.drawRoundedRect(pixmap.rect(), px(6), px(6));
            painter.setPen(Qt::white);
            painter.setFont(font());
            painter.drawText(pixmap.rect(), Qt::AlignCenter, m_name);
        }
        drag->setPixmap(pixmap);
        drag->setHotSpot(event->pos());
        namingRuleDragRunner()(drag, Qt::CopyAction);
    }
    QPushButton::mouseMoveEvent(event);
}
