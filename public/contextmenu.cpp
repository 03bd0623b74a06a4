#include "public/contextmenu.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "base/k.h"
#include "public/popupsurface.h"
#include "public/theme.h"

ContextMenu::ContextMenu(QWidget *parent)
    : QWidget(parent)
{
    buildUi();

    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    PopupSurface::prepare(this);

    // Presses anywhere in the program close the menu, so it watches them all.
    qApp->installEventFilter(this);

    // The window's own opacity fades it: a graphics effect on a top-level
    // window composes it over black where the window is opaque.
    fadeInAnimation = new QPropertyAnimation(this, "windowOpacity", this);
    fadeInAnimation->setDuration(150);
    fadeInAnimation->setStartValue(0.0);
    fadeInAnimation->setEndValue(1.0);
    fadeInAnimation->setEasingCurve(QEasingCurve::OutCubic);

    fadeOutAnimation = new QPropertyAnimation(this, "windowOpacity", this);
    fadeOutAnimation->setDuration(100);
    fadeOutAnimation->setStartValue(1.0);
    fadeOutAnimation->setEndValue(0.0);
    fadeOutAnimation->setEasingCurve(QEasingCurve::InCubic);

    connect(fadeOutAnimation, &QPropertyAnimation::finished, this, &QWidget::hide);
}

ContextMenu::~ContextMenu()
{
    qApp->removeEventFilter(this);
}

ContextMenu *ContextMenu::create(QWidget *parent)
{
    auto *menu = new ContextMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    return menu;
}

void ContextMenu::buildUi()
{
    K *k = K::instance();
    auto *outer = new QVBoxLayout(this);
    const int m = k->scale(4);
    outer->setContentsMargins(m, m, m, m);
    outer->setSpacing(0);

    scrollArea = new QScrollArea(this);
    scrollArea->setWidgetResizable(true);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; border: none; }QScrollBar:vertical {    background: rgba(0, 0, 0, 0.05);    width: ")
                              + k->scaleText(4) + QStringLiteral("px;    margin: ") + k->scaleText(2)
                              + QStringLiteral("px;    border-radius: ") + k->scaleText(2)
                              + QStringLiteral("px;}QScrollBar::handle:vertical {    background: rgba(0, 0, 0, 0.2);    border-radius: ")
                              + k->scaleText(2) + QStringLiteral("px;    min-height: ") + k->scaleText(16)
                              + QStringLiteral("px;}QScrollBar::handle:vertical:hover {    background: rgba(0, 0, 0, 0.35);}"
                                               "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical {    height: 0px;}"
                                               "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical {    background: transparent;}"));

    container = new QWidget;
    container->setStyleSheet(QStringLiteral("background: transparent;"));
    itemLayout = new QVBoxLayout(container);
    itemLayout->setContentsMargins(0, 0, 0, 0);
    itemLayout->setSpacing(k->scale(1));

    scrollArea->setWidget(container);
    outer->addWidget(scrollArea);
}

void ContextMenu::addItem(const QString &text, std::function<void()> action, const QString &icon, bool enabled,
                          bool danger)
{
    MenuItem item;
    item.text = text;
    item.icon = icon;
    item.action = std::move(action);
    item.enabled = enabled;
    item.danger = danger;
    items.append(item);
    itemLayout->addWidget(createItemButton(item));
}

QPushButton *ContextMenu::createItemButton(const MenuItem &item)
{
    K *k = K::instance();
    auto *button = new QPushButton(container);
    button->setText(item.text);
    button->setEnabled(item.enabled);
    button->setCursor(Qt::PointingHandCursor);
    button->setFixedHeight(k->scale(itemHeight));

    const QFontMetrics metrics(button->font());
    const int textWidth = metrics.horizontalAdvance(item.text);
    const int iconRoom = item.icon.isEmpty() ? 0 : k->scale(18) + k->scale(8);
    button->setFixedWidth(qMax(iconRoom + textWidth + k->scale(24), k->scale(minMenuWidth)));

    if (!item.icon.isEmpty()) {
        button->setIcon(QIcon(item.icon));
        button->setIconSize(QSize(k->scale(18), k->scale(18)));
    }

    const QString textColour = item.danger ? Theme::menuDanger.name() : Theme::text.name();
    const QString hover = item.danger ? QStringLiteral("rgba(229, 57, 53, 0.08)") : QStringLiteral("rgba(0, 0, 0, 0.05)");
    const QString pressed = item.danger ? QStringLiteral("rgba(229, 57, 53, 0.15)") : QStringLiteral("rgba(0, 0, 0, 0.1)");
    button->setStyleSheet(QStringLiteral("QPushButton {    background-color: transparent;    color: ") + textColour
                          + QStringLiteral(";    border: none;    border-radius: ") + k->scaleText(4)
                          + QStringLiteral("px;    padding: 0 ") + k->scaleText(10) + QStringLiteral("px;    font-size: ")
                          + k->scaleText(13)
                          + QStringLiteral("px;    text-align: left;}QPushButton:hover {    background-color: ") + hover
                          + QStringLiteral(";}QPushButton:pressed {    background-color: ") + pressed
                          + QStringLiteral(";}QPushButton:disabled {    color: rgba(0, 0, 0, 0.3);}"));

    if (item.action) {
        const std::function<void()> action = item.action;
        connect(button, &QPushButton::clicked, this, [this, action]() {
            hideMenu();
            action();
        });
    }
    return button;
}

