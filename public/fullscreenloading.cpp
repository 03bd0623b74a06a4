#include "public/fullscreenloading.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "base/k.h"
#include "public/theme.h"

QMap<QWidget *, FullScreenLoading *> FullScreenLoading::s_instances;

namespace {

const char *const kDimStyle = "background-color: rgba(0, 0, 0, 100);";

} // namespace

FullScreenLoading::FullScreenLoading(QWidget *parent)
    : QWidget(parent)
{
    buildUi();
    if (parent) {
        setGeometry(parent->rect());
        // The cover must keep covering the window when it is resized.
        parent->installEventFilter(this);
        connect(parent, &QObject::destroyed, this, [this]() {
            unregister();
            deleteLater();
        });
    }
}

FullScreenLoading::~FullScreenLoading()
{
    if (spinnerTimer->isActive())
        spinnerTimer->stop();
    unregister();
}

void FullScreenLoading::unregister()
{
    if (!registryKey)
        return;
    // Only our own entry: a newer overlay of the same window may hold it.
    auto it = s_instances.find(registryKey);
    if (it != s_instances.end() && it.value() == this)
        s_instances.erase(it);
    registryKey = nullptr;
}

void FullScreenLoading::buildUi()
{
    K *k = K::instance();
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(QLatin1String(kDimStyle));

    card = new QWidget(this);
    card->setFixedWidth(k->scale(140));
    card->setMinimumHeight(k->scale(120));
    card->setStyleSheet(Theme::sheet(QStringLiteral("background-color: white;border: ") + k->scaleText(1)
                                     + QStringLiteral("px solid @border;border-radius: ") + k->scaleText(10) + QStringLiteral("px;")));

    auto *layout = new QVBoxLayout(card);
    const int m = k->scale(20);
    layout->setContentsMargins(m, m, m, m);
    layout->setSpacing(k->scale(10));

    spinnerLabel = new QLabel(card);
    spinnerLabel->setFixedSize(k->scale(50), k->scale(50));
    spinnerLabel->setAlignment(Qt::AlignCenter);
    spinnerLabel->setStyleSheet(QStringLiteral("background: transparent; border: none;"));
    layout->addWidget(spinnerLabel, 0, Qt::AlignHCenter);

    messageLabel = new QLabel(QStringLiteral("加载中..."), card);
    messageLabel->setAlignment(Qt::AlignCenter);
    messageLabel->setWordWrap(true);
    messageLabel->setFixedWidth(k->scale(140) - k->scale(40));
    messageLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Minimum);
    messageLabel->setStyleSheet(Theme::sheet(QStringLiteral("color: @text;font-size: ") + k->scaleText(14)
                                             + QStringLiteral("px;background: transparent;border: none;")));
    layout->addWidget(messageLabel);

    cancelButton = new QPushButton(QStringLiteral("取消"), card);
    cancelButton->setFixedSize(k->scale(70), k->scale(28));
    cancelButton->setStyleSheet(Theme::sheet(
        QStringLiteral("QPushButton {  background-color: @cancelFace;  border: 1px solid @elementBorder;  border-radius: ")
        + k->scaleText(4) + QStringLiteral("px;  color: @elementText;  font-size: ") + k->scaleText(12)
        + QStringLiteral("px;}QPushButton:hover {  background-color: @cancelHover;  border-color: @cancelHoverBorder;}"
                         "QPushButton:pressed {  background-color: @cancelPressed;}")));
    cancelButton->hide();
    connect(cancelButton, &QPushButton::clicked, this, &FullScreenLoading::onCancelClicked);
    layout->addWidget(cancelButton, 0, Qt::AlignHCenter);

    spinnerTimer = new QTimer(this);
    connect(spinnerTimer, &QTimer::timeout, this, [this]() {
        angle = (angle + 10) % 360;
        spinnerLabel->update();
    });

    autoCloseTimer = new QTimer(this);
    autoCloseTimer->setSingleShot(true);
    connect(autoCloseTimer, &QTimer::timeout, this, &FullScreenLoading::fadeOutAndClose);

    opacityEffect = new QGraphicsOpacityEffect(this);
    opacityEffect->setOpacity(0.0);
    setGraphicsEffect(opacityEffect);

    fadeAnimation = new QPropertyAnimation(opacityEffect, "opacity", this);
    fadeAnimation->setDuration(200);
    fadeAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    // The end of a fade-out finishes the overlay; a fade-in ends the same
    // way but with closing false. Leaving the registry here, not in the
    // destructor, means no caller can find it once its deletion is posted.
    connect(fadeAnimation, &QPropertyAnimation::finished, this, [this]() {
        if (!closing)
            return;
        unregister();
        hide();
        deleteLater();
    });

    cardAnimation = new QPropertyAnimation(card, "geometry", this);
    cardAnimation->setDuration(300);
    cardAnimation->setEasingCurve(QEasingCurve::OutBack);

    spinnerLabel->installEventFilter(this);
    centerCard();
}

