#include "public/toastwidget.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPropertyAnimation>
#include <QTimer>
#include <QVBoxLayout>

#include "base/k.h"

ToastWidget::ToastWidget(QWidget *parent)
    : QWidget(parent)
{
    buildUi();

    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    // The toast must never take the keyboard from the window under it.
    setAttribute(Qt::WA_ShowWithoutActivating);

    timer = new QTimer(this);
    timer->setSingleShot(true);

    opacityEffect = new QGraphicsOpacityEffect(this);
    setGraphicsEffect(opacityEffect);

    fadeAnimation = new QPropertyAnimation(opacityEffect, "opacity", this);
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
    label->setStyleSheet(QStringLiteral("QLabel {    background-color: rgba(50, 50, 50, 200);    color: white;    border-radius: ")
                         + k->scaleText(8) + QStringLiteral("px;    padding: ") + k->scaleText(12) + QStringLiteral("px ")
                         + k->scaleText(20) + QStringLiteral("px;    font-size: ") + k->scaleText(14) + QStringLiteral("px;}"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
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
