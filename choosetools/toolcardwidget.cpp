#include "choosetools/toolcardwidget.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPropertyAnimation>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include "base/k.h"

ToolCardWidget::ToolCardWidget(const QString &iconPath, const QString &title, const QString &text, QWidget *parent)
    : QWidget(parent)
    , m_title(title)
{
    Q_UNUSED(text)
    setupUi(iconPath);
    applyStyle();
    m_geometryAnimation = new QPropertyAnimation(m_iconLabel, "geometry");
    m_geometryAnimation->setDuration(200);
    m_geometryAnimation->setEasingCurve(QEasingCurve::OutCubic);
    connect(this, &QObject::destroyed, m_geometryAnimation, &QObject::deleteLater);
}

void ToolCardWidget::setupUi(const QString &iconPath)
{
    K *k = K::instance();
    setFixedSize(k->scale(180) + 20, k->scale(110) + 20);
    setCursor(Qt::PointingHandCursor);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(k->scale(10), k->scale(10), k->scale(10), k->scale(10));
    layout->setSpacing(0);

    m_iconLabel = new QLabel(this);
    m_iconLabel->setAlignment(Qt::AlignCenter);
    m_iconLabel->setScaledContents(true);
    m_iconLabel->setFixedSize(k->scale(180), k->scale(110));

    // Rendered at three times the shown size so the icon stays sharp when
    // the label scales it down.
    QPixmap pixmap(3 * k->scale(180), 3 * k->scale(110));
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(iconPath);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    m_iconLabel->setPixmap(pixmap);
    layout->addWidget(m_iconLabel, 0, Qt::AlignCenter);
}

void ToolCardWidget::applyStyle()
{
    setStyleSheet(QStringLiteral("ToolCardWidget {    background: transparent;}QLabel {    border: 2px solid rgba(100, "
                                 "110, 130, 0.3);    border-radius: ")
                  + K::instance()->scaleText(14)
                  + QStringLiteral("px;}QLabel:hover {    border: 2px solid rgba(41, 128, 255, 0.8);}"));
}

void ToolCardWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressed = true;
    // Left unaccepted so the chooser can be dragged by a card.
    QWidget::mousePressEvent(event);
}

void ToolCardWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        emit clicked();
    }
    QWidget::mouseReleaseEvent(event);
}

void ToolCardWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked(m_title);
    QWidget::mouseDoubleClickEvent(event);
}

void ToolCardWidget::enterEvent(QEvent *event)
{
    const int d = K::instance()->scale(6) / 2;
    const QRect from = m_iconLabel->geometry();
    m_geometryAnimation->stop();
    m_geometryAnimation->setStartValue(from);
    m_geometryAnimation->setEndValue(from.adjusted(-d, -d, d, d));
    m_geometryAnimation->start();
    QWidget::enterEvent(event);
}

void ToolCardWidget::leaveEvent(QEvent *event)
{
    if (!m_pressed) {
        K *k = K::instance();
        m_geometryAnimation->stop();
        m_geometryAnimation->setStartValue(m_iconLabel->geometry());
        m_geometryAnimation->setEndValue(QRect(k->scale(10), k->scale(10), k->scale(180), k->scale(110)));
        m_geometryAnimation->start();
    }
    QWidget::leaveEvent(event);
}
