#include "base/cardpainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include "base/k.h"
#include "base/palette.h"

namespace CardPainter {

void paintCard(QWidget *widget, bool clearFirst)
{
    K *k = K::instance();
    const int m = k->scale(6);
    const int r = k->scale(12);
    const int n = k->scale(9);
    const int w = widget->width();
    const int h = widget->height();

    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    if (clearFirst) {
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.fillRect(widget->rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    const QRectF card(m, m, w - 2 * m, h - 2 * m);
    QPainterPath outline;
    outline.addRoundedRect(card, r, r);

    // The shadow rings grow outwards one pixel at a time and fade; the first
    // two strokes lie on the card's own outline.
    QPainterPath shadow = outline;
    for (int i = 0; i < n; ++i) {
        const int alpha = 15 - i;
        if (alpha > 0) {
            painter.setPen(QPen(QColor(0, 0, 0, alpha), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            painter.drawPath(shadow);
        }
        shadow = QPainterPath();
        shadow.addRoundedRect(QRectF(m - i, m - i, w - 2 * m + 2 * i, h - 2 * m + 2 * i), r + i, r + i);
    }

    QLinearGradient gradient(0, 0, 0, h);
    gradient.setColorAt(0, Palette::cardTop.color());
    gradient.setColorAt(1, Palette::cardBottom.color());
    painter.fillPath(outline, gradient);

    painter.setPen(QPen(Palette::cardOutline.color(), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
}

} // namespace CardPainter
