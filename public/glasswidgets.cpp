#include "public/glasswidgets.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include "base/k.h"
#include "base/placeholdercolour.h"
#include "public/theme.h"

GlassLineEdit::GlassLineEdit(QWidget *parent)
    : QLineEdit(parent)
{
    // Dimmer than typed text, so an empty field does not look filled in.
    keepPlaceholderColour(this, Theme::textMuted.color());
}

GlassLineEdit::~GlassLineEdit() = default;

void GlassLineEdit::focusInEvent(QFocusEvent *event)
{
    focused = true;
    update();
    QLineEdit::focusInEvent(event);
}

void GlassLineEdit::focusOutEvent(QFocusEvent *event)
{
    focused = false;
    update();
    QLineEdit::focusOutEvent(event);
}

void GlassLineEdit::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal r = K::instance()->scale(8);
        const qreal w = width();
        const qreal h = height();
        const QRectF rect(1, 1, w - 2, h - 2);
        QPainterPath path;
        path.addRoundedRect(rect, r, r);

        QPen pen;
        if (focused) {
            painter.save();
            painter.setBrush(Qt::NoBrush);
            const int alphas[] = {20, 40, 60};
            for (int i = 3; i >= 1; --i) {
                QColor glow = Theme::accent.color();
                glow.setAlpha(alphas[3 - i]);
                painter.setPen(QPen(glow, i));
                const qreal half = i / 2.0;
                painter.drawRoundedRect(QRectF(1 - half, 1 - half, w - 2 + i, h - 2 + i), r + 0.3 * i, r + 0.3 * i);
            }
            painter.restore();
            painter.fillPath(path, QColor(255, 255, 255, 252));
            pen = QPen(Theme::accent.color(), 1.5);
        } else {
            painter.fillPath(path, QColor(255, 255, 255, 200));
            pen = QPen(Theme::glassFrame.color(), 1.0);
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(pen);
        painter.drawRoundedRect(rect, r, r);
    }
    QLineEdit::paintEvent(event);
}

GlassIconWidget::GlassIconWidget(int kind, QWidget *parent)
    : QWidget(parent)
    , kind(kind)
{
}

GlassIconWidget::~GlassIconWidget() = default;

void GlassIconWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour(142, 142, 147);
    const int w = width();
    const int h = height();
    const int cx = w / 2;
    const int cy = h / 2;
    painter.setPen(QPen(colour, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);

    if (kind == 0) {
        const int r = static_cast<int>(w / 4.5);
        painter.drawEllipse(QRect(cx - r, cy - h / 6 - r, 2 * r, 2 * r));
        const int s = static_cast<int>(w / 3.2);
        QPainterPath shoulders;
        shoulders.moveTo(cx - s, h - 1);
        shoulders.quadTo(cx - s, cy + h / 8, cx, cy + h / 8);
        shoulders.quadTo(cx + s, cy + h / 8, cx + s, h - 1);
        painter.drawPath(shoulders);
        return;
    }

    const int a = static_cast<int>(w / 3.5);
    const int b = static_cast<int>(h / 3.5);
    const int c = static_cast<int>(w / 4.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(cx - a, cy + 2, 2 * a, b + 2), 2.0, 2.0);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colour, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
    painter.drawArc(QRect(cx - c, cy + 4 - b, 2 * c, 2 * b), 0, 180 * 16);
}