void ContextMenu::addSeparator()
{
    K *k = K::instance();
    auto *line = new QFrame(container);
    line->setFrameShape(QFrame::HLine);
    line->setFixedHeight(k->scale(1));
    line->setStyleSheet(QStringLiteral("QFrame { background-color: rgba(0, 0, 0, 0.08); border: none; margin: ")
                        + k->scaleText(3) + QStringLiteral("px ") + k->scaleText(6) + QStringLiteral("px; }"));
    itemLayout->addWidget(line);
}

void ContextMenu::clear()
{
    items.clear();
    while (QLayoutItem *entry = itemLayout->takeAt(0)) {
        // An item's own action may be clearing the menu from inside that
        // item's click: the button must outlive the signal it is emitting.
        if (QWidget *widget = entry->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete entry;
    }
}

void ContextMenu::popup(const QPoint &globalPos)
{
    K *k = K::instance();
    int w = k->scale(minMenuWidth);
    int h = 0;
    for (int i = 0; i < itemLayout->count(); ++i) {
        QLayoutItem *entry = itemLayout->itemAt(i);
        if (QWidget *widget = entry ? entry->widget() : nullptr) {
            h += widget->height() + k->scale(1);
            w = qMax(w, widget->width());
        }
    }
    const int pad = 2 * (k->scale(4) + k->scale(4));
    const int limit = k->scale(itemHeight) * maxVisibleItems;
    int height;
    if (limit > h) {
        height = h + pad;
        scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    } else {
        height = limit + pad;
        scrollArea->setVerticalScrollBarPolicy(limit < h ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    }
    setFixedSize(w + pad, height);
    fitToScreen(globalPos);

    setWindowOpacity(0.0);
    show();
    raise();
    fadeInAnimation->start();
}

void ContextMenu::popup(QWidget *widget, const QPoint &pos)
{
    popup(widget ? widget->mapToGlobal(pos) : pos);
}

void ContextMenu::hideMenu()
{
    if (fadeInAnimation->state() == QAbstractAnimation::Running)
        fadeInAnimation->stop();
    if (fadeOutAnimation->state() != QAbstractAnimation::Running)
        fadeOutAnimation->start();
}

void ContextMenu::setMaxVisibleItems(int n)
{
    maxVisibleItems = n <= 0 ? 1 : n;
}

void ContextMenu::setMinimumMenuWidth(int w)
{
    minMenuWidth = w < 100 ? 100 : w;
}

void ContextMenu::fitToScreen(const QPoint &pos)
{
    QScreen *screen = QGuiApplication::screenAt(pos);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen) {
        qWarning() << "无法获取屏幕信息";
        return;
    }
    const QRect area = screen->availableGeometry();
    int x = pos.x();
    int y = pos.y();
    if (x + width() > area.right())
        x = pos.x() - width();
    if (x < area.left())
        x = area.left();
    if (y + height() > area.bottom())
        y = pos.y() - height();
    if (y < area.top())
        y = area.top();
    move(x, y);
}

bool ContextMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (isVisible()) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (!geometry().contains(mouse->screenPos().toPoint())) {
                hideMenu();
                return true;
            }
        } else if (event->type() == QEvent::KeyPress) {
            if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
                hideMenu();
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void ContextMenu::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal r = K::instance()->scale(8);
    const QRectF rect(0, 0, width(), height());
    QPainterPath path;
    path.addRoundedRect(rect, r, r, Qt::AbsoluteSize);
    painter.setPen(Qt::NoPen);
    painter.fillPath(path, Theme::panel.color());
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Theme::popupFrame.color(), 0.8, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.drawRoundedRect(rect, r, r, Qt::AbsoluteSize);
}

void ContextMenu::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PopupSurface::updateMask(this, K::instance()->scale(8));
}

void ContextMenu::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    setFocus();
}

void ContextMenu::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
}
