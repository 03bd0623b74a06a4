#include "public/toastwidget.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QTimer>
#include <QVBoxLayout>

#include "base/k.h"
#include "public/popupsurface.h"
#include "public/theme.h"

ToastWidget::ToastWidget(QWidget *parent)
    : QWidget(parent)
{
    buildUi();

    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    PopupSurface::prepare(this);
    // The toast must never take the keyboard from the window under it.
    setAttribute(Qt::WA_ShowWithoutActivating);

    timer = new QTimer(this);
    timer->setSingleShot(true);

    // The window's own opacity: a graphics effect on a top-level window
    // composes it over black, and over nothing on a display without
    // compositing.
    fadeAnimation = new QPropertyAnimation(this, "windowOpacity", this);
    fadeAnimation->setDuration(300);
    fadeAnimation->setStartValue(1.0);
    fadeAnimation->setEndValue(0.0);

    connect(timer, &QTimer::timeout, fadeAnimation, [this]() { fadeAnimation->start(); });
    connect(fadeAnimation, &QPropertyAnimation::finished, this, &QObject::deleteLater);
}

ToastWidget::~ToastWidget() = default;

void ToastWidget::buildUi()
{
    K *k = K::instance();
    label = new QLabel(this);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("QLabel {    background: transparent;    color: white;    padding: ") + k->scaleText(12)
                         + QStringLiteral("px ") + k->scaleText(20) + QStringLiteral("px;    font-size: ") + k->scaleText(14)
                         + QStringLiteral("px;}"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
}

qreal ToastWidget::radius() const
{
    return K::instance()->scale(8);
}

void ToastWidget::showToast(QWidget *parent, const QString &text, int ms)
{
    auto *toast = new ToastWidget(parent);
    toast->label->setText(text);
    toast->adjustSize();
    toast->show();
    toast->timer->start(ms);
}

void ToastWidget::setText(const QString &text)
{
    label->setText(text);
    adjustSize();
}

void ToastWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    QWidget *p = parentWidget();
    if (!p)
        return;
    const QPoint centre = p->mapToGlobal(p->rect().center());
    move(centre.x() - width() / 2, centre.y() - height() / 2);
}

void ToastWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // Opaque, a dark grey close to what the translucent card shows.
    const bool translucent = testAttribute(Qt::WA_TranslucentBackground);
    painter.setBrush(translucent ? QColor(50, 50, 50, 200) : Theme::toastFace.color());
    painter.drawRoundedRect(QRectF(rect()), radius(), radius());
}

void ToastWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PopupSurface::updateMask(this, radius());
}