void FullScreenLoading::applyDim(bool dim)
{
    if (dim) {
        setAttribute(Qt::WA_StyledBackground, true);
        setStyleSheet(QLatin1String(kDimStyle));
    } else {
        setAttribute(Qt::WA_StyledBackground, false);
        setStyleSheet(QString());
    }
}

FullScreenLoading *FullScreenLoading::showLoading(QWidget *parent, const QString &text, bool dim)
{
    FullScreenLoading *overlay = instance(parent);
    if (overlay) {
        overlay->applyDim(dim);
        overlay->messageLabel->setText(text);
        overlay->updateCardSize();
        overlay->raise();
        if (overlay->closing) {
            // Fading out after an automatic close: take it back rather than
            // hand out a pointer that is about to be deleted.
            overlay->revive();
        } else if (!overlay->isVisible()) {
            overlay->show();
            overlay->fadeIn();
        }
        if (overlay->state != 0) {
            overlay->state = 0;
            overlay->angle = 0;
            overlay->spinnerTimer->start(30);
        }
        return overlay;
    }

    overlay = new FullScreenLoading(parent);
    overlay->applyDim(dim);
    overlay->messageLabel->setText(text);
    overlay->raise();
    overlay->show();
    overlay->angle = 0;
    overlay->spinnerTimer->start(30);
    overlay->fadeIn();
    if (parent) {
        s_instances.insert(parent, overlay);
        overlay->registryKey = parent;
    }
    return overlay;
}

FullScreenLoading *FullScreenLoading::showWithCancel(QWidget *parent, const QString &text, const QString &cancelText,
                                                     bool dim)
{
    FullScreenLoading *overlay = showLoading(parent, text, dim);
    if (overlay) {
        overlay->cancelButton->setText(cancelText);
        overlay->cancelButton->setVisible(true);
        overlay->updateCardSize();
    }
    return overlay;
}

FullScreenLoading *FullScreenLoading::instance(QWidget *parent)
{
    if (!parent)
        return nullptr;
    return s_instances.value(parent, nullptr);
}

void FullScreenLoading::setText(const QString &text)
{
    messageLabel->setText(text);
    updateCardSize();
}

void FullScreenLoading::setState(int value, const QString &text)
{
    if (spinnerTimer->isActive())
        spinnerTimer->stop();
    state = value;
    setText(text);
    spinnerLabel->update();
    pulse();
}

void FullScreenLoading::showSuccess(const QString &text, int ms)
{
    if (!parentWidget())
        return;
    if (autoCloseTimer->isActive())
        autoCloseTimer->stop();
    setState(1, text);
    if (ms >= 1)
        autoCloseTimer->start(ms);
}

void FullScreenLoading::showError(const QString &text, int ms)
{
    if (!parentWidget())
        return;
    if (autoCloseTimer->isActive())
        autoCloseTimer->stop();
    setState(2, text);
    if (ms >= 1)
        autoCloseTimer->start(ms);
}

void FullScreenLoading::closeOverlay()
{
    if (spinnerTimer->isActive())
        spinnerTimer->stop();
    unregister();
    fadeOutAndClose();
}

void FullScreenLoading::setCancelVisible(bool visible)
{
    cancelButton->setVisible(visible);
    updateCardSize();
}

void FullScreenLoading::setCancelText(const QString &text)
{
    cancelButton->setText(text);
}

void FullScreenLoading::startSpinner()
{
    angle = 0;
    spinnerTimer->start(30);
}

void FullScreenLoading::stopSpinner()
{
    if (spinnerTimer->isActive())
        spinnerTimer->stop();
}

void FullScreenLoading::updateSpinner()
{
    spinnerLabel->update();
}

void FullScreenLoading::updateCardSize()
{
    if (!card || !messageLabel)
        return;
    K *k = K::instance();
    const QFontMetrics metrics(messageLabel->font());
    const int textHeight = metrics.boundingRect(QRect(0, 0, messageLabel->width(), 0),
                                                Qt::AlignCenter | Qt::TextWordWrap, messageLabel->text())
                               .height();
    messageLabel->setMinimumHeight(textHeight);
    card->adjustSize();

    int total = spinnerLabel->height() + textHeight + k->scale(10) + k->scale(40);
    // isHidden, not isVisible: the overlay itself may not be shown yet.
    const bool withCancel = !cancelButton->isHidden();
    if (withCancel)
        total += k->scale(10) + cancelButton->height();
    const int minimum = withCancel ? k->scale(150) : k->scale(120);
    card->setFixedHeight(qMax(minimum, total));
    centerCard();
}

void FullScreenLoading::centerCard()
{
    if (!card || !parentWidget())
        return;
    card->move((width() - card->width()) / 2, (height() - card->height()) / 2);
}

void FullScreenLoading::fadeIn()
{
    updateCardSize();
    const QRect full = card->geometry();
    const QRect start(full.x() + full.width() / 4, full.y() + full.height() / 4, full.width() / 2, full.height() / 2);
    card->setGeometry(start);
    cardAnimation->stop();
    // All key values at once: a pulse before leaves its shrunken middle frame
    // on the shared animation, which would carry the growing card through it.
    cardAnimation->setKeyValues({{0.0, start}, {1.0, full}});
    cardAnimation->start();

    fadeAnimation->stop();
    fadeAnimation->setStartValue(0.0);
    fadeAnimation->setEndValue(1.0);
    fadeAnimation->start();
}

void FullScreenLoading::pulse()
{
    K *k = K::instance();
    updateCardSize();
    const QRect full = card->geometry();
    const QRect small(full.x() + k->scale(5), full.y() + k->scale(5), full.width() - k->scale(10),
                      full.height() - k->scale(10));
    cardAnimation->stop();
    cardAnimation->setDuration(400);
    cardAnimation->setEasingCurve(QEasingCurve::OutElastic);
    cardAnimation->setStartValue(full);
    cardAnimation->setKeyValueAt(0.5, small);
    cardAnimation->setEndValue(full);
    cardAnimation->start();
    update();
    spinnerLabel->update();
}

void FullScreenLoading::fadeOutAndClose()
{
    closing = true;
    fadeAnimation->stop();
    fadeAnimation->setStartValue(opacityEffect->opacity());
    fadeAnimation->setEndValue(0.0);
    fadeAnimation->setDuration(200);
    fadeAnimation->start();
}

void FullScreenLoading::revive()
{
    closing = false;
    if (autoCloseTimer->isActive())
        autoCloseTimer->stop();
    fadeAnimation->stop();
    show();
    fadeAnimation->setStartValue(opacityEffect->opacity());
    fadeAnimation->setEndValue(1.0);
    fadeAnimation->start();
}

bool FullScreenLoading::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == spinnerLabel && event->type() == QEvent::Paint) {
        paintSpinner(spinnerLabel);
        return true;
    }
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
    }
    return QWidget::eventFilter(watched, event);
}

void FullScreenLoading::paintSpinner(QLabel *label)
{
    QPainter painter(label);
    painter.setRenderHint(QPainter::Antialiasing);
    const int s = label->width();
    QPen pen;
    pen.setWidth(K::instance()->scale(3));

    if (state == 0) {
        painter.save();
        painter.translate(s / 2, s / 2);
        painter.rotate(angle);
        pen.setColor(Theme::elementPrimary.color());
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const int r = static_cast<int>(s * 0.35);
        painter.drawArc(QRect(-r, -r, 2 * r, 2 * r), 0, 4320);
        painter.restore();
    } else if (state == 1) {
        pen.setColor(Theme::elementSuccess.color());
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        QPainterPath path;
        path.moveTo(0.25 * s, 0.5 * s);
        path.lineTo(0.45 * s, 0.7 * s);
        path.lineTo(0.75 * s, 0.3 * s);
        painter.drawPath(path);
    } else if (state == 2) {
        pen.setColor(Theme::elementDanger.color());
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        const int a = static_cast<int>(s * 0.3);
        const int b = static_cast<int>(s * 0.7);
        painter.drawLine(a, a, b, b);
        painter.drawLine(b, a, a, b);
    }
}

void FullScreenLoading::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
}

void FullScreenLoading::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // A running card animation would carry the card back to the old centre.
    if (cardAnimation && cardAnimation->state() == QAbstractAnimation::Running)
        cardAnimation->stop();
    centerCard();
}

void FullScreenLoading::onCancelClicked()
{
    emit cancelled();
    if (receivers(SIGNAL(cancelled())) == 0)
        closeOverlay();
}
